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


# The fit works in t = x - Centre, where the cubics' coefficients are far
# less entangled than in powers of x; the result is turned back into powers
# of x for the engine's table.
Centre = 0.8


def parts(params, s, t):
    """a(t), b(t) and the chances of a win and of a loss."""
    a = np.polyval(params[:4], t)
    b = np.maximum(np.polyval(params[4:], t), 1.0)
    win = 1 / (1 + np.exp(np.clip((a - s) / b, -50, 50)))
    loss = 1 / (1 + np.exp(np.clip((a + s) / b, -50, 50)))
    return a, b, win, loss


def model(params, s, t):
    _, _, win, loss = parts(params, s, t)
    return win, np.clip(1 - win - loss, 1e-9, 1), loss


def log_loss(params, s, t, r):
    win, draw, loss = model(params, s, t)
    p = np.where(r == 1, win, np.where(r == 0, loss, draw))
    return float(-np.mean(np.log(np.clip(p, 1e-12, 1))))


def gradient(params, s, t, r):
    """The mean log-loss's gradient with respect to the eight coefficients."""
    a, b, win, loss = parts(params, s, t)
    draw = np.clip(1 - win - loss, 1e-9, 1)
    # Derivatives of win and loss by a and by b.
    dw_da, dl_da = -win * (1 - win) / b, -loss * (1 - loss) / b
    dw_db, dl_db = -win * (1 - win) * (s - a) / b ** 2, -loss * (1 - loss) * (-s - a) / b ** 2
    is_win, is_loss = r == 1, r == 0
    is_draw = ~(is_win | is_loss)
    # d(-log p) = -dp / p, with p the chance of the result that came.
    d_a = np.where(is_win, -dw_da / np.maximum(win, 1e-12), 0) + np.where(is_loss, -dl_da / np.maximum(loss, 1e-12), 0) \
        + np.where(is_draw, (dw_da + dl_da) / draw, 0)
    d_b = np.where(is_win, -dw_db / np.maximum(win, 1e-12), 0) + np.where(is_loss, -dl_db / np.maximum(loss, 1e-12), 0) \
        + np.where(is_draw, (dw_db + dl_db) / draw, 0)
    powers = np.stack([t ** 3, t ** 2, t, np.ones_like(t)])
    return np.concatenate([powers @ d_a, powers @ d_b]) / len(s)


def fit(s, t, r, steps):
    params = np.array([0.0, 0.0, 0.0, 150.0, 0.0, 0.0, 0.0, 80.0])
    m = np.zeros_like(params)
    v = np.zeros_like(params)
    for step in range(1, steps + 1):
        rate = 2.0 if step < steps // 2 else 0.5
        grad = gradient(params, s, t, r)
        m = 0.9 * m + 0.1 * grad
        v = 0.999 * v + 0.001 * grad * grad
        params -= rate * (m / (1 - 0.9 ** step)) / (np.sqrt(v / (1 - 0.999 ** step)) + 1e-12)
        if step % 5000 == 0:
            print(f'step {step}: log-loss {log_loss(params, s, t, r):.5f}', file=sys.stderr, flush=True)
    return params


def in_powers_of_x(coefficients):
    """c(t) with t = x - Centre, as coefficients of x (highest power first)."""
    composed = np.poly1d(coefficients)(np.poly1d([1.0, -Centre]))
    return np.concatenate([np.zeros(4 - len(composed.coeffs)), composed.coeffs])


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
    ap.add_argument('--steps', type=int, default=40000)
    ap.add_argument('--cache', help='samples read from the PGN files are kept in this .npz file and read back')
    ap.add_argument('--rules', default=os.path.join(HERE, '..', '..', '..', 'shared', 'tools'),
                    help='directory holding chessrules.py')
    args = ap.parse_args()
    sys.path.insert(0, args.rules)
    import chessrules as cr

    fitted, held = [], []
    count = 0
    if args.cache and os.path.exists(args.cache):
        with np.load(args.cache) as saved:
            fitted, held, count = saved['fitted'].tolist(), saved['held'].tolist(), int(saved['count'])
    else:
        for path in args.pgn:
            for tags, text in games(path):
                samples = samples_of(cr, tags, text, args.engine)
                if not samples:
                    continue
                count += 1
                (held if count % args.holdout_every == 0 else fitted).extend(samples)
        if args.cache:
            np.savez(args.cache, fitted=np.array(fitted), held=np.array(held), count=count)
    print(f'{count} games: {len(fitted)} samples fitted, {len(held)} held out', file=sys.stderr)

    def arrays(rows):
        a = np.array(rows, dtype=float)
        return a[:, 0], np.clip(a[:, 1], 17, 78) / 58 - Centre, a[:, 2]

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
    print('constexpr double WinMidpoint[4] = {%s};' % ', '.join(f'{v:.3f}' for v in in_powers_of_x(params[:4])))
    print('constexpr double WinSpread[4] = {%s};' % ', '.join(f'{v:.3f}' for v in in_powers_of_x(params[4:])))
    return 0


if __name__ == '__main__':
    sys.exit(main())
