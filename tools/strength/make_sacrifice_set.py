#!/usr/bin/env python3
"""Builds a set of checking-sacrifice positions from played games.

    tools/strength/make_sacrifice_set.py --rules ../shared/tools GAMES.pgn... > sacrifices.epd

Every position of the games is searched for captures that give check with a
man worth more than the one it takes, on a square the opponent defends (the
exchange test calls them losing). Stockfish (multipv 2, a fixed node count)
then keeps those where such a capture is the only winning move: best by at
least --margin centipawns over the second move, and itself at least
--winning. Each kept position is written as an EPD line with `bm` (SAN), the
same move in UCI notation as `c0 "uci ..."`, and an `id` naming the game it
came from.

The rules module (legal moves, SAN) is the referee's own, found through
--rules; the repository does not depend on it.
"""
import argparse
import re
import sys

from uci_engine import UciEngine

VALUE = {'P': 1, 'N': 3, 'B': 3, 'R': 5, 'Q': 9, 'K': 100}


def games(paths):
    """(opening FEN or None, [SAN...], name) of every game in the PGN files."""
    for path in paths:
        text = open(path, encoding='utf-8', errors='replace').read()
        for number, block in enumerate(re.split(r'\n(?=\[Event )', text)):
            fen = re.search(r'\[FEN "([^"]+)"\]', block)
            body = re.sub(r'\{[^}]*\}', ' ', block.split('\n\n', 1)[-1])
            sans = [w for w in body.split()
                    if not re.fullmatch(r'\d+\.+|1-0|0-1|1/2-1/2|\*', w) and not w.startswith('[')]
            yield (fen.group(1) if fen else None), sans, f'{path}:{number + 1}'


def replay(rules, fen, sans):
    """The positions before each move of the game (stops at a move it cannot read)."""
    pos = rules.Position.from_fen(fen or rules.START_FEN)
    for san in sans:
        yield pos
        want = san.rstrip('+#')
        found = None
        for m in pos.legal_moves():
            if rules.square_name(m.to) in want and pos.san(m).rstrip('+#') == want:
                found = m
                break
        if found is None:
            return
        pos = pos.play(found)


def sacrifices(rules, pos):
    """Captures with check by a more valuable man onto a defended square."""
    out = []
    for m in pos.legal_moves():
        victim = pos.board[m.to]
        if victim is None or m.promo:
            continue
        mover = pos.board[m.frm].upper()
        if VALUE[mover] <= VALUE[victim.upper()]:
            continue
        after = pos.play(m)
        if after.in_check() and after.attacked(m.to, after.white):
            out.append(m)
    return out


class Oracle(UciEngine):
    def __init__(self, path, nodes):
        super().__init__(path, (('MultiPV', 2), ('Threads', 1)))
        self.nodes = nodes

    def best_two(self, fen):
        """[(move, centipawns)] of the two best moves; mates count as +-100000."""
        self.send('ucinewgame')
        self.send(f'position fen {fen}')
        self.send(f'go nodes {self.nodes}')
        lines = {}
        while True:
            line = self.readline()
            if line.startswith('bestmove'):
                break
            w = line.split()
            if 'multipv' in w and 'score' in w and ' pv ' in line:
                i = w.index('score')
                kind, value = w[i + 1], int(w[i + 2])
                cp = value if kind == 'cp' else (100000 - abs(value)) * (1 if value > 0 else -1)
                lines[int(w[w.index('multipv') + 1])] = (w[w.index('pv') + 1], cp)
        return [lines[k] for k in sorted(lines)]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('pgn', nargs='+')
    ap.add_argument('--rules', default='../shared/tools', help='directory of chessrules.py')
    ap.add_argument('--oracle', default='/usr/games/stockfish')
    ap.add_argument('--nodes', type=int, default=400000)
    ap.add_argument('--margin', type=int, default=150)
    ap.add_argument('--winning', type=int, default=100)
    ap.add_argument('--skip-plies', type=int, default=6)
    args = ap.parse_args()
    sys.path.insert(0, args.rules)
    import chessrules as rules

    oracle = Oracle(args.oracle, args.nodes)
    seen, kept, tried = set(), 0, 0
    for fen, sans, name in games(args.pgn):
        for ply, pos in enumerate(replay(rules, fen, sans)):
            if ply < args.skip_plies or pos.in_check():
                continue
            candidates = sacrifices(rules, pos)
            key = pos.key()
            if not candidates or key in seen:
                continue
            seen.add(key)
            tried += 1
            two = oracle.best_two(pos.fen())
            if len(two) < 2 or two[0][0] not in {m.uci() for m in candidates}:
                continue
            if two[0][1] >= args.winning and two[0][1] - two[1][1] >= args.margin:
                kept += 1
                san = pos.san(pos.parse_uci(two[0][0]))
                print(f'{pos.fen(counters=False)} bm {san}; c0 "uci {two[0][0]}"; id "{name} ply {ply}";', flush=True)
    print(f'{tried} positions with a checking sacrifice, {kept} kept', file=sys.stderr)


if __name__ == '__main__':
    main()
