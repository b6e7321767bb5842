#!/usr/bin/env python3
"""Correlation of Tolvo's static evaluation with Stockfish's over an EPD file.

Usage: eval_correlation.py TOLVO_BINARY STOCKFISH_BINARY FILE.epd
Both evaluations are read from White's point of view in centipawns.
"""
import re
import subprocess
import sys


def run(binary, commands):
    out = subprocess.run([binary], input="\n".join(commands) + "\n", capture_output=True, text=True, timeout=600)
    return out.stdout


def main():
    tolvo, stockfish, epd = sys.argv[1:4]
    fens = [line.split(";")[0].strip() for line in open(epd) if line.strip()]
    ours = [int(v) for v in re.findall(r"Total evaluation: (-?\d+)", run(tolvo, [c for f in fens for c in (f"position fen {f}", "eval")]))]
    theirs_text = run(stockfish, [c for f in fens for c in (f"position fen {f}", "eval")])
    theirs = [float(v) * 100 for v in re.findall(r"Final evaluation\s+([+-]?\d+\.\d+)", theirs_text)]
    n = min(len(ours), len(theirs))
    if n < 2:
        sys.exit("not enough evaluations read")
    xs, ys = ours[:n], theirs[:n]
    mx, my = sum(xs) / n, sum(ys) / n
    cov = sum((x - mx) * (y - my) for x, y in zip(xs, ys))
    vx = sum((x - mx) ** 2 for x in xs)
    vy = sum((y - my) ** 2 for y in ys)
    print(f"positions: {n}  mean tolvo {mx:.1f} cp  mean stockfish {my:.1f} cp")
    print(f"correlation: {cov / (vx * vy) ** 0.5:.3f}")


if __name__ == "__main__":
    main()
