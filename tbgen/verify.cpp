#include "tbgen/verify.h"
#include <atomic>
#include <mutex>
#include "board/position.h"
#include "tablebase/nalimov_locate.h"
#include "tbgen/frame_moves.h"
#include "tbgen/generator.h"

namespace tbgen {

namespace {

using nalimov::TableValue;

class Checker {
 public:
  Checker(const nalimov::TableInfo& t, const TableFiles& files)
      : table_(t), files_(files), frame_(MaterialOfName(t.name)) {}

  // The value the files give a position of the frame (table colours).
  TableValue Stored(const Square* sq, Color stm, Square ep, uint64_t* index, Color* fileSide) const {
    nalimov::Army army[2] = {nalimov::Army(sq[0]), nalimov::Army(sq[1])};
    for (int m = 2; m < frame_.men; ++m)
      army[frame_.man[m].colour].Add(nalimov::ManKind(frame_.man[m].kind), sq[m]);
    const auto entry = nalimov::LocateEntry(army[White], army[Black], stm, ep);
    if (!entry) return TableValue::Draw();
    if (index) *index = entry->index;
    if (fileSide) *fileSide = entry->fileSide;
    return files_.Read(*entry);
  }

  // The value after a move, read from whichever table holds it.
  template <Color Us> TableValue After(const Square* sq, const FrameMove& m, const FrameBoard& b) const {
    constexpr Color Them = Opponent(Us);
    nalimov::Army army[2] = {nalimov::Army(sq[0]), nalimov::Army(sq[1])};
    ArmiesAfter(frame_, sq, m, army);
    Square ep = nalimov::NoEnPassant;
    if (m.doublePush && (RankNeighbours[m.to] & b.kind[Them][PawnKind])) ep = (m.from + m.to) / 2;
    const auto entry = nalimov::LocateEntry(army[White], army[Black], Them, ep);
    return entry ? files_.Read(*entry) : TableValue::Draw();
  }

  template <Color Us> TableValue EnPassantAfter(const Square* sq, Square from, Square moved) const {
    nalimov::Army army[2] = {nalimov::Army(sq[0]), nalimov::Army(sq[1])};
    for (int k = 2; k < frame_.men; ++k) {
      if (sq[k] == moved) continue;
      army[frame_.man[k].colour].Add(nalimov::ManKind(frame_.man[k].kind),
                                     sq[k] == from ? moved + PawnStep<Us>() : sq[k]);
    }
    const auto entry = nalimov::LocateEntry(army[White], army[Black], Opponent(Us), nalimov::NoEnPassant);
    return entry ? files_.Read(*entry) : TableValue::Draw();
  }

  // Best over the moves, en-passant captures of the pawn on `epMoved` included when given.
  template <Color Us>
  TableValue Best(const Square* sq, const FrameBoard& b, Square epMoved, bool* unknown) const {
    constexpr Color Them = Opponent(Us);
    TableValue best = TableValue::Unknown();
    int moves = 0;
    auto consider = [&](TableValue next) {
      ++moves;
      if (next.outcome == nalimov::Outcome::Unknown) *unknown = true;
      const TableValue v = next.Before();
      if (v.Goodness() > best.Goodness()) best = v;
    };
    ForEachLegalMove<Us>(frame_, b, sq, [&](const FrameMove& m) {
      consider(After<Us>(sq, m, b));
      return true;
    });
    if (epMoved != nalimov::NoEnPassant) {
      for (Bitboard c = RankNeighbours[epMoved] & b.kind[Us][PawnKind]; c;) {
        const Square from = PopLowest(c), target = epMoved + PawnStep<Us>();
        Bitboard k[6];
        for (int i = 0; i < 6; ++i) k[i] = b.kind[Them][i];
        k[PawnKind] ^= SquareBit(epMoved);
        if (Attacked<Them>(k, sq[KingMan(Us)],
                           b.occupied ^ SquareBit(from) ^ SquareBit(target) ^ SquareBit(epMoved)))
          continue;
        consider(EnPassantAfter<Us>(sq, from, epMoved));
      }
    }
    if (!moves) return InCheck<Us>(b, sq) ? TableValue::MatedIn(0) : TableValue::Draw();
    return best;
  }

