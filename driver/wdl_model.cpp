#include "driver/wdl_model.h"

#include <algorithm>
#include <cmath>
#include "board/piece.h"
#include "common/bitops.h"
#include "common/score.h"

namespace {
// The fitted model (see wdl_model.h). With x the material held to 17..78 and
// divided by 58, a(x) is the score at which a win is as likely as not and
// b(x) how sharply the chances turn around it; both cubic in x, highest
// power first. A loss mirrors a win: it is a win of the other side.
// Fitted (tools/tune/wdl_fit.py) on 48,275 scored moves of 732 games: the
// fitted evaluation's SPRT games at 50,000 nodes and games against Toga II
// and Glaurung at 10+0.1. At full material a(x) is about 50 cp and b(x) about
// 107: fast games are rarely drawn, and an even score is a win or a loss
// for either side more often than a draw.
constexpr double WinMidpoint[4] = {-586.297, 1792.498, -1794.110, 645.583};
constexpr double WinSpread[4] = {35.216, 20.661, -103.081, 122.515};

double Cubic(const double (&c)[4], double x) { return ((c[0] * x + c[1]) * x + c[2]) * x + c[3]; }
}  // namespace

int WdlMaterial(const Position& p) {
  return PopCount(p.Pieces(White, PawnType) | p.Pieces(Black, PawnType)) +
         3 * PopCount(p.Pieces(White, KnightType) | p.Pieces(Black, KnightType)) +
         3 * PopCount(p.Pieces(White, BishopType) | p.Pieces(Black, BishopType)) +
         5 * PopCount(p.Pieces(White, RookType) | p.Pieces(Black, RookType)) +
         9 * PopCount(p.Pieces(White, QueenType) | p.Pieces(Black, QueenType));
}

WinDrawLoss WdlOfScore(int score, int material) {
  if (score > MaxOrdinaryScore) return {1000, 0, 0};
  if (score < -MaxOrdinaryScore) return {0, 0, 1000};
  const double x = std::clamp(material, 17, 78) / 58.0;
  const double a = Cubic(WinMidpoint, x), b = std::max(1.0, Cubic(WinSpread, x));
  const double win = 1 / (1 + std::exp((a - score) / b)), loss = 1 / (1 + std::exp((a + score) / b));
  WinDrawLoss r;
  r.win = int(std::lround(1000 * win));
  r.loss = int(std::lround(1000 * loss));
  // A midpoint below zero would let the two overlap: the draw takes what is left, never less than nothing.
  if (r.win + r.loss > 1000) {
    const int over = r.win + r.loss - 1000;
    (r.win >= r.loss ? r.loss : r.win) -= over;
  }
  r.draw = 1000 - r.win - r.loss;
  return r;
}
