#include "eval/placement.h"

#include "board/piece.h"
#include "common/bitops.h"
#include "eval/eval_params.h"

int64_t CastlingRightsValue(uint32_t rights) {
  int mg =
      ((rights & 1) ? 100 : 0) + ((rights & 2) ? 20 : 0) - ((rights & 4) ? 100 : 0) - ((rights & 8) ? 20 : 0);
  return PackScore(mg, 0);
}

namespace {
// Placement values in internal units (1024 = one pawn), White's view, from
// the profiles of the parameter table: a file value (a/h, b/g, c/f, d/e) plus
// a rank value. Only the differences between squares matter to the search.
void WhiteEntry(int type, Square s, int& mg, int& eg) {
  const int f = FileOf(s) < 4 ? FileOf(s) : 7 - FileOf(s), r = RankOf(s);
  const EvalParams& q = Params;
  if (type == KingType) {
    // In the middlegame sheltered on the wings of its back rank (the file
    // value fades as the king leaves rank 1); in the endgame central.
    mg = q.kingFileMg[f] * q.kingRankSharePercent[r] / 100 + q.kingRankMg[r];
    eg = q.kingFileEg[f] + q.kingRankEg[r];
    return;
  }
  // The other pieces: file value plus rank value, by phase.
  struct Profile { const int *fileMg, *rankMg, *fileEg, *rankEg; };
  const Profile profiles[] = {
      {q.pawnFileMg, q.pawnRankMg, q.pawnFileEg, q.pawnRankEg},
      {q.knightFileMg, q.knightRankMg, q.knightFileEg, q.knightRankEg},
      {q.bishopFileMg, q.bishopRankMg, q.bishopFileEg, q.bishopRankEg},
      {q.rookFileMg, q.rookRankMg, q.rookFileEg, q.rookRankEg},
      {q.queenFileMg, q.queenRankMg, q.queenFileEg, q.queenRankEg},
  };
  const Profile& row = profiles[(type - PawnType) / 2];
  mg = row.fileMg[f] + row.rankMg[r];
  eg = row.fileEg[f] + row.rankEg[r];
  if (type == PawnType && (r == 0 || r == 7)) mg = eg = 0;   // no pawn stands there
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
