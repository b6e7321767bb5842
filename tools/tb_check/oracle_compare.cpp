#include "tools/tb_check/oracle_compare.h"
#include "tablebase/nalimov_locate.h"
#include "tbgen/frame_moves.h"

namespace tbcheck {

namespace {

using tbgen::Frame;
using tbgen::FrameBoard;
using tbgen::MaxFrameMen;

}  // namespace

CompareReport CompareWithOracle(const nalimov::TableInfo& table, const tbgen::TableFiles& ours,
                                const GaviotaOracle& oracle, uint64_t probeEvery) {
  const Frame f(tbgen::MaterialOfName(table.name));
  CompareReport report;
  auto compare = [&](const Square* sq, Color stm, Square ep) {
    if (report.positions++ % probeEvery) return;
    ++report.compared;
    nalimov::Army army[2] = {nalimov::Army(sq[0]), nalimov::Army(sq[1])};
    Men men;
    men.Add(White, KingKindNumber, sq[0]);
    men.Add(Black, KingKindNumber, sq[1]);
    for (int m = 2; m < f.men; ++m) {
      army[f.man[m].colour].Add(nalimov::ManKind(f.man[m].kind), sq[m]);
      men.Add(f.man[m].colour, f.man[m].kind, sq[m]);
    }
    const auto entry = nalimov::LocateEntry(army[White], army[Black], stm, ep < 0 ? nalimov::NoEnPassant : ep);
    const nalimov::TableValue mine = entry ? ours.Read(*entry) : nalimov::TableValue::Unknown();
    const nalimov::TableValue theirs = oracle.Probe(men, stm, ep);
    if (mine.outcome != nalimov::Outcome::Unknown && mine == theirs) return;
    if (++report.mismatches <= 10)
      report.examples.push_back(tbgen::FenOf(f, sq, stm, ep) + ": ours " + mine.Text() + ", Gaviota " + theirs.Text());
  };
  for (Color stm : {White, Black}) {
    const Color them = Opponent(stm);
    for (uint64_t i = 0; i < f.size; ++i) {
      if (!f.Holds(i)) continue;
      Square sq[MaxFrameMen];
      f.Decode(i, sq);
      const FrameBoard b(f, sq);
      if (stm == White ? tbgen::OpponentInCheck<White>(b, sq) : tbgen::OpponentInCheck<Black>(b, sq)) continue;
      compare(sq, stm, -1);
      Square twin[MaxFrameMen];
      if (f.DiagonalTwin(sq, twin)) compare(twin, stm, -1);
      if (!f.enPassant) continue;
      // The position just after a double step of `them`, when `stm` can take en passant.
      for (int m = 2; m < f.men; ++m) {
        if (f.man[m].colour != them || f.man[m].kind != tbgen::PawnKind) continue;
        const Square moved = sq[m];
        if (RankOf(moved) != (them == White ? 3 : 4)) continue;
        const Square crossed = them == White ? moved - 8 : moved + 8, start = them == White ? moved - 16 : moved + 16;
        if ((b.occupied & (SquareBit(crossed) | SquareBit(start))) ||
            !(RankNeighbours[moved] & b.kind[stm][tbgen::PawnKind]))
          continue;
        Bitboard k[6];
        for (int j = 0; j < 6; ++j) k[j] = b.kind[them][j];
        k[tbgen::PawnKind] ^= SquareBit(moved) | SquareBit(start);
        const Bitboard before = b.occupied ^ SquareBit(moved) ^ SquareBit(start);
        const Square king = sq[tbgen::KingMan(stm)];
        if (them == White ? tbgen::Attacked<White>(k, king, before) : tbgen::Attacked<Black>(k, king, before)) continue;
        compare(sq, stm, crossed);
      }
    }
  }
  return report;
}

}  // namespace tbcheck
