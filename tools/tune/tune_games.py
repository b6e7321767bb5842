#!/usr/bin/env python3
"""Plays many fast games among installed engines for the evaluation tuner.

Each round picks a pairing and a limit, and lets the match referee
(../shared/tools/match.py) play a few openings with both colours; every round
writes its own PGN into the output directory, so an interrupted run keeps
what it has played. Engines that honour `go nodes` play at a node limit
(independent of the machine's load); the others play a short clock.

Between rounds the script waits while the file PAUSE exists in the output
directory (so that a build can have the core), and stops when STOP exists.

    tools/tune/tune_games.py --out /work/tunedata/games --rounds 400 --tolvo ./build/tolvo
"""

import argparse
import os
import random
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_MATCH = os.path.join(HERE, '..', '..', '..', 'shared', 'tools', 'match.py')
DEFAULT_OPENINGS = os.path.join(HERE, '..', '..', '..', 'shared', 'data', 'openings.epd')


def engines(tolvo):
    """name -> (command, options, honours node limits)."""
    return {
        'tolvo': (tolvo, ['Hash=16'], True),
        'stockfish': ('/usr/games/stockfish', ['Hash=16', 'Threads=1'], True),
        'ethereal': ('/usr/games/ethereal-chess', ['Hash=16'], True),
        'toga2': ('/usr/games/toga2', ['OwnBook=false', 'Hash=16'], False),
        'glaurung': ('/usr/games/glaurung', ['OwnBook=false', 'Hash=16'], False),
    }


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--out', required=True, help='directory for the PGN files')
    ap.add_argument('--tolvo', required=True, help='engine binary of ours')
    ap.add_argument('--rounds', type=int, default=200)
    ap.add_argument('--games-per-round', type=int, default=10)
    ap.add_argument('--engines', default='tolvo,stockfish,ethereal,toga2',
                    help='comma-separated subset of: ' + ','.join(engines('x')))
    ap.add_argument('--match', default=DEFAULT_MATCH)
    ap.add_argument('--openings', default=DEFAULT_OPENINGS)
    ap.add_argument('--seed', type=int, default=1)
    args = ap.parse_args()

    table = engines(args.tolvo)
    names = args.engines.split(',')
    for name in names:
        if name not in table:
            sys.exit(f'unknown engine {name}')
    os.makedirs(args.out, exist_ok=True)
    rng = random.Random(args.seed)
    for rnd in range(args.rounds):
        pgn = os.path.join(args.out, f'round-{args.seed}-{rnd:05d}.pgn')
        a, b = rng.sample(names, 2)
        if os.path.exists(pgn):
            continue
        while os.path.exists(os.path.join(args.out, 'PAUSE')):
            time.sleep(5)
        if os.path.exists(os.path.join(args.out, 'STOP')):
            break
        cmd = [sys.executable, args.match, '--openings', args.openings,
               '--seed', str(args.seed * 100003 + rnd), '--games', str(args.games_per_round),
               '--resign', '4', '1000', '--draw', '40', '10', '5', '--maxmoves', '200',
               '--pgn', pgn + '.part', '--event', 'tuning data']
        for flag, name in (('1', a), ('2', b)):
            command, options, _ = table[name]
            cmd += ['--engine' + flag, command, '--name' + flag, name]
            for opt in options:
                cmd += ['--option' + flag, opt]
        if table[a][2] and table[b][2]:
            cmd += ['--nodes', str(rng.choice([4000, 8000, 16000, 32000]))]
        else:
            cmd += ['--tc', rng.choice(['4+0.04', '8+0.08']), '--margin', '300']
        done = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if os.path.exists(pgn + '.part'):
            os.replace(pgn + '.part', pgn)
        last = done.stdout.strip().splitlines()[-1:] or ['']
        print(f'round {rnd}: {a} - {b}: {last[0]}', flush=True)


if __name__ == '__main__':
    main()
