#include "tbgen/frame.h"
#include "board/position.h"
#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace tbgen {

namespace {

constexpr Square Reflect(Square s) { return Square(((s & 7) << 3) | (s >> 3)); }
constexpr bool InTriangle(Square s) { return FileOf(s) <= 3 && RankOf(s) <= FileOf(s); }
constexpr bool OnDiagonal(Square s) { return FileOf(s) == RankOf(s); }

struct KingFields {
  std::array<int8_t, 64> pawnField{}, pawnlessField{};
  std::array<Square, 32> pawnSquare{};
  std::array<Square, 10> pawnlessSquare{};
  constexpr KingFields() {
    int p = 0, q = 0;
    for (Square s = 0; s < 64; ++s) {
      pawnField[s] = FileOf(s) < 4 ? int8_t(p) : int8_t(-1);
      if (FileOf(s) < 4) pawnSquare[p++] = s;
    }
    for (Square s = 0; s < 64; ++s) {
      pawnlessField[s] = InTriangle(s) ? int8_t(q) : int8_t(-1);
      if (InTriangle(s)) pawnlessSquare[q++] = s;
    }
  }
};
constexpr KingFields Kings;

}  // namespace

int KingFieldOf(Square s, bool pawns) { return pawns ? Kings.pawnField[s] : Kings.pawnlessField[s]; }
Square KingSquareOf(int field, bool pawns) {
  return pawns ? Kings.pawnSquare[field] : Kings.pawnlessSquare[field];
}

Frame::Frame(const Material& material) {
  man[men++] = {White, KingKind};
  man[men++] = {Black, KingKind};
  for (Color c : {White, Black})
    for (int kind = nalimov::QueenMan; kind >= nalimov::PawnMan; --kind)
      for (int j = 0; j < material.count[c][kind]; ++j) {
        groupStart[men] = j ? groupStart[men - 1] : men;
        man[men++] = {c, FrameKind(kind)};
      }
  groupStart[0] = 0;
  groupStart[1] = 1;
  for (int m = 0; m < men; ++m) {
    groupSize[m] = 0;
    for (int n = 0; n < men; ++n) groupSize[m] += groupStart[n] == groupStart[m];
  }
  pawns = material.count[White][nalimov::PawnMan] + material.count[Black][nalimov::PawnMan] > 0;
  enPassant = material.count[White][nalimov::PawnMan] && material.count[Black][nalimov::PawnMan];
  uint64_t w = 1;
  for (int m = men - 1; m >= 0; --m) {
    weight[m] = w;
    w *= m == 0 ? (pawns ? 32 : 10) : man[m].kind == PawnKind ? 48 : 64;
  }
  size = w;
}

void Frame::SortGroups(Square* sq) const {
  for (int m = 2; m < men;) {
    const int n = groupSize[m];
    if (n > 1) std::sort(sq + m, sq + m + n);
    m += n;
  }
}

uint64_t Frame::Pack(const Square* sq) const {
  uint64_t index = uint64_t(KingFieldOf(sq[0], pawns)) * weight[0];
  for (int m = 1; m < men; ++m) index += Field(m, sq[m]) * weight[m];
  return index;
}

uint64_t Frame::Encode(Square* sq, int* mirror) const {
  if (pawns) {
    const int mask = FileOf(sq[0]) >= 4 ? 7 : 0;
    if (mask)
      for (int m = 0; m < men; ++m) sq[m] ^= mask;
    if (mirror) *mirror = mask;
    SortGroups(sq);
    return Pack(sq);
  }
  const int mask = (FileOf(sq[0]) >= 4 ? 7 : 0) | (RankOf(sq[0]) >= 4 ? 56 : 0);
  if (mask)
    for (int m = 0; m < men; ++m) sq[m] ^= mask;
  if (!InTriangle(sq[0]))
    for (int m = 0; m < men; ++m) sq[m] = Reflect(sq[m]);
  SortGroups(sq);
  uint64_t index = Pack(sq);
  if (OnDiagonal(sq[0])) {   // a position and its reflection: the smaller index
    Square other[MaxFrameMen];
    for (int m = 0; m < men; ++m) other[m] = Reflect(sq[m]);
    SortGroups(other);
    const uint64_t reflected = Pack(other);
    if (reflected < index) {
      std::copy(other, other + men, sq);
      index = reflected;
    }
  }
  return index;
}

void Frame::Decode(uint64_t index, Square* sq) const {
  for (int m = men - 1; m > 0; --m) {
    if (man[m].kind == PawnKind) {
      sq[m] = Square(index % 48) + 8;
      index /= 48;
    } else {
      sq[m] = Square(index & 63);
      index >>= 6;
    }
  }
  sq[0] = KingSquareOf(int(index), pawns);
}

bool Frame::CanMoveFast(int moved, const Square* sq) const {
  return moved != 0 && groupSize[moved] == 1 && (pawns || !OnDiagonal(sq[0]));
}

bool Frame::Holds(uint64_t index) const {
  Square sq[MaxFrameMen];
  Decode(index, sq);
  Bitboard seen = 0;
  for (int m = 0; m < men; ++m) {
    if (seen & SquareBit(sq[m])) return false;
    seen |= SquareBit(sq[m]);
  }
  return Encode(sq) == index;
}

}  // namespace tbgen

namespace tbgen {

bool Frame::DiagonalTwin(const Square* sq, Square* twin) const {
  if (pawns || !OnDiagonal(sq[0]) || !OnDiagonal(sq[1])) return false;
  bool differs = false;
  for (int m = 0; m < men; ++m) {
    twin[m] = Reflect(sq[m]);
    differs |= twin[m] != sq[m];
  }
  return differs;
}

std::string FenOf(const Frame& f, const Square* sq, Color stm, Square ep) {
  char letters[64] = {};
  for (int m = 0; m < f.men; ++m) {
    const char c = "pnbrqk"[f.man[m].kind];
    letters[sq[m]] = f.man[m].colour == White ? char(c - 32) : c;
  }
  std::string board = FenPlacement(letters);
  board += stm == White ? " w - " : " b - ";
  board +=
      ep < 0 || ep >= 64 ? std::string("-") : std::string{char('a' + FileOf(ep)), char('1' + RankOf(ep))};
  return board + " 0 1";
}

}  // namespace tbgen
