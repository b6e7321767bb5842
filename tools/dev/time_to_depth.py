#!/usr/bin/env python3
"""Time to reach a fixed depth, for one engine or a cluster of engines.

  tools/dev/time_to_depth.py --engine build/tolvo --cpus 1 [--depth 18] [--positions 20]
  tools/dev/time_to_depth.py --cluster build/tolvo-cluster --ranks 2 [--depth 18]
  tools/dev/time_to_depth.py ... --first 12     # resume a run cut short: positions 12 to N

Each position of tests/data/openings.epd (the first N) is searched after
"ucinewgame" with "go depth D"; the wall time to "bestmove" and the nodes of
the last "info" line are printed per position, then their sums. The cluster
runs under mpirun on this machine with Max CPUs 1 per engine.
"""
import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--engine", default=os.path.join(ROOT, "build", "tolvo"))
    parser.add_argument("--cpus", type=int, default=1, help="Max CPUs of the single engine")
    parser.add_argument("--cluster", help="tolvo-cluster to run under mpirun instead")
    parser.add_argument("--ranks", type=int, default=2)
    parser.add_argument("--depth", type=int, default=18)
    parser.add_argument("--positions", type=int, default=20)
    parser.add_argument("--first", type=int, default=1, help="first position searched (a long run can go in parts)")
    parser.add_argument("--hash", type=int, default=64)
    args = parser.parse_args()

    with open(os.path.join(ROOT, "tests", "data", "openings.epd")) as f:
        fens = [line.strip() for line in f if line.strip()][: args.positions]
    env = dict(os.environ, OMPI_ALLOW_RUN_AS_ROOT="1", OMPI_ALLOW_RUN_AS_ROOT_CONFIRM="1")
    if args.cluster:
        command = ["mpirun", "--oversubscribe", "--bind-to", "none", "-np", str(args.ranks), args.cluster,
                   "--engine", args.engine, "--option", "Max CPUs=1", "--option", f"Hash={args.hash}"]
        label = f"cluster of {args.ranks} ranks"
    else:
        command = [args.engine]
        label = f"one engine, Max CPUs {args.cpus}"
    proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1, env=env)

    def send(line):
        proc.stdin.write(line + "\n")

    def wait(token):
        last_info = ""
        while True:
            line = proc.stdout.readline()
            if not line:
                sys.exit("the engine exited")
            if line.startswith("info") and " nodes " in line:
                last_info = line
            if line.startswith(token):
                return line, last_info

    send("uci")
    wait("uciok")
    if not args.cluster:
        send(f"setoption name Max CPUs value {args.cpus}")
        send(f"setoption name Hash value {args.hash}")
    send("isready")
    wait("readyok")
    total_time, total_nodes = 0.0, 0
    print(f"{label}, depth {args.depth}")
    for i, fen in enumerate(fens, 1):
        if i < args.first:
            continue
        send("ucinewgame")
        send(f"position fen {fen}")
        send("isready")
        wait("readyok")
        start = time.monotonic()
        send(f"go depth {args.depth}")
        best, info = wait("bestmove")
        seconds = time.monotonic() - start
        words = info.split()
        nodes = int(words[words.index("nodes") + 1]) if "nodes" in words else 0
        total_time += seconds
        total_nodes += nodes
        print(f"{i:2d}  {seconds:7.2f} s  {nodes:11d} nodes  {best.split()[1]}", flush=True)
    print(f"sum {total_time:7.2f} s  {total_nodes:11d} nodes  {total_nodes / max(total_time, 1e-9):.0f} nps")
    send("quit")
    proc.wait(timeout=30)


if __name__ == "__main__":
    main()
