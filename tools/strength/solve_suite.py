#!/usr/bin/env python3
"""Counts the positions of a test suite that UCI engines solve.

    tools/strength/solve_suite.py SUITE.epd ENGINE [ENGINE ...] [--ms 250] [--option NAME=VALUE]

Each position of the suite (EPD lines with `c0 "uci MOVE"` naming the
solution in UCI notation, as tools/strength/make_sacrifice_set.py writes them) is
given to every engine with `go movetime MS` after `ucinewgame`; the
position counts as solved when the engine's best move is the solution.
Prints one line per engine with the solved count, and with --misses the
positions each engine did not solve.
"""
import argparse
import re
import subprocess


class Engine:
    def __init__(self, command, options):
        self.proc = subprocess.Popen(command.split(), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, bufsize=1)
        self.name = command
        self.send('uci')
        for line in self.lines():
            if line.startswith('id name '):
                self.name = line[8:].strip()
            if line.startswith('uciok'):
                break
        for name, value in options:
            self.send(f'setoption name {name} value {value}')

    def send(self, text):
        self.proc.stdin.write(text + '\n')

    def lines(self):
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError(f'{self.name} exited')
            yield line

    def best_move(self, fen, ms):
        self.send('ucinewgame')
        self.send('isready')
        for line in self.lines():
            if line.startswith('readyok'):
                break
        self.send(f'position fen {fen}')
        self.send(f'go movetime {ms}')
        for line in self.lines():
            if line.startswith('bestmove'):
                return line.split()[1]

    def close(self):
        self.send('quit')
        self.proc.wait(timeout=10)


def load(path):
    suite = []
    for line in open(path):
        m = re.search(r'c0 "uci (\S+)"', line)
        if not m:
            continue
        fields = line.split()
        suite.append((' '.join(fields[:4]) + ' 0 1', m.group(1), line.strip()))
    return suite


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('suite')
    ap.add_argument('engines', nargs='+')
    ap.add_argument('--ms', type=int, default=250)
    ap.add_argument('--option', action='append', default=[], help='NAME=VALUE for every engine')
    ap.add_argument('--misses', action='store_true')
    args = ap.parse_args()
    options = [tuple(o.split('=', 1)) for o in args.option]
    suite = load(args.suite)
    for command in args.engines:
        engine = Engine(command, options)
        solved, missed = 0, []
        for fen, solution, line in suite:
            if engine.best_move(fen, args.ms) == solution:
                solved += 1
            else:
                missed.append(line)
        engine.close()
        print(f'{engine.name}: {solved} of {len(suite)} at {args.ms} ms', flush=True)
        if args.misses:
            for line in missed:
                print('  missed:', line)


if __name__ == '__main__':
    main()
