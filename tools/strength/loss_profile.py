#!/usr/bin/env python3
"""Where the games are lost: every move of one engine judged by Stockfish.

Each position of each game is searched by the judge (Stockfish with
UCI_ShowWDL, to a fixed depth), which gives the side to move's expected
result (win + draw / 2). A move of the profiled engine costs the expected
result before it less the expected result after it (both from its side).
The costly moves (--threshold, default 0.15 of a point) are sorted into one
class each, by the first rule that holds:

  time use     the mover had less than --low-clock seconds left
  tactics      the judge's best move or its best reply is a capture, a
               promotion or a check (a forcing line the search did not see
               or dismissed)
  passed pawns the judge's best move or best reply moves a passed pawn
  king safety  the judge's best reply lands within two squares of the
               mover's king, with queens on the board
  endgame      no queens, and at most a rook and a minor piece a side
  opening      move number up to 15
  positional   the rest

It prints the table (moves, summed cost, share) and the costliest moves with
their positions, so that a class can be looked at by hand.

    tools/strength/loss_profile.py --engine Tolvo --tc 10+0.1 games.pgn...
"""

import argparse
import collections
import os
import sys

from pgn_games import games, moves
from uci_engine import UciEngine

HERE = os.path.dirname(os.path.abspath(__file__))
CLASSES = ['time use', 'tactics', 'passed pawns', 'king safety', 'endgame', 'opening', 'positional']
VALUES = {'p': 1, 'n': 3, 'b': 3, 'r': 5, 'q': 9, 'k': 0}


class Judge(UciEngine):
    def __init__(self, command, depth, threads, hash_mb):
        super().__init__(command, (('UCI_ShowWDL', 'true'), ('Threads', threads), ('Hash', hash_mb)))
        self.depth = depth

    def judge(self, fen):
        """(expected result of the side to move, best move in UCI notation)."""
        self.send(f'position fen {fen}')
        self.send(f'go depth {self.depth}')
        expected = 0.5
        while True:
            words = self.readline().split()
            if 'wdl' in words and 'upperbound' not in words and 'lowerbound' not in words:
                i = words.index('wdl')
                w, d = int(words[i + 1]), int(words[i + 2])
                expected = (w + d / 2) / 1000
            if words and words[0] == 'bestmove':
                return expected, words[1] if len(words) > 1 else None

    def close(self):
        self.send('quit')
        self.proc.wait(timeout=10)


def is_passed(cr, pos, sq):
    piece = pos.board[sq]
    if piece not in ('P', 'p'):
        return False
    white = piece == 'P'
    f, r = sq & 7, sq >> 3
    enemy = 'p' if white else 'P'
    for df in (-1, 0, 1):
        if not 0 <= f + df < 8:
            continue
        for rr in (range(r + 1, 8) if white else range(0, r)):
            if pos.board[rr * 8 + f + df] == enemy:
                return False
    return True


def forcing(cr, pos, uci):
    m = pos.parse_uci(uci) if uci else None
    if m is None:
        return False
    return pos.board[m.to] is not None or bool(m.promo) or pos.play(m).in_check() or \
        (pos.board[m.frm] in ('P', 'p') and m.to == pos.ep)


def moves_passed_pawn(cr, pos, uci):
    m = pos.parse_uci(uci) if uci else None
    return m is not None and is_passed(cr, pos, m.frm)


def material(pos, white):
    return sum(VALUES[p.lower()] for p in pos.board if p and p.isupper() == white and p.lower() != 'p')


