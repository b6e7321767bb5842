// The generator's own numbering of an endgame's positions: one field per man,
// so that a move changes one field and a position and its index convert
// into each other with a few shifts. The white king is brought into the part
// of the board the symmetries leave (files a-d with pawns, the a1-d1-d4
// triangle without), so each position has one canonical index; indices that
// are not canonical, or put two men on one square, hold no position.
// Field order, most significant first: white king, black king, then White's
// men and Black's men in the table's order (queen, rook, bishop, knight, pawn).
#pragma once
#include <cstdint>
#include <string>
#include "common/types.h"
#include "tbgen/endgame.h"

namespace tbgen {

constexpr int MaxFrameMen = 6;
enum FrameKind : uint8_t { PawnKind, KnightKind, BishopKind, RookKind, QueenKind, KingKind };

struct FrameMan {
  Color colour;
  FrameKind kind;
};

class Frame {
 public:
  explicit Frame(const Material& material);

  int men = 0;                      // kings included
  FrameMan man[MaxFrameMen] = {};
  bool pawns = false;
  bool enPassant = false;           // pawns of both colours
  uint64_t size = 0;                // indices per side to move
  uint64_t weight[MaxFrameMen] = {};
  int groupStart[MaxFrameMen] = {}; // first man of the like-men group a man belongs to
  int groupSize[MaxFrameMen] = {};  // 1 for a man with no like partner

  // Squares of the men in frame order. Encode brings them into canonical form
  // in place (symmetry, like men sorted) and returns the index; `mirror`
  // (optional) receives the XOR mask applied to the squares (0 or 7 with pawns).
  uint64_t Encode(Square* sq, int* mirror = nullptr) const;
  void Decode(uint64_t index, Square* sq) const;
  // Index of the squares when they are already canonical except for the man
  // that moved from `from` to sq[moved]: one field changes.
  bool CanMoveFast(int moved, const Square* sq) const;
  uint64_t Field(int m, Square s) const { return man[m].kind == PawnKind ? uint64_t(s - 8) : uint64_t(s); }
  // A canonical index of a position with no two men on one square.
  bool Holds(uint64_t index) const;
  // Without pawns, a position whose kings both stand on the a1-h8 diagonal
  // and its reflection in that diagonal have one frame index but two
  // entries in the Nalimov files. True when this is such a position (some
  // man off the diagonal); `twin` receives the reflection.
  bool DiagonalTwin(const Square* sq, Square* twin) const;

 private:
  uint64_t Pack(const Square* sq) const;
  void SortGroups(Square* sq) const;
};

// FEN of a frame position (ep: the en-passant square; none when off the board).
std::string FenOf(const Frame& f, const Square* sq, Color stm, Square ep);

// The canonical white king squares: 32 (files a-d) with pawns, 10 without.
int KingFieldOf(Square s, bool pawns);
Square KingSquareOf(int field, bool pawns);

}  // namespace tbgen
