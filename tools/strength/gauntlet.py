#!/usr/bin/env python3
"""Measured decisions about strength.

  tools/strength/gauntlet.py gauntlet [--engine build/tolvo] [--games 400] [--tc 10+0.1]
      plays the engine against the fixed gauntlet (Toga II, Glaurung, Ethereal,
      Stockfish limited to 2400 Elo), one game at a time, and reports the Elo
      difference with its error against each opponent.

  tools/strength/gauntlet.py sprt NEW OLD [--elo0 0] [--elo1 5] [--tc 5+0.05]
      plays two builds against each other until a sequential test decides
      whether NEW is stronger than OLD by ELO1 rather than ELO0.

  tools/strength/gauntlet.py vs NEW OLD [--games 400] [--tc 10+0.1]
      a fixed-length match between two builds.

Every run uses the shared referee (match.py) with its opening set; the PGN
files and the referee's report go to a directory of their own (--out).
"""
import argparse
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SHARED = os.path.normpath(os.path.join(HERE, "..", "..", "..", "shared"))
MATCH = os.path.join(SHARED, "tools", "match.py")
OPENINGS = os.path.join(SHARED, "data", "openings.epd")

# Opponent: name, command, options. Debian's builds; the book is switched off
# so that the openings decide the games, and every engine thinks on one
# processor as Tolvo does (Glaurung would take two by default).
GAUNTLET = [
    ("toga2", "/usr/games/toga2", ["OwnBook=false", "Number of Threads=1"]),
    ("glaurung", "/usr/games/glaurung", ["OwnBook=false", "Threads=1"]),
    ("ethereal", "/usr/games/ethereal-chess", ["Threads=1"]),
    ("stockfish2400", "/usr/games/stockfish", ["UCI_LimitStrength=true", "UCI_Elo=2400", "Threads=1"]),
]


def run_match(args, out, tag, engine1, engine2, options1, options2, extra):
    pgn = os.path.join(out, tag + ".pgn")
    cmd = [sys.executable, MATCH, "--engine1", engine1, "--engine2", engine2,
           "--openings", args.openings, "--seed", str(args.seed), "--pgn", pgn]
    for o in options1:
        cmd += ["--option1", o]
    for o in options2:
        cmd += ["--option2", o]
    for o in args.option:
        cmd += ["--option", o]
    cmd += extra
    print("$", " ".join(cmd), flush=True)
    report = []
    with subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True) as p:
        for line in p.stdout:
            print(line, end="", flush=True)
            report.append(line)
    with open(os.path.join(out, tag + ".log"), "w") as f:
        f.writelines(report)
    return report


def summary(report):
    """The referee's last score and Elo lines."""
    lines = [l.strip() for l in report if re.search(r"Elo|Score|score of|LLR", l)]
    return lines[-3:]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("mode", choices=["gauntlet", "sprt", "vs"])
    parser.add_argument("engines", nargs="*", help="NEW [OLD] engine commands")
    parser.add_argument("--engine", default="build/tolvo", help="the engine of a gauntlet")
    parser.add_argument("--games", type=int, default=400)
    parser.add_argument("--tc", default=None)
    parser.add_argument("--elo0", type=float, default=0.0)
    parser.add_argument("--elo1", type=float, default=5.0)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--openings", default=OPENINGS)
    parser.add_argument("--option", action="append", default=[], help="UCI option for both engines")
    parser.add_argument("--opponents", default=",".join(g[0] for g in GAUNTLET))
    parser.add_argument("--out", default="matches")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    results = []
    if args.mode == "gauntlet":
        tc = args.tc or "10+0.1"
        for name, command, options in GAUNTLET:
            if name not in args.opponents.split(","):
                continue
            report = run_match(args, args.out, "gauntlet-" + name, args.engine, command, [], options,
                               ["--games", str(args.games), "--tc", tc])
            results.append((name, summary(report)))
    else:
        if len(args.engines) != 2:
            parser.error("sprt and vs need NEW and OLD")
        new, old = args.engines
        if args.mode == "sprt":
            tc = args.tc or "5+0.05"
            extra = ["--games", str(max(args.games, 20000)), "--tc", tc, "--sprt", str(args.elo0), str(args.elo1)]
        else:
            tc = args.tc or "10+0.1"
            extra = ["--games", str(args.games), "--tc", tc]
        report = run_match(args, args.out, args.mode, new, old, [], [], extra)
        results.append((args.mode, summary(report)))
    print("\nSummary")
    for name, lines in results:
        print(f"  {name}:")
        for l in lines:
            print(f"    {l}")


if __name__ == "__main__":
    main()
