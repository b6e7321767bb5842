// Where castling starts and ends, for standard chess and for Chess960.
// Each castling right belongs to one rook: the FEN gives its square (the
// standard corners, or any file of the first rank in Chess960), and the
// position keeps, with it, the rights a move loses by touching a square and
// the key of every set of rights. Standard setups castle as they always have
// (the king's two-square move); any other setup castles in the Chess960 form
// (the king takes its own rook, see move.h).
#pragma once
#include "board/position.h"

// The protocol's Chess960 mode: FEN castling fields are read as X-FEN or
// Shredder-FEN and written as Shredder-FEN, and castling is written (and
// read) as the king taking its own rook.
extern bool Chess960Mode;

// Right bits in their order: king side before queen side, White before Black.
constexpr int CastlingRightIndex(Color c, bool kingSide) { return 2 * int(c) + (kingSide ? 0 : 1); }

// Where king and rook stand after castling to one side, on their first rank.
struct CastlingTargets {
  Square king, rook;
};
template <Color C> constexpr CastlingTargets CastlingTargetsOf(bool kingSide) {
  const Square base = C == White ? A1 : A8;
  return kingSide ? CastlingTargets{base + 6, base + 5} : CastlingTargets{base + 2, base + 3};
}

// The standard setup: the king on the e-file, the rooks in the corners.
void SetStandardCastlingSquares(Position& p);
// Completes the setup once the rights and their rooks' squares are known:
// the squares' masks, the rights' keys and the form castling moves take.
void FinishCastlingSetup(Position& p);
