#include "search/phase_parameters.h"

#include "common/bitops.h"
#include "search/search.h"

PhaseParameters Phase;

int BlendParameter(int full, int bare, int phase) {
  const double x = phase * 0.041666666666666664;
  return int(full * x + bare * (1 - x));
}

namespace {
struct Blend {
  int full, bare;
};
// Move-set thresholds by i = depth / 2 + 10 T (T = 1 for expected cut nodes).
constexpr Blend MoveSetA[20] = {{0, 0}, {0, 0}, {0, 0}, {118, 157}, {178, 244}, {220, 303}, {15000, 15000},
                                {16000, 16000}, {16000, 16000}, {16000, 16000},
                                {0, 0}, {0, 0}, {0, 0}, {66, 90}, {131, 175}, {220, 303}, {258, 361},
                                {384, 531}, {469, 648}, {16000, 16000}};
constexpr Blend QuietCheckB[20] = {{0, 0}, {0, 0}, {0, 0}, {211, 308}, {253, 372}, {295, 430}, {16000, 16000},
                                   {16000, 16000}, {16000, 16000}, {16000, 16000},
                                   {0, 0}, {0, 0}, {0, 0}, {197, 292}, {239, 356}, {281, 414}, {16000, 16000},
                                   {16000, 16000}, {16000, 16000}, {16000, 16000}};
constexpr Blend LowBand[10] = {{98, 141}, {70, 50}, {45, 72}, {122, 159}, {127, 186},
                               {141, 189}, {188, 271}, {300, 375}, {450, 675}, {70, 125}};
constexpr Blend DepthZero[2] = {{121, 163}, {141, 189}};
}  // namespace

void SetPhaseParameters(const Position& p) {
  const int minors = PopCount(p.pieces[WhiteKnight] | p.pieces[BlackKnight] | p.pieces[WhiteBishop] | p.pieces[BlackBishop]);
  const int rooks = PopCount(p.pieces[WhiteRook] | p.pieces[BlackRook]);
  const int queens = PopCount(p.pieces[WhiteQueen] | p.pieces[BlackQueen]);
  const int phase = minors + 2 * rooks + 4 * queens;
  Phase.phase = phase;
  Phase.phaseClass = phase / 6 > 3 ? 3 : phase / 6;
  Phase.lazyMargin = BlendParameter(161, 215, phase);
  for (int i = 0; i < 20; ++i) {
    Phase.moveSetA[i] = BlendParameter(MoveSetA[i].full, MoveSetA[i].bare, phase);
    Phase.quietCheckB[i] = BlendParameter(QuietCheckB[i].full, QuietCheckB[i].bare, phase);
  }
  Phase.delta1 = BlendParameter(140, 180, phase);
  Phase.delta2 = BlendParameter(422, 585, phase);
  Phase.delta3 = BlendParameter(656, 956, phase);
  Phase.evasionMargin = BlendParameter(16, 24, phase);
  for (int i = 0; i < 10; ++i) Phase.lowBand[i] = BlendParameter(LowBand[i].full, LowBand[i].bare, phase);
  for (int i = 0; i < 2; ++i) Phase.depthZero[i] = BlendParameter(DepthZero[i].full, DepthZero[i].bare, phase);
}
