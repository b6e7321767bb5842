#include "tablebase/nalimov_locate.h"
#include <array>
#include "board/piece.h"
#include "common/bitops.h"

namespace nalimov {

namespace {

// One side's material (at most four men) as a number 0..3124, base 5 by kind.
constexpr int MaterialKeys = 3125;
int MaterialKey(const int* count) {
  int key = 0;
  for (int kind = QueenMan; kind >= PawnMan; --kind) key = key * 5 + count[kind];
  return key;
}

// Signed table number per (white material, black material): positive when
// the table is named that way, negative when it is named with colours
// exchanged. The 126 materials of at most four men are numbered densely.
class MaterialTable {
 public:
  MaterialTable() {
    id_.fill(-1);
    int next = 0;
    for (int key = 0; key < MaterialKeys; ++key) {
      int men = 0;
      for (int k = key; k; k /= 5) men += k % 5;
      if (men <= 4) id_[key] = int16_t(next++);
    }
    for (const TableInfo& t : Tables()) {
      int count[2][ManKinds] = {};
      int colour = -1;
      for (const char* c = t.name; *c; ++c) {
        if (*c == 'k') ++colour;
        else ++count[colour][*c == 'p' ? PawnMan : *c == 'n' ? KnightMan : *c == 'b' ? BishopMan
                             : *c == 'r' ? RookMan : QueenMan];
      }
      int w = id_[MaterialKey(count[White])], b = id_[MaterialKey(count[Black])];
      number_[w][b] = int16_t(t.number);
      if (!number_[b][w]) number_[b][w] = int16_t(-t.number);
    }
  }
  int Number(const int* white, const int* black) const {
    return number_[id_[MaterialKey(white)]][id_[MaterialKey(black)]];
  }

 private:
  static constexpr int Materials = 126;
  std::array<int16_t, MaterialKeys> id_;
  int16_t number_[Materials][Materials] = {};
};

}  // namespace

std::optional<TableEntry> LocateEntry(const Army& white, const Army& black, Color sideToMove, Square ep) {
  if (white.overflow || black.overflow || white.Men() > 4 || black.Men() > 4 || white.Men() + black.Men() > 4)
    return std::nullopt;
  static const MaterialTable materials;
  int number = materials.Number(white.count, black.count);
  if (!number) return std::nullopt;
  const bool exchanged = number < 0;
  const TableInfo* table = TableByNumber(exchanged ? -number : number);
  const Color tableSide = exchanged ? Opponent(sideToMove) : sideToMove;
  const Army& tableWhite = exchanged ? black : white;
  const Army& tableBlack = exchanged ? white : black;
  const uint64_t index =
      Layout(table->number, tableSide).Index(tableWhite.slots, tableBlack.slots, ep, exchanged);
  return TableEntry{table, exchanged, table->symmetric ? White : tableSide, index};
}

std::optional<TableEntry> LocateEntry(const Position& p) {
  Army army[2] = {Army(p.KingSquare(White)), Army(p.KingSquare(Black))};
  constexpr int types[ManKinds] = {PawnType, KnightType, BishopType, RookType, QueenType};
  for (Color c : {White, Black})
    for (int kind = PawnMan; kind <= QueenMan; ++kind)
      for (Bitboard b = p.Pieces(c, types[kind]); b;) army[c].Add(ManKind(kind), PopLowest(b));
  return LocateEntry(army[White], army[Black], p.sideToMove,
                     p.st.epSquare ? Square(p.st.epSquare) : NoEnPassant);
}

}  // namespace nalimov