  const nalimov::TableInfo& table_;
  const TableFiles& files_;
  Frame frame_;
};

std::string Describe(const Frame& f, const Square* sq, Color stm, TableValue stored, TableValue expected) {
  std::string text = stm == White ? "wtm" : "btm";
  for (int m = 0; m < f.men; ++m) {
    text += ' ';
    text += "PNBRQK"[f.man[m].kind];
    if (f.man[m].colour == Black) text.back() = char(text.back() + 32);
    text += char('a' + FileOf(sq[m]));
    text += char('1' + RankOf(sq[m]));
  }
  return text + ": file holds " + stored.Text() + ", moves give " + expected.Text();
}

}  // namespace

VerifyReport VerifyTable(const nalimov::TableInfo& table, const TableFiles& files, int threads,
                         Progress& progress) {
  Checker checker(table, files);
  const Frame& f = checker.frame_;
  VerifyReport report;
  std::mutex lock;
  std::atomic<uint64_t> positions{0}, wrong{0};
  // Entries reached by legal positions, per file side.
  std::vector<std::atomic<uint64_t>> reached[2];
  for (Color side : {White, Black})
    reached[side] = std::vector<std::atomic<uint64_t>>((table.entries[side] + 63) / 64);
  auto reach = [&](Color side, uint64_t index) {
    if (index < table.entries[side]) reached[side][index >> 6].fetch_or(uint64_t(1) << (index & 63));
  };
  auto fault = [&](const std::string& text) {
    ++wrong;
    std::lock_guard<std::mutex> hold(lock);
    if (report.examples.size() < 10) report.examples.push_back(text);
  };

  for (Color stm : {White, Black}) {
    progress.Run(
        stm == White ? "verify wtm" : "verify btm", f.size, threads, [&](uint64_t begin, uint64_t end) {
          uint64_t count = 0;
          for (uint64_t i = begin; i < end; ++i) {
            if (!f.Holds(i)) continue;
            Square sq[MaxFrameMen];
            f.Decode(i, sq);
            const FrameBoard b(f, sq);
            if (stm == White ? OpponentInCheck<White>(b, sq) : OpponentInCheck<Black>(b, sq)) continue;
            uint64_t index = 0;
            Color fileSide = stm;
            auto check = [&](const Square* at) {
              ++count;
              const FrameBoard board(f, at);
              const TableValue stored = checker.Stored(at, stm, nalimov::NoEnPassant, &index, &fileSide);
              reach(fileSide, index);
              bool unknown = false;
              const TableValue expected =
                  stm == White ? checker.Best<White>(at, board, nalimov::NoEnPassant, &unknown)
                               : checker.Best<Black>(at, board, nalimov::NoEnPassant, &unknown);
              if (unknown || !(stored == expected)) fault(Describe(f, at, stm, stored, expected));
            };
            check(sq);
            Square twin[MaxFrameMen];
            if (f.DiagonalTwin(sq, twin)) check(twin);
            if (!f.enPassant) continue;
            // The same position just after a double step of the side not to move.
            const Color them = Opponent(stm);
            for (int m = 2; m < f.men; ++m) {
              if (f.man[m].colour != them || f.man[m].kind != PawnKind) continue;
              const Square moved = sq[m];
              if (RankOf(moved) != (them == White ? 3 : 4)) continue;
              const Square crossed = them == White ? moved - 8 : moved + 8,
                           start = them == White ? moved - 16 : moved + 16;
              if ((b.occupied & (SquareBit(crossed) | SquareBit(start))) ||
                  !(RankNeighbours[moved] & b.kind[stm][PawnKind]))
                continue;
              Bitboard k[6];
              for (int j = 0; j < 6; ++j) k[j] = b.kind[them][j];
              k[PawnKind] ^= SquareBit(moved) | SquareBit(start);
              const Bitboard before = b.occupied ^ SquareBit(moved) ^ SquareBit(start);
              if (them == White ? Attacked<White>(k, sq[KingMan(stm)], before)
                                : Attacked<Black>(k, sq[KingMan(stm)], before))
                continue;
              ++count;
              const TableValue epStored = checker.Stored(sq, stm, crossed, &index, &fileSide);
              reach(fileSide, index);
              bool epUnknown = false;
              const TableValue epExpected = stm == White ? checker.Best<White>(sq, b, moved, &epUnknown)
                                                         : checker.Best<Black>(sq, b, moved, &epUnknown);
              if (epUnknown || !(epStored == epExpected))
                fault("en passant " + Describe(f, sq, stm, epStored, epExpected));
            }
          }
          positions += count;
        });
  }
  // Entries no legal position reaches must be broken.
  uint64_t stray = 0;
  for (Color side : {White, Black}) {
    if (side == Black && table.symmetric) break;
    for (uint64_t i = 0; i < table.entries[side]; ++i) {
      if ((reached[side][i >> 6].load() >> (i & 63)) & 1) continue;
      if (nalimov::IsDeepEntry(table.number, side, i)) continue;
      if (files.Read(table, side, i).outcome != nalimov::Outcome::Unknown) {
        if (++stray <= 3)
          report.examples.push_back(std::string(side == White ? "wtm" : "btm") + " entry " +
                                    std::to_string(i) + " holds a value but no legal position");
      }
    }
  }
  report.positions = positions;
  report.wrong = wrong;
  report.strayEntries = stray;
  return report;
}

}  // namespace tbgen
