#include "eval/placement.h"

#include "board/piece.h"
#include "common/bitops.h"

int64_t CastlingRightsValue(uint32_t rights) {
  int mg = ((rights & 1) ? 100 : 0) + ((rights & 2) ? 20 : 0) - ((rights & 4) ? 100 : 0) - ((rights & 8) ? 20 : 0);
  return PackScore(mg, 0);
}

namespace {
// Placement values in internal units (1024 = one pawn), White's view, from
// a per-piece offset plus a file profile (a/h, b/g, c/f, d/e) and a rank
// profile (ranks 1..8). The offsets make most entries negative; only the
// differences between squares matter to the search.
struct Profile {
  int fileMg[4], rankMg[8], fileEg[4], rankEg[8];
};

// Pawns: centre files count in the middlegame, rook pawns are the better
// endgame pawns (harder to stop); advancing is worth more in the endgame.
constexpr Profile PawnProfile = {{0, 10, 20, 30}, {0, -96, -84, -66, -36, -24, -16, 0},
                                 {0, -20, -45, -68}, {0, -162, -150, -136, -119, -106, -93, 0}};
// Knights: strongly centralising, best on ranks 5 and 6.
constexpr Profile KnightProfile = {{0, 160, 280, 320}, {-782, -662, -532, -382, -280, -242, -362, -582},
                                   {0, 100, 170, 200}, {-497, -407, -317, -237, -196, -207, -297, -417}};
// Bishops: long diagonals through the centre.
constexpr Profile BishopProfile = {{0, 60, 100, 120}, {-299, -219, -149, -112, -112, -149, -199, -269},
                                   {0, 20, 35, 44}, {-281, -261, -249, -241, -241, -249, -261, -281}};
// Rooks: central files in the middlegame, advanced ranks in the endgame.
constexpr Profile RookProfile = {{0, 40, 100, 130}, {-300, -320, -320, -310, -300, -280, -290, -300},
                                 {0, 0, 0, 0}, {-250, -250, -230, -210, -180, -160, -240, -250}};
// Queens: mild centralisation.
constexpr Profile QueenProfile = {{0, 60, 100, 120}, {-410, -350, -310, -280, -280, -310, -350, -390},
                                  {0, 50, 80, 100}, {-260, -210, -180, -160, -160, -180, -210, -260}};

void WhiteEntry(int type, Square s, int& mg, int& eg) {
  const int f = FileOf(s) < 4 ? FileOf(s) : 7 - FileOf(s), r = RankOf(s);
  const Profile* profile = type == PawnType ? &PawnProfile : type == KnightType ? &KnightProfile
                         : type == BishopType ? &BishopProfile : type == RookType ? &RookProfile
                         : type == QueenType ? &QueenProfile : nullptr;
  if (profile) {
    mg = profile->fileMg[f] + profile->rankMg[r];
    eg = profile->fileEg[f] + profile->rankEg[r];
    if (type == PawnType && (r == 0 || r == 7)) mg = eg = 0;   // no pawn stands there
    return;
  }
  // King: in the middlegame sheltered on the wings of its back rank (the
  // file value fades as the king leaves rank 1); in the endgame central.
  static constexpr int fileMg[4] = {430, 490, 200, -10};
  static constexpr double rankShare[8] = {1.0, 0.6, 0.25, 0, 0, 0, 0, 0};
  static constexpr int rankMg[8] = {0, -30, -40, -40, -70, -90, -100, -100};
  static constexpr int fileEg[4] = {-760, -530, -380, -300};
  static constexpr int rankEg[8] = {0, 250, 420, 540, 580, 520, 400, 200};
  mg = int(fileMg[f] * rankShare[r]) + rankMg[r];
  eg = fileEg[f] + rankEg[r];
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
