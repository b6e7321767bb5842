// The one index routine shared by all 880 layouts.
#include "tablebase/nalimov_index.h"
#include <cassert>
#include <utility>
#include "common/bitops.h"
#include "tablebase/nalimov_geometry.h"

namespace nalimov {

namespace {

// Number of an unordered set of 1..3 distinct values: C(c,3) + C(b,2) + a for a < b < c.
inline uint64_t SetNumber(uint32_t* v, int count) {
  if (count == 1) return v[0];
  if (v[0] > v[1]) std::swap(v[0], v[1]);
  if (count == 2) return Binomial.value[v[1]][2] + v[0];
  if (v[1] > v[2]) std::swap(v[1], v[2]);
  if (v[0] > v[1]) std::swap(v[0], v[1]);
  return Binomial.value[v[2]][3] + Binomial.value[v[1]][2] + v[0];
}

inline Bitboard Below(Square s) { return SquareBit(s) - 1; }

// Men counted relative to the other king: each group is numbered among the
// squares its kind may hold, the own king's square taken out when it is among
// them; groups combine as a mixed-radix number whose radices depend on the
// kings. Also collects the men's squares as the other men see them (frame
// `seen`), all of them and the pawns. Returns false for a man on a square
// that has no number.
struct Counted {
  uint64_t number = 0;
  Bitboard men = 0, pawns = 0;
};
inline bool CountedNumber(const MenGroup* groups, int n, const Square* stm, const Square* other,
                          const uint8_t* frame, const uint8_t* seen, Square king, Square otherKing,
                          Counted& out) {
  uint64_t code = 0;
  for (int g = 0; g < n; ++g) {
    const MenGroup& group = groups[g];
    const Square* list = group.fromStmList ? stm : other;
    const uint8_t* order = SquareOrders.order[group.orderKind][otherKing];
    const bool kingCounted = order[king] != NotAllowed;
    uint32_t values[3] = {};
    Bitboard squares = 0;
    for (int j = 0; j < group.count; ++j) {
      const Square real = list[group.slot + j], s = frame[real];
      const uint32_t o = order[s];
      if (o == NotAllowed) return false;
      values[j] = o - (kingCounted && king < s);
      squares |= SquareBit(seen[real]);
    }
    const uint32_t places = SquareOrders.allowed[group.orderKind][otherKing] - kingCounted;
    code = code * Binomial.value[places][group.count] + SetNumber(values, group.count);
    out.men |= squares;
    if (group.pawn) out.pawns |= squares;
  }
  out.number = code;
  return true;
}

// Other men: a piece is numbered by its square less the occupied squares below
// it, a pawn by its square less 8 less the pawn squares below it. Groups are
// placed in the given order and weighted by their significance.
inline uint64_t OtherNumber(const MenGroup* groups, int n, const Square* stm, const Square* other,
                            const uint8_t* frame, Bitboard occupied, Bitboard pawnsPlaced,
                            int skipStmSlot = -1, int skipOtherSlot = -1) {
  uint64_t code = 0;
  for (int g = 0; g < n; ++g) {
    const MenGroup& group = groups[g];
    const Square* list = group.fromStmList ? stm : other;
    const int skip = group.fromStmList ? skipStmSlot : skipOtherSlot;
    uint32_t values[3] = {};
    Bitboard placed = 0;
    int count = 0;
    for (int slot = group.slot; count < group.count; ++slot) {
      if (slot == skip) continue;
      Square s = frame[list[slot]];
      placed |= SquareBit(s);
      values[count++] = group.pawn ? uint32_t(s - 8 - PopCount(pawnsPlaced & Below(s)))
                                   : uint32_t(s - PopCount(occupied & Below(s)));
    }
    code += SetNumber(values, group.count) * group.weight;
    occupied |= placed;
    if (group.pawn) pawnsPlaced |= placed;
  }
  return code;
}

}  // namespace

uint64_t IndexLayout::Index(const Square* white, const Square* black, Square ep, bool exchanged) const {
  if (reversedWhite) return reversedWhite->Index(black, white, ep, !exchanged);
  const Square* stm = side == White ? white : black;
  const Square* waiting = side == White ? black : white;
  const Square king = stm[KingSlot], otherKing = waiting[KingSlot];
  int otherFrame, countedFrame;
  if (pawns) {
    otherFrame = Symmetry.fileMirror[king] | (exchanged ? RankFlipBit : 0);
    if (enPassant && ep != NoEnPassant) {
      uint64_t index = EnPassantIndex(stm, waiting, ep, otherFrame);
      if (index != InvalidIndex) return index;
    }
    countedFrame = otherFrame ^ (mirrorCounted ? RankFlipBit : 0);
  } else {
    otherFrame = countedFrame = PawnlessSymmetry(king, otherKing);
  }
  const uint8_t* cf = Symmetry.image[countedFrame];
  const uint8_t* of = Symmetry.image[otherFrame];
  const Square k = cf[king], ok = cf[otherKing];
  const uint16_t pair = pawns ? KingPairs.pawnPair[k][ok] : KingPairs.pawnlessPair[k][ok];
  if (pair == NoKingPair) return InvalidIndex;
  Counted c;
  if (!CountedNumber(counted, countedGroups, stm, waiting, cf, of, k, ok, c)) return InvalidIndex;
  uint64_t index = (pairBase[pair] + c.number) * otherRadix;
  if (otherGroups) {
    const Bitboard occupied = c.men | SquareBit(of[king]) | SquareBit(of[otherKing]);
    index += OtherNumber(other, otherGroups, stm, waiting, of, occupied, c.pawns);
  }
  assert(index < ordinarySize);   // the layout's own numbering never leaves its space
  return index;
}

// The pawn that just made a double step stands beside a pawn of the side to
// move; the pair is coded by the capturing pawn's file and direction (14
// codes), the two squares the moving pawn crossed are left out of the count,
// and the whole board is taken unmirrored in ranks. InvalidIndex: the square
// given allows no capture, so the position is numbered as an ordinary one.
uint64_t IndexLayout::EnPassantIndex(const Square* stm, const Square* waiting, Square ep, int frame) const {
  if (ep < 0 || ep > 63) return InvalidIndex;
  const uint8_t* f = Symmetry.image[frame];
  const Square target = f[ep];
  const bool up = side == White;   // the side to move's pawns move up the frame
  if (RankOf(target) != (up ? 5 : 2)) return InvalidIndex;
  const Square moved = up ? target - 8 : target + 8, start = up ? target + 8 : target - 8;
  int movedSlot = -1, capturerSlot = -1;
  for (int j = 0; j < otherPawns; ++j)
    if (f[waiting[j]] == moved) movedSlot = j;
  if (movedSlot < 0) return InvalidIndex;
  // With pawns on both sides of the moved one, the one on the lower file (in
  // this frame) is taken as the capturer (as kppkp shows; taken to hold for
  // the 6-man tables too).
  for (int j = 0; j < stmPawns; ++j) {
    Square s = f[stm[j]];
    if (RankOf(s) != RankOf(moved)) continue;
    if (FileOf(s) == FileOf(moved) - 1) capturerSlot = j;
    else if (FileOf(s) == FileOf(moved) + 1 && capturerSlot < 0) capturerSlot = j;
  }
  if (capturerSlot < 0) return InvalidIndex;
  const Square capturer = f[stm[capturerSlot]];
  const int captureCode = capturer < moved ? 7 + FileOf(capturer) : FileOf(moved);

  const Square k = f[stm[KingSlot]], ok = f[waiting[KingSlot]];
  const uint16_t pair = KingPairs.pawnPair[k][ok];
  if (pair == NoKingPair) return InvalidIndex;
  Counted c;
  if (!CountedNumber(epCounted, epCountedGroups, stm, waiting, f, f, k, ok, c)) return InvalidIndex;
  const Bitboard crossed = SquareBit(capturer) | SquareBit(moved) | SquareBit(target) | SquareBit(start);
  const Bitboard occupied = crossed | SquareBit(k) | SquareBit(ok) | c.men;
  const uint64_t otherNumber =
      OtherNumber(epOther, epOtherGroups, stm, waiting, f, occupied, crossed, capturerSlot, movedSlot);
  const uint64_t index =
      ordinarySize + ((epPairBase[pair] + c.number) * epOtherRadix + otherNumber) * 14 + captureCode;
  assert(index >= ordinarySize && index < Size());
  return index;
}

}  // namespace nalimov
