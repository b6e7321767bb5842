#include "eval/placement.h"

#include "board/piece.h"
#include "common/bitops.h"
#include "eval/eval_params.h"

int64_t CastlingRightsValue(uint32_t rights) {
  int mg = ((rights & 1) ? 100 : 0) + ((rights & 2) ? 20 : 0) - ((rights & 4) ? 100 : 0) - ((rights & 8) ? 20 : 0);
  return PackScore(mg, 0);
}

namespace {
// Placement values in internal units (1024 = one pawn), White's view, from
// the profiles of the parameter table: a file value (a/h, b/g, c/f, d/e) plus
// a rank value. Only the differences between squares matter to the search.
void WhiteEntry(int type, Square s, int& mg, int& eg) {
  const int f = FileOf(s) < 4 ? FileOf(s) : 7 - FileOf(s), r = RankOf(s);
  const EvalParams& q = Params;
  switch (type) {
    case PawnType:
      mg = q.pawnFileMg[f] + q.pawnRankMg[r];
      eg = q.pawnFileEg[f] + q.pawnRankEg[r];
      if (r == 0 || r == 7) mg = eg = 0;   // no pawn stands there
      return;
    case KnightType:
      mg = q.knightFileMg[f] + q.knightRankMg[r];
      eg = q.knightFileEg[f] + q.knightRankEg[r];
      return;
    case BishopType:
      mg = q.bishopFileMg[f] + q.bishopRankMg[r];
      eg = q.bishopFileEg[f] + q.bishopRankEg[r];
      return;
    case RookType:
      mg = q.rookFileMg[f] + q.rookRankMg[r];
      eg = q.rookFileEg[f] + q.rookRankEg[r];
      return;
    case QueenType:
      mg = q.queenFileMg[f] + q.queenRankMg[r];
      eg = q.queenFileEg[f] + q.queenRankEg[r];
      return;
    default:
      // King: in the middlegame sheltered on the wings of its back rank (the
      // file value fades as the king leaves rank 1); in the endgame central.
      mg = q.kingFileMg[f] * q.kingRankSharePercent[r] / 100 + q.kingRankMg[r];
      eg = q.kingFileEg[f] + q.kingRankEg[r];
  }
}

int FileWeight(Square s) {
  int f = FileOf(s);
  return (f < 4 ? f : 7 - f) + 1;   // a/h 1, b/g 2, c/f 3, d/e 4
}
}  // namespace

void InitPieceSquareTables() {
  for (int type = PawnType; type <= KingType; type += 2) {
    for (Square s = 0; s < 64; ++s) {
      int mg, eg;
      WhiteEntry(type, s, mg, eg);
      PieceSquare[type][s] = PackScore(mg, eg);
      // Black: the negated entry of the square mirrored across the middle rank.
      int mgB, egB;
      WhiteEntry(type, s ^ 56, mgB, egB);
      PieceSquare[type + 1][s] = -PackScore(mgB, egB);
      if (type == PawnType) {
        bool dark = (DarkSquares >> s) & 1;
        PieceSquare[WhitePawn][s] += int64_t(FileWeight(s)) << (32 + (dark ? 5 : 0));
        PieceSquare[BlackPawn][s] += int64_t(FileWeight(s)) << (32 + (dark ? 15 : 10));
      }
    }
  }
  for (uint32_t rights = 0; rights < 16; ++rights) {
    CastlingRightsBonus[rights] = CastlingRightsValue(rights);
    CastlingLossDelta[rights] = -CastlingRightsValue(rights);
  }
}