def classify(cr, before, after, best, reply, number, clock, low_clock):
    mover_white = before.white
    if clock is not None and clock < low_clock:
        return 'time use'
    if forcing(cr, before, best) or forcing(cr, after, reply):
        return 'tactics'
    if moves_passed_pawn(cr, before, best) or moves_passed_pawn(cr, after, reply):
        return 'passed pawns'
    queens = any(p in ('Q', 'q') for p in after.board if p)
    if queens and reply:
        m = after.parse_uci(reply)
        king = after.king_square(mover_white)
        if m is not None and max(abs((m.to & 7) - (king & 7)), abs((m.to >> 3) - (king >> 3))) <= 2:
            return 'king safety'
    if not queens and material(after, True) <= 8 and material(after, False) <= 8:
        return 'endgame'
    if number <= 15:
        return 'opening'
    return 'positional'


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('pgn', nargs='+')
    ap.add_argument('--engine', default='Tolvo', help='profiled engine: a part of its PGN name')
    ap.add_argument('--tc', default='10+0.1', help='BASE+INC of the games, for the clock left')
    ap.add_argument('--judge', default='/usr/games/stockfish')
    ap.add_argument('--depth', type=int, default=12)
    ap.add_argument('--threads', type=int, default=1)
    ap.add_argument('--hash', type=int, default=64)
    ap.add_argument('--threshold', type=float, default=0.15)
    ap.add_argument('--low-clock', type=float, default=1.0)
    ap.add_argument('--show', type=int, default=15, help='costliest moves listed')
    ap.add_argument('--rules', default=os.path.join(HERE, '..', '..', '..', 'shared', 'tools'),
                    help='directory holding chessrules.py')
    args = ap.parse_args()
    sys.path.insert(0, args.rules)
    import chessrules as cr
    base, _, inc = args.tc.partition('+')
    base, inc = float(base), float(inc or 0)

    judge = Judge(args.judge, args.depth, args.threads, args.hash)
    cost = collections.Counter()
    count = collections.Counter()
    cost_by_content = collections.Counter()
    count_by_content = collections.Counter()
    worst = []
    judged_games, judged_moves, total = 0, 0, 0.0
    for path in args.pgn:
        for tags, text in games(path):
            names = (tags.get('White', ''), tags.get('Black', ''))
            ours = [i for i in (0, 1) if args.engine.lower() in names[i].lower()]
            if len(ours) != 1:
                continue
            ours = ours[0]
            pos = cr.Position.from_fen(tags.get('FEN', cr.START_FEN))
            judged_games += 1
            clock = [base, base]
            cache = {}

            def judged(p):
                fen = p.fen()
                if not p.legal_moves():   # mate or stalemate: the judge gives no value
                    return (0.0 if p.in_check() else 0.5), None
                if fen not in cache:
                    cache[fen] = judge.judge(fen)
                return cache[fen]

            for number, side, san, seconds in moves(tags, text):
                move = next((m for m in pos.legal_moves() if pos.san(m).rstrip('+#') == san.rstrip('+#')), None)
                if move is None:
                    break
                after = pos.play(move)
                if side == ours:
                    e_before, best = judged(pos)
                    e_after_them, reply = judged(after)
                    loss = e_before - (1 - e_after_them)
                    judged_moves += 1
                    if loss >= args.threshold:
                        kind = classify(cr, pos, after, best, reply, number, clock[side], args.low_clock)
                        cost[kind] += loss
                        count[kind] += 1
                        total += loss
                        # What the move was about, whatever the clock: the same rules without the first.
                        other = classify(cr, pos, after, best, reply, number, None, args.low_clock)
                        cost_by_content[other] += loss
                        count_by_content[other] += 1
                        worst.append((loss, kind, pos.fen(), san, best, reply, names[1 - ours]))
                if seconds is not None:
                    clock[side] += inc - seconds
                pos = after
            print(f'{judged_games} games, {judged_moves} moves judged', file=sys.stderr, flush=True)
    judge.close()

    print(f'{judged_games} games, {judged_moves} moves of {args.engine} judged at depth {args.depth}; '
          f'moves that cost at least {args.threshold}: {sum(count.values())}, {total:.2f} points in all')
    print(f'{"class":<14}{"moves":>7}{"points":>9}{"share":>8}')
    for kind in CLASSES:
        share = 100 * cost[kind] / total if total else 0
        print(f'{kind:<14}{count[kind]:>7}{cost[kind]:>9.2f}{share:>7.1f}%')
    print(f'\nthe same moves classed by what they were about, the clock left aside:')
    print(f'{"class":<14}{"moves":>7}{"points":>9}{"share":>8}')
    for kind in CLASSES[1:]:
        share = 100 * cost_by_content[kind] / total if total else 0
        print(f'{kind:<14}{count_by_content[kind]:>7}{cost_by_content[kind]:>9.2f}{share:>7.1f}%')
    print('\ncostliest moves:')
    for loss, kind, fen, san, best, reply, opponent in sorted(worst, reverse=True)[:args.show]:
        print(f'  {loss:.2f} {kind:<12} {san:<7} best {best}, then {reply}  vs {opponent}  {fen}')
    return 0


if __name__ == '__main__':
    sys.exit(main())
