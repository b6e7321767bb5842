#!/usr/bin/env python3
"""Time use per move number, per engine, from the referee's PGN files.

The referee writes each move's time in its comment ({+0.32/6 0.04s}). For
every engine this prints, by move number (in bands), the mean time a move
took, the mean clock left before the move (from the game's time control,
the moves' times and the increment), and the share of the clock the move
used; the last line counts the games each engine lost on time.

    tools/strength/time_use.py --tc 10+0.1 games.pgn...
"""

import argparse
import collections
import sys

from pgn_games import games, moves

BANDS = [(1, 10), (11, 20), (21, 30), (31, 40), (41, 60), (61, 80), (81, 999)]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--tc', required=True, help='BASE+INC in seconds, as given to the referee')
    ap.add_argument('pgn', nargs='+')
    args = ap.parse_args()
    base, _, inc = args.tc.partition('+')
    base, inc = float(base), float(inc or 0)

    spent = collections.defaultdict(lambda: collections.defaultdict(list))   # engine -> band -> [(time, clock)]
    time_losses = collections.Counter()
    for path in args.pgn:
        for tags, text in games(path):
            names = (tags.get('White', '?'), tags.get('Black', '?'))
            clock = [base, base]
            for number, side, _, seconds in moves(tags, text):
                if seconds is None:
                    continue
                band = next(b for b in BANDS if b[0] <= number <= b[1])
                spent[names[side]][band].append((seconds, clock[side]))
                clock[side] += inc - seconds
            if 'time' in tags.get('Termination', '').lower():
                loser = names[0] if tags.get('Result') == '0-1' else names[1]
                time_losses[loser] += 1

    for engine in sorted(spent):
        print(f'{engine}:')
        print('  moves      count  mean s  clock left s  share of clock')
        for band in BANDS:
            rows = spent[engine].get(band)
            if not rows:
                continue
            mean = sum(t for t, _ in rows) / len(rows)
            left = sum(c for _, c in rows) / len(rows)
            share = sum(t / c for t, c in rows if c > 0) / len(rows)
            top = '+' if band[1] == 999 else f'-{band[1]}'
            print(f'  {band[0]:>3}{top:<6} {len(rows):6d}  {mean:6.3f}  {left:12.2f}  {100 * share:13.1f} %')
        print(f'  games lost on time: {time_losses[engine]}')
    return 0


if __name__ == '__main__':
    sys.exit(main())
