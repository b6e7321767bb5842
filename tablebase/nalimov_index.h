// Position index of the Nalimov tablebase files: one layout per table and
// side to move, all 880 described by the same few parameters (the men of each
// side, pawns or not, like men, an en-passant section) and indexed by one
// routine. Indices are exactly those of the existing files.
//
// How a file numbers its positions:
// - Symmetry. Without pawns the side to move's king is brought into the
//   a1-d1-d4 triangle (and the other king on or below a1-h8 when that king is
//   on the diagonal); with pawns it is only mirrored onto files a-d. The
//   colours-exchanged flag flips ranks first.
// - The king pair (side to move's king, other king) selects a base; the side
//   to move's men are counted relative to the other king on the squares where
//   they would not touch it with a check (own king's square taken out), like
//   men as sets; the base runs over the king pairs by how many ways that gives.
// - The other side's men are placed among the squares left: a piece by its
//   square less the occupied squares below it, a pawn on the 48 pawn squares
//   less the pawns below it.
// - Black to move with pawns counts the king pair and Black's men on the
//   rank-mirrored board whenever Black has pawns or no men (then White's pawns
//   are counted instead, with no check exclusions).
// - With pawns of both colours an en-passant section follows the ordinary
//   positions: king pair, the side to move's pieces, the other men, and one
//   of 14 codes for the capturing pawn's file and direction.
#pragma once
#include <cstdint>
#include "common/types.h"
#include "tablebase/nalimov_catalogue.h"

namespace nalimov {

// Kinds of men in the order of the 16-slot man lists: men of kind k go in
// slots 3k, 3k + 1, 3k + 2 (any order), the king in slot 15.
enum ManKind : uint8_t { PawnMan, KnightMan, BishopMan, RookMan, QueenMan };
constexpr int ManKinds = 5;
constexpr int KingSlot = 15;
constexpr int MenSlots = 16;
constexpr Square NoEnPassant = 127;
constexpr uint64_t InvalidIndex = ~uint64_t(0);

// Like men numbered together (as an unordered set).
struct MenGroup {
  uint8_t slot = 0;          // first slot of the kind
  uint8_t count = 0;         // 1..3
  uint8_t orderKind = 0;     // square-order table, for men counted relative to a king
  bool fromStmList = true;   // list of the side to move (else the other side's)
  bool pawn = false;
  uint64_t weight = 1;       // other men: product of the radices of the less significant groups
};

struct IndexLayout {
  const TableInfo* table = nullptr;
  Color side = White;        // side to move of the file this layout numbers
  // Symmetric tables: black to move is white to move of the colour-reversed board.
  const IndexLayout* reversedWhite = nullptr;
  bool pawns = false;
  // Black to move with pawns: king pair and counted men come from the
  // rank-mirrored board (so that those pawns move up).
  bool mirrorCounted = false;

  // Ordinary positions: index = (pairBase[king pair] + counted) * otherRadix + other.
  // Counted men (the side to move's men, numbered relative to the other king)
  // in order of significance; other men in the order they are placed.
  uint8_t countedGroups = 0, otherGroups = 0;
  MenGroup counted[4], other[5];
  const uint32_t* pairBase = nullptr;   // one entry per king pair
  uint64_t otherRadix = 1;
  uint64_t ordinarySize = 0;            // also the first index of the en-passant section

  // En-passant section (pawns of both colours): index = ordinarySize +
  // ((epPairBase[pair] + counted pieces) * epOtherRadix + other men) * 14 + capture code.
  bool enPassant = false;
  uint8_t stmPawns = 0, otherPawns = 0;
  uint8_t epCountedGroups = 0, epOtherGroups = 0;
  MenGroup epCounted[3], epOther[5];
  const uint32_t* epPairBase = nullptr;
  uint64_t epOtherRadix = 1;
  uint64_t epSize = 0;

  // Index space: ordinary and en-passant entries. Files may be shorter
  // (TableInfo::entries), their tails holding no reachable position.
  uint64_t Size() const { return ordinarySize + epSize; }

  // white and black: 16-slot lists of the table's white and black men (with
  // exchanged set, the real colours are reversed: the lists are read with the
  // ranks flipped). ep: en-passant target square or NoEnPassant. Returns
  // InvalidIndex when the kings touch or a counted man stands where the
  // layout has no place for it (positions that cannot be legal).
  uint64_t Index(const Square* white, const Square* black, Square ep, bool exchanged) const;

 private:
  uint64_t EnPassantIndex(const Square* stm, const Square* waiting, Square ep, int frame) const;
};

// Layout of a table (1..440) for a side to move; built once, on first use.
const IndexLayout& Layout(int table, Color side);

}  // namespace nalimov
