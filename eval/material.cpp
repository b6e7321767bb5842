#include "eval/material.h"

#include <cstdlib>
#include <utility>
#include "eval/eval_params.h"

int16_t Imbalance[131072];

MaterialCounts DecodeImbalanceIndex(int index) {
  MaterialCounts m{};
  int rest = index >> 1;   // bit 0 is the white queen
  m.knights[White] = rest % 3; rest /= 3;
  m.knights[Black] = rest % 3; rest /= 3;
  m.bishops[White] = rest % 3; rest /= 3;
  m.bishops[Black] = rest % 3; rest /= 3;
  m.rooks[White] = rest % 3; rest /= 3;
  m.rooks[Black] = rest % 3; rest /= 3;
  m.pawns[White] = rest % 9; rest /= 9;
  m.pawns[Black] = rest;
  return m;
}

namespace {
// The imbalance model (internal units, 1024 = one pawn, White's view). Every
// term is the difference of the same rule applied to both sides, so the table
// is colour-symmetric; queens take no part (the index does not see the black
// queen, so a queen term could not be symmetric).
// The values 1109, 116 (with its pivot of five pawns) and 171 are fixed (a
// lone rook 580, a lone pawn 171, a lone bishop pair 1109); the others come
// from the parameter table.
//  - bishop pair: worth 1109 with no pawns, less per pawn on the board:
//    bishops need open lines;
//  - knights gain per own pawn above a pivot, rooks gain 116/1024 per own
//    pawn below five (knights like closed positions, rooks open ones);
//  - a second rook is slightly redundant;
//  - the side that is up the exchange (a rook for a minor) gets less than
//    the nominal two pawns;
//  - pawns gain up to 171/1024 each as the pieces come off (pawn endings);
//  - in endings without pawns, fixed points from endgame theory (below).
int SideTerms(const MaterialCounts& m, Color us) {
  const Color them = Opponent(us);
  const int totalPawns = m.pawns[White] + m.pawns[Black];
  int v = 0;
  if (m.bishops[us] >= 2) v += 1109 - Params.bishopPairPerPawn[0] * totalPawns;
  v += m.knights[us] * Params.knightPerOwnPawn[0] * (m.pawns[us] - Params.knightPawnPivot[0]);
  v += m.rooks[us] * 116 * (5 - m.pawns[us]);
  if (m.rooks[us] >= 2) v -= Params.secondRook[0];
  const int minorsUs = m.knights[us] + m.bishops[us], minorsThem = m.knights[them] + m.bishops[them];
  if (m.rooks[us] - m.rooks[them] == 1 && minorsThem - minorsUs == 1) v -= Params.exchangeUp[0];
  return v;
}

int SmoothModel(const MaterialCounts& m) {
  int v = SideTerms(m, White) - SideTerms(m, Black);
  const int pieces =
      m.knights[0] + m.knights[1] + m.bishops[0] + m.bishops[1] + 2 * (m.rooks[0] + m.rooks[1]);
  const int span = Params.pawnGainPieces[0];
  v += 171 * (m.pawns[White] - m.pawns[Black]) * (span - pieces) / span;
  return v;
}

// Pawnless endings whose value theory fixes (White's pieces against Black's,
// as knights, bishops, rooks). The mirror of each is the negation.
struct PawnlessPoint {
  int whiteN, whiteB, whiteR, blackN, blackB, blackR, value;
};
constexpr PawnlessPoint PawnlessPoints[] = {
    {1, 0, 0, 0, 0, 0, -3072},   // a lone minor cannot win: its material is cancelled
    {0, 1, 0, 0, 0, 0, -3072},
    {2, 0, 0, 0, 0, 0, -180},    // two knights cannot force mate
    {1, 1, 0, 0, 0, 0, 251},     // bishop and knight mate, slowly
    {0, 0, 1, 0, 1, 0, -1735},   // rook against a minor is mostly a draw
    {0, 0, 1, 1, 0, 0, -1687},
    {0, 1, 0, 1, 0, 0, 0},       // bishop against knight: equal
};

bool Matches(const MaterialCounts& m, const PawnlessPoint& p, Color w) {
  const Color b = Opponent(w);
  return m.knights[w] == p.whiteN && m.bishops[w] == p.whiteB && m.rooks[w] == p.whiteR &&
         m.knights[b] == p.blackN && m.bishops[b] == p.blackB && m.rooks[b] == p.blackR;
}
}  // namespace

int ImbalanceValue(const MaterialCounts& m) {
  if (m.pawns[White] == 0 && m.pawns[Black] == 0) {
    for (const PawnlessPoint& point : PawnlessPoints) {
      if (Matches(m, point, White)) return point.value;
      if (Matches(m, point, Black)) return -point.value;
    }
  }
  return SmoothModel(m);
}

void InitImbalanceTable() {
  for (int index = 0; index < 131072; ++index) {
    // Indices beyond ordinary material (more than eight pawns a side) stay 0.
    Imbalance[index] = index < 118098 ? int16_t(ImbalanceValue(DecodeImbalanceIndex(index))) : 0;
  }
}

void BuildAdjustmentTable(const int (&optionsCp)[12], Color sideToMove, bool playMode) {
  // Options: 0 WP, 1 BP, 2 WN, 3 BN, 4 W king bishop, 5 B king bishop,
  // 6 W queen bishop, 7 B queen bishop, 8 WR, 9 BR, 10 WQ, 11 BQ.
  // Each piece is first made a little cheaper than the bare scale.
  static constexpr int Base[6] = {3, 9, 9, 9, 15, 30};
  // Slot of each option: the king bishops stand on light (White) and dark
  // (Black) squares; the dark-square bishop slots are 12 and 13.
  static constexpr int Slot[12] = {2, 3, 4, 5, 6, 13, 12, 7, 8, 9, 10, 11};
  int v[12];
  for (int i = 0; i < 12; ++i) v[i] = optionsCp[i];
  if (playMode && sideToMove == Black)
    for (int i = 0; i < 12; i += 2) std::swap(v[i], v[i + 1]);
  for (int& entry : MaterialAdjustment) entry = 0;
  for (int i = 0; i < 12; ++i) {
    const int delta = (v[i] - Base[i / 2]) * 10;
    MaterialAdjustment[Slot[i]] = (i % 2 == 0) ? delta : -delta;
  }
}

int32_t ComputeMaterialDelta(const Position& p) {
  int32_t delta = 0;
  for (int code = WhitePawn; code <= BlackQueen; ++code)
    for (Bitboard b = p.pieces[code]; b;) delta += MaterialAdjustment[MaterialSlot(code, PopLowest(b))];
  return delta;
}
