#include "eval/piece_square.h"

#include "board/piece.h"
#include "common/bitops.h"

int64_t PieceSquare[16][64];
int64_t CastlingLossDelta[16];

int64_t CastlingRightsValue(uint32_t rights) {
  int mg = ((rights & 1) ? 100 : 0) + ((rights & 2) ? 20 : 0) - ((rights & 4) ? 100 : 0) - ((rights & 8) ? 20 : 0);
  return PackScore(mg, 0);
}

namespace {
// Provisional placement values (internal units, 1024 = one pawn) until the
// evaluation owns the table: a per-piece offset plus a centralisation term.
int Centrality(Square s) {
  int f = FileOf(s), r = RankOf(s);
  int df = f < 4 ? f : 7 - f, dr = r < 4 ? r : 7 - r;
  return df + dr;   // 0 in the corners, 6 in the centre
}

void WhiteEntry(int type, Square s, int& mg, int& eg) {
  int c = Centrality(s), r = RankOf(s);
  switch (type) {
    case PawnType: mg = -100 + 6 * r + 4 * c; eg = -230 + 12 * r; break;
    case KnightType: mg = -780 + 130 * c; eg = -500 + 90 * c; break;
    case BishopType: mg = -300 + 50 * c; eg = -280 + 40 * c; break;
    case RookType: mg = -300 + 20 * (c > 2) + (r == 6 ? 20 : 0); eg = -250 + 10 * r; break;
    case QueenType: mg = -410 + 40 * c; eg = -260 + 60 * c; break;
    default: mg = 430 - 60 * c - 40 * r; eg = -760 + 170 * c; break;
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
  for (uint32_t lost = 0; lost < 16; ++lost) CastlingLossDelta[lost] = -CastlingRightsValue(lost);
}
