#!/usr/bin/python3
"""Fits the win/draw/loss model of the engine's scores to its games.

Every move of the engine in the referee's PGN files carries its score
({+0.31/9 0.52s}); with the material on the board (pawn 1, knight and bishop
3, rook 5, queen 9, both sides) and the game's result from the mover's view
it is one sample. The model:

    win  = 1 / (1 + exp((a(x) - s) / b(x)))
    loss = 1 / (1 + exp((a(x) + s) / b(x)))
    draw = 1 - win - loss

with s the score in centipawns, x = material (held to 17..78) / 58, and a, b
cubic in x: a is the score at which a win becomes as likely as not, b how
sharply the chances change around it. The fit maximises the likelihood of the
results. Games are split by number: every --holdout-every'th game is kept out
of the fit, and the report on those gives the log-loss and a calibration
table (predicted expected result against the observed one).

    /usr/bin/python3 tools/tune/wdl_fit.py --engine Tolvo games/*.pgn

Prints the coefficients as the C++ table of driver/wdl_model.cpp.
Needs numpy (Debian: python3-numpy) and the move generator of
../shared/tools/chessrules.py (--rules).
"""

import argparse
import math
import os
import re
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'strength'))
from pgn_games import games, moves  # noqa: E402
from tune_data import resolve  # noqa: E402

VALUES = {'p': 1, 'n': 3, 'b': 3, 'r': 5, 'q': 9, 'k': 0}
SCORE = re.compile(r'^\{?([+-]?\d+\.\d+)/')
RESULT_OF_WHITE = {'1-0': 1.0, '0-1': 0.0, '1/2-1/2': 0.5}


def material(pos):
    return sum(VALUES[p.lower()] for p in pos.board if p)


def samples_of(cr, tags, movetext, engine):
    """(score cp, material, result 1/0.5/0 from the mover's view) per scored move of `engine`."""
    white_result = RESULT_OF_WHITE.get(tags.get('Result'))
    names = (tags.get('White', ''), tags.get('Black', ''))
    ours = [i for i in (0, 1) if any(e.lower() in names[i].lower() for e in engine.split(','))]
    if white_result is None or len(ours) != 1:
        return []
    pos = cr.Position.from_fen(tags.get('FEN', cr.START_FEN))
    out = []
    for number, side, san, seconds, comment in moves(tags, movetext, comments=True):
        move = resolve(cr, pos, san)
        if move is None:
            break
        m = SCORE.match(comment)
        if side == ours[0] and m:
            result = white_result if side == 0 else 1 - white_result
            out.append((round(float(m.group(1)) * 100), material(pos), result))
        pos = pos.play(move)
    return out


def model(params, s, x):
    a = np.polyval(params[:4], x)
    b = np.maximum(np.polyval(params[4:], x), 1.0)
    win = 1 / (1 + np.exp((a - s) / b))
    loss = 1 / (1 + np.exp((a + s) / b))
    return win, np.clip(1 - win - loss, 1e-9, 1), loss


def log_loss(params, s, x, r):
    win, draw, loss = model(params, s, x)
    p = np.where(r == 1, win, np.where(r == 0, loss, draw))
    return float(-np.mean(np.log(np.clip(p, 1e-12, 1))))


def fit(s, x, r, steps):
    params = np.array([0.0, 0.0, 0.0, 150.0, 0.0, 0.0, 0.0, 80.0])
    # Adam on the numerical gradient: eight parameters, a few thousand steps.
    m = np.zeros_like(params)
    v = np.zeros_like(params)
    rate = np.array([4.0] * 4 + [2.0] * 4)
    for t in range(1, steps + 1):
        grad = np.zeros_like(params)
        for i in range(len(params)):
            h = 1e-3 * max(1.0, abs(params[i]))
            up, down = params.copy(), params.copy()
            up[i] += h
            down[i] -= h
            grad[i] = (log_loss(up, s, x, r) - log_loss(down, s, x, r)) / (2 * h)
        m = 0.9 * m + 0.1 * grad
        v = 0.999 * v + 0.001 * grad * grad
        params -= rate * (m / (1 - 0.9 ** t)) / (np.sqrt(v / (1 - 0.999 ** t)) + 1e-12)
        if t % 500 == 0:
            print(f'step {t}: log-loss {log_loss(params, s, x, r):.5f}', file=sys.stderr, flush=True)
    return params


def calibration(params, s, x, r, bands=10):
    win, draw, _ = model(params, s, x)
    expected = win + draw / 2
    rows = []
    for i in range(bands):
        lo, hi = i / bands, (i + 1) / bands
        chosen = (expected >= lo) & ((expected < hi) if i < bands - 1 else (expected <= hi))
        n = int(chosen.sum())
        if n:
            rows.append((lo, hi, n, float(expected[chosen].mean()), float(r[chosen].mean())))
    return rows


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('pgn', nargs='+')
    ap.add_argument('--engine', default='Tolvo', help='the engine whose scores are fitted (part of its PGN name; several separated by commas)')
    ap.add_argument('--holdout-every', type=int, default=10, help='every n-th game is held out (10)')
    ap.add_argument('--steps', type=int, default=3000)
    ap.add_argument('--rules', default=os.path.join(HERE, '..', '..', '..', 'shared', 'tools'),
                    help='directory holding chessrules.py')
    args = ap.parse_args()
    sys.path.insert(0, args.rules)
    import chessrules as cr

    fitted, held = [], []
    count = 0
    for path in args.pgn:
        for tags, text in games(path):
            samples = samples_of(cr, tags, text, args.engine)
            if not samples:
                continue
            count += 1
            (held if count % args.holdout_every == 0 else fitted).extend(samples)
    print(f'{count} games: {len(fitted)} samples fitted, {len(held)} held out', file=sys.stderr)

    def arrays(rows):
        a = np.array(rows, dtype=float)
        return a[:, 0], np.clip(a[:, 1], 17, 78) / 58, a[:, 2]

    s, x, r = arrays(fitted)
    params = fit(s, x, r, args.steps)
    print(f'fitted: log-loss {log_loss(params, s, x, r):.4f} on {len(s)} samples')
    if held:
        hs, hx, hr = arrays(held)
        # The model that knows no score: the held-out set's own result frequencies.
        freq = [float(np.mean(hr == v)) for v in (1, 0.5, 0)]
        base = -sum(f * math.log(f) for f in freq if f > 0)
        print(f'held out: log-loss {log_loss(params, hs, hx, hr):.4f} on {len(hs)} samples '
              f'(results alone: {base:.4f})')
        print('predicted band   samples  predicted  observed')
        for lo, hi, n, pred, obs in calibration(params, hs, hx, hr):
            print(f'  {lo:.1f}-{hi:.1f}      {n:>8}     {pred:.3f}     {obs:.3f}')
    print('// a(x) and b(x), highest power of x first')
    print('constexpr double WinMidpoint[4] = {%s};' % ', '.join(f'{v:.3f}' for v in params[:4]))
    print('constexpr double WinSpread[4] = {%s};' % ', '.join(f'{v:.3f}' for v in params[4:]))
    return 0


if __name__ == '__main__':
    sys.exit(main())
