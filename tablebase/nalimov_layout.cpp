// Builds the 880 index layouts from the table names: which men are counted
// relative to the other king, which are placed among the free squares, in
// which order, and the per-king-pair bases of the counted men.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>
#include "tablebase/nalimov_geometry.h"
#include "tablebase/nalimov_index.h"

namespace nalimov {

namespace {

// Men of each kind per table colour, read from a name such as "kqrkn".
struct Material {
  int count[2][ManKinds] = {};
  int Men(int colour) const {
    int n = 0;
    for (int k : count[colour]) n += k;
    return n;
  }
};

Material MaterialOf(const char* name) {
  Material m;
  int colour = -1;
  for (const char* c = name; *c; ++c) {
    switch (*c) {
      case 'k': ++colour; break;
      case 'p': ++m.count[colour][PawnMan]; break;
      case 'n': ++m.count[colour][KnightMan]; break;
      case 'b': ++m.count[colour][BishopMan]; break;
      case 'r': ++m.count[colour][RookMan]; break;
      case 'q': ++m.count[colour][QueenMan]; break;
    }
  }
  return m;
}

constexpr OrderKind OrderKindOf[ManKinds] = {PawnOrder, KnightOrder, BishopOrder, RookOrder, QueenOrder};

MenGroup Group(ManKind kind, int count, bool fromStmList) {
  MenGroup g;
  g.slot = uint8_t(3 * kind);
  g.count = uint8_t(count);
  g.orderKind = OrderKindOf[kind];
  g.fromStmList = fromStmList;
  g.pawn = kind == PawnMan;
  return g;
}

// Counted groups of one side, most significant first: like men (two or three
// of a kind) before single men, each in the order queen, rook, bishop, knight, pawn.
int CountedGroupsOf(const int* count, bool withPawns, MenGroup* out) {
  int n = 0;
  for (bool like : {true, false})
    for (int kind = QueenMan; kind >= (withPawns ? PawnMan : KnightMan); --kind)
      if (count[kind] && (count[kind] > 1) == like) out[n++] = Group(ManKind(kind), count[kind], true);
  return n;
}

// Per-king-pair bases of a set of counted groups: the running total over the
// king pairs of the number of ways to place them.
class BaseTables {
 public:
  const uint32_t* Get(const MenGroup* groups, int n, bool pawns, uint64_t& total) {
    std::vector<int> key{pawns};
    for (int g = 0; g < n; ++g) key.insert(key.end(), {groups[g].orderKind, groups[g].count});
    auto [it, fresh] = tables_.try_emplace(key);
    std::vector<uint32_t>& bases = it->second;
    if (fresh) {
      const int pairs = pawns ? PawnKingPairs : PawnlessKingPairs;
      bases.resize(pairs + 1);
      uint64_t sum = 0;
      for (int p = 0; p < pairs; ++p) {
        bases[p] = uint32_t(sum);
        const uint8_t* kings = pawns ? KingPairs.pawnSquares[p] : KingPairs.pawnlessSquares[p];
        uint64_t ways = 1;
        for (int g = 0; g < n; ++g) {
          int kind = groups[g].orderKind, own = kings[0], reference = kings[1];
          int places = SquareOrders.allowed[kind][reference] -
                       (SquareOrders.order[kind][reference][own] != NotAllowed);
          ways *= Binomial.value[places][groups[g].count];
        }
        sum += ways;
      }
      if (sum > UINT32_MAX) {
        std::fprintf(stderr, "tablebase index: king-pair bases overflow\n");
        std::abort();
      }
      bases[pairs] = uint32_t(sum);
    }
    total = bases.back();
    return bases.data();
  }

