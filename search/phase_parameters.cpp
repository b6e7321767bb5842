#include "search/phase_parameters.h"

#include "common/bitops.h"

int BlendParameter(int full, int bare, int phase) {
  const double x = phase * (1.0 / 24);   // 24: the material of the start position
  return int(full * x + bare * (1 - x));
}

namespace {
struct Blend {
  int full, bare;
};
// Thresholds by i = depth / 2 + 10 T; 15000 and more never restrict the move set.
constexpr Blend TacticalOnly[20] = {
    {0, 0},         {0, 0},         {0, 0},         {118, 157}, {178, 244}, {220, 303},    {15000, 15000},
    {16000, 16000}, {16000, 16000}, {16000, 16000}, {0, 0},     {0, 0},     {0, 0},        {66, 90},
    {131, 175},     {220, 303},     {258, 361},     {384, 531}, {469, 648}, {16000, 16000}};
constexpr Blend QuietCheck[20] = {{0, 0}, {0, 0}, {0, 0}, {211, 308}, {253, 372}, {295, 430}, {16000, 16000},
                                  {16000, 16000}, {16000, 16000}, {16000, 16000},
                                  {0, 0}, {0, 0}, {0, 0}, {197, 292}, {239, 356}, {281, 414}, {16000, 16000},
                                  {16000, 16000}, {16000, 16000}, {16000, 16000}};
constexpr Blend LowBand[9] = {{98, 141},  {70, 50},   {45, 72},   {122, 159}, {127, 186},
                              {141, 189}, {188, 271}, {300, 375}, {450, 675}};
}  // namespace

PhaseParameters ComputePhaseParameters(const Position& p) {
  const int minors =
      PopCount(p.pieces[WhiteKnight] | p.pieces[BlackKnight] | p.pieces[WhiteBishop] | p.pieces[BlackBishop]);
  const int rooks = PopCount(p.pieces[WhiteRook] | p.pieces[BlackRook]);
  const int queens = PopCount(p.pieces[WhiteQueen] | p.pieces[BlackQueen]);
  const int phase = minors + 2 * rooks + 4 * queens;
  PhaseParameters r{};
  r.phase = phase;
  r.lazyMargin = BlendParameter(161, 215, phase);
  for (int i = 0; i < 20; ++i) {
    r.tacticalOnlyMargin[i] = BlendParameter(TacticalOnly[i].full, TacticalOnly[i].bare, phase);
    r.quietCheckMargin[i] = BlendParameter(QuietCheck[i].full, QuietCheck[i].bare, phase);
  }
  r.deltaPawns = BlendParameter(140, 180, phase);
  r.deltaMinors = BlendParameter(422, 585, phase);
  r.deltaRooks = BlendParameter(656, 956, phase);
  r.evasionMargin = BlendParameter(16, 24, phase);
  for (int i = 0; i < 9; ++i) r.lowBand[i] = BlendParameter(LowBand[i].full, LowBand[i].bare, phase);
  return r;
}
