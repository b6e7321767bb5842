#!/usr/bin/env python3
"""Makes the evaluation tuner's data: quiet positions from PGN games, each
labelled with its game's result (1, 0.5, 0 from White's view).

A position is kept when
  - it lies at least --skip plies after the game's first position (the
    opening book's choices and the first moves out of it say little about
    the result);
  - the side to move is not in check;
  - the move played from it is not a capture, a promotion or a check: the
    players saw nothing forcing, so the static evaluation has nothing pending
    that a quiescence search would resolve first (the usual cheap filter,
    which needs no engine);
  - it is not among the last --tail plies of a game that did not end by the
    rules' own draws (positions just before an adjudication repeat each other).
Games without a result, or lost by a fault (time, illegal move, crash), are
left out: their result says nothing about the position.

    tools/tune/tune_data.py --out /work/tunedata/positions.txt GAMES.pgn ...

Needs the move generator of ../shared/tools/chessrules.py (found through
--rules, by default next to this repository).
"""

import argparse
import os
import random
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'strength'))
from pgn_games import games  # noqa: E402  (the referee's PGN reader, shared with the strength tools)
RESULTS = {'1-0': '1', '0-1': '0', '1/2-1/2': '0.5'}
TOKEN = re.compile(r'\{[^}]*\}|;[^\n]*|\([^)]*\)|\$\d+|\d+\.(?:\.\.)?|\S+')


def san_tokens(movetext):
    for tok in TOKEN.findall(movetext):
        if tok[0] in '{;($' or tok[0].isdigit() or tok == '*':
            continue
        yield tok


def resolve(cr, pos, san):
    """The legal move that `san` names, or None."""
    text = san.rstrip('+#!?')
    if text in ('O-O', 'O-O-O', '0-0', '0-0-0'):
        for m in pos.legal_moves():
            piece = pos.board[m.frm]
            if piece in 'Kk' and abs(m.to - m.frm) == 2 and (m.to > m.frm) == (text in ('O-O', '0-0')):
                return m
        return None
    promo = ''
    if '=' in text:
        text, promo = text.split('=')
        promo = promo[:1].lower()
    piece = text[0] if text[0] in 'NBRQK' else 'P'
    body = (text[1:] if piece != 'P' else text).replace('x', '')
    try:
        dest = cr.parse_square(body[-2:])
    except ValueError:
        return None
    hint = body[:-2]
    found = None
    for m in pos.legal_moves():
        if m.to != dest or pos.board[m.frm].upper() != piece or m.promo != promo:
            continue
        name = cr.square_name(m.frm)
        if any(h not in name for h in hint):
            continue
        if found:
            return None  # ambiguous
        found = m
    return found


def positions_of(cr, tags, movetext, skip, tail):
    result = RESULTS.get(tags.get('Result', '*'))
    if result is None or 'forfeit' in tags.get('Termination', '') or tags.get('Termination') == 'rules infraction':
        return []
    pos = cr.Position.from_fen(tags['FEN']) if 'FEN' in tags else cr.Position.from_fen(cr.START_FEN)
    kept = []
    sans = list(san_tokens(movetext))
    for ply, san in enumerate(sans):
        if san in RESULTS or san == '*':
            break
        move = resolve(cr, pos, san)
        if move is None:
            break  # unreadable game: keep what came before
        quiet = (pos.board[move.to] is None and not move.promo and not san.endswith(('+', '#'))
                 and not (pos.board[move.frm] in 'Pp' and move.to == pos.ep))
        if ply >= skip and quiet and not pos.in_check():
            kept.append(pos.fen(counters=False))
        pos = pos.play(move)
    by_rules = pos.outcome() is not None if hasattr(pos, 'outcome') else False
    if not by_rules and tail:
        kept = kept[:max(0, len(kept) - tail)]
    return kept


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('pgn', nargs='+')
    ap.add_argument('--out', required=True)
    ap.add_argument('--skip', type=int, default=8, help='plies left out after the first position (8)')
    ap.add_argument('--tail', type=int, default=6, help='quiet positions dropped before an adjudication (6)')
    ap.add_argument('--rules', default=os.path.join(HERE, '..', '..', '..', 'shared', 'tools'),
                    help='directory holding chessrules.py')
    ap.add_argument('--seed', type=int, default=1, help='shuffle of the output lines')
    args = ap.parse_args()
    sys.path.insert(0, args.rules)
    import chessrules as cr

    lines, count, used = [], 0, 0
    for path in args.pgn:
        for tags, movetext in games(path):
            count += 1
            try:
                fens = positions_of(cr, tags, movetext, args.skip, args.tail)
            except (ValueError, KeyError, IndexError):
                continue
            result = RESULTS[tags['Result']] if fens else None
            used += bool(fens)
            lines += [f'{fen};{result}' for fen in fens]
    # Duplicates (the same position from repeated openings) would weigh twice.
    lines = sorted(set(lines))
    random.Random(args.seed).shuffle(lines)
    with open(args.out, 'w') as f:
        f.write('\n'.join(lines) + '\n')
    print(f'{count} games read, {used} used, {len(lines)} positions written to {args.out}')


if __name__ == '__main__':
    main()