 private:
  std::map<std::vector<int>, std::vector<uint32_t>> tables_;
};

// Sets the weights of groups listed in placement order from their radices and
// significance ranks (0 = most significant); returns the product of the radices.
uint64_t Weigh(MenGroup* groups, const uint64_t* radix, const int* rank, int n) {
  uint64_t product = 1;
  for (int r = n - 1; r >= 0; --r)
    for (int g = 0; g < n; ++g)
      if (rank[g] == r) {
        groups[g].weight = product;
        product *= radix[g];
      }
  return product;
}

constexpr int Significance(const MenGroup& g) { return g.pawn ? 5 : QueenMan - g.slot / 3; }

// Other side's men in the ordinary section: pawns are placed first, then
// single pieces, then like pieces (queen to knight); significance goes queen,
// rook, bishop, knight, pawn. `placed` and `pawnsPlaced` count the squares
// already taken (kings and counted men; only pawns for pawns).
uint64_t SetOtherGroups(IndexLayout& L, const int* count, bool withPawns, int placed, int pawnsPlaced) {
  int n = 0;
  if (withPawns && count[PawnMan]) L.other[n++] = Group(PawnMan, count[PawnMan], false);
  for (bool like : {false, true})
    for (int kind = QueenMan; kind >= KnightMan; --kind)
      if (count[kind] && (count[kind] > 1) == like) L.other[n++] = Group(ManKind(kind), count[kind], false);
  uint64_t radix[5];
  int rank[5];
  for (int g = 0; g < n; ++g) {
    const MenGroup& group = L.other[g];
    int free = group.pawn ? 48 - pawnsPlaced : 64 - placed;
    radix[g] = Binomial.value[free][group.count];
    placed += group.count;
    if (group.pawn) pawnsPlaced += group.count;
    rank[g] = 0;
  }
  for (int g = 0; g < n; ++g)
    for (int h = 0; h < n; ++h) rank[g] += Significance(L.other[h]) < Significance(L.other[g]);
  L.otherGroups = uint8_t(n);
  return Weigh(L.other, radix, rank, n);
}

// En-passant section of a table with pawns of both colours. Counted: the side
// to move's pieces. Other: the side to move's remaining pawns, the other
// side's remaining pawns (each numbered among 44 pawn squares less those
// placed), then the other side's pieces; significance: pieces (queen to
// knight), the other side's pawns, the side to move's pawns. The 4- and 5-man
// tables have at most one such group; for the 6-man tables the order among
// several groups follows the ordinary section's habits and is not confirmed
// by reference positions (the section sizes do match the file lengths).
void SetEnPassant(IndexLayout& L, const Material& m, BaseTables& bases) {
  const int* stm = m.count[L.side];
  const int* other = m.count[L.side ^ 1];
  L.enPassant = true;
  L.stmPawns = uint8_t(stm[PawnMan]);
  L.otherPawns = uint8_t(other[PawnMan]);
  L.epCountedGroups = uint8_t(CountedGroupsOf(stm, false, L.epCounted));
  int n = 0;
  if (stm[PawnMan] > 1) L.epOther[n++] = Group(PawnMan, stm[PawnMan] - 1, true);
  if (other[PawnMan] > 1) L.epOther[n++] = Group(PawnMan, other[PawnMan] - 1, false);
  const int pawnGroups = n;
  for (bool like : {false, true})
    for (int kind = QueenMan; kind >= KnightMan; --kind)
      if (other[kind] && (other[kind] > 1) == like) L.epOther[n++] = Group(ManKind(kind), other[kind], false);
  int pawnsPlaced = 4;   // capturer, captured pawn, the two squares it crossed
  int placed = 6 + stm[PawnMan] - 1 + other[PawnMan] - 1 + m.Men(L.side) - stm[PawnMan];
  uint64_t radix[5];
  int rank[5];
  for (int g = 0; g < n; ++g) {
    MenGroup& group = L.epOther[g];
    if (group.pawn) {
      radix[g] = Binomial.value[48 - pawnsPlaced][group.count];
      pawnsPlaced += group.count;
      rank[g] = (n - pawnGroups) + (pawnGroups - 1 - g);
    } else {
      radix[g] = Binomial.value[64 - placed][group.count];
      placed += group.count;
      rank[g] = 0;
      for (int h = pawnGroups; h < n; ++h) rank[g] += Significance(L.epOther[h]) < Significance(group);
    }
  }
  L.epOtherGroups = uint8_t(n);
  L.epOtherRadix = Weigh(L.epOther, radix, rank, n);
  uint64_t total;
  L.epPairBase = bases.Get(L.epCounted, L.epCountedGroups, true, total);
  L.epSize = total * L.epOtherRadix * 14;
}

void BuildLayout(IndexLayout& L, const TableInfo& table, Color side, const IndexLayout& white,
                 BaseTables& bases) {
  const Material m = MaterialOf(table.name);
  L.table = &table;
  L.side = side;
  L.pawns = m.count[White][PawnMan] + m.count[Black][PawnMan] > 0;
  if (table.symmetric && side == Black) {
    L.reversedWhite = &white;
    L.ordinarySize = white.ordinarySize;
    L.epSize = white.epSize;
    return;
  }
  const int* stm = m.count[side];
  const int* other = m.count[side ^ 1];
  // Black to move with no men of its own: White's pawns are counted (relative
  // to the white king, no check exclusions) instead of placed.
  const bool pawnsCounted = L.pawns && side == Black && m.Men(Black) == 0;
  int placed = 2 + m.Men(side), pawnsPlaced = stm[PawnMan];
  if (pawnsCounted) {
    L.counted[0] = Group(PawnMan, other[PawnMan], false);
    L.counted[0].orderKind = FreePawnOrder;
    L.countedGroups = 1;
    placed += other[PawnMan];
  } else {
    L.countedGroups = uint8_t(CountedGroupsOf(stm, true, L.counted));
  }
  L.mirrorCounted = L.pawns && side == Black && (stm[PawnMan] > 0 || pawnsCounted);
  L.otherRadix = SetOtherGroups(L, other, !pawnsCounted, placed, pawnsPlaced);
  uint64_t total;
  L.pairBase = bases.Get(L.counted, L.countedGroups, L.pawns, total);
  L.ordinarySize = total * L.otherRadix;
  if (m.count[White][PawnMan] && m.count[Black][PawnMan]) SetEnPassant(L, m, bases);
}

struct Layouts {
  std::array<std::array<IndexLayout, 2>, TableCount> layout;
  BaseTables bases;
  Layouts() {
    for (const TableInfo& t : Tables()) {
      auto& pair = layout[t.number - 1];
      BuildLayout(pair[White], t, White, pair[White], bases);
      BuildLayout(pair[Black], t, Black, pair[White], bases);
    }
  }
};

}  // namespace

const IndexLayout& Layout(int table, Color side) {
  static const Layouts layouts;
  return layouts.layout[table - 1][side];
}

}  // namespace nalimov
