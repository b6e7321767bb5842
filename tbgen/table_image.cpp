#include "tbgen/table_image.h"
#include <atomic>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include "board/position.h"
#include "tablebase/nalimov_locate.h"

namespace tbgen {

namespace {

// Armies of a frame position in the table's colours.
void ArmiesOf(const Frame& f, const Square* sq, nalimov::Army* army) {
  army[White] = nalimov::Army(sq[0]);
  army[Black] = nalimov::Army(sq[1]);
  for (int m = 2; m < f.men; ++m) army[f.man[m].colour].Add(nalimov::ManKind(f.man[m].kind), sq[m]);
}

class ImageWriter {
 public:
  ImageWriter(TableImage& image, Color side, std::atomic<uint64_t>& deep)
      : image_(image), side_(side), wide_(image.table->bits == 16), deep_(deep) {}
  // Stores the value at its entry; two positions on one entry is an error.
  void Store(uint64_t index, nalimov::TableValue v) {
    const nalimov::TableInfo& t = *image_.table;
    if (index >= t.entries[side_])
      throw std::logic_error(std::string(t.name) + ": entry " + std::to_string(index) +
                             " past the end of the file");
    bool deep = false;
    uint16_t stored;
    if (wide_) {
      deep = !nalimov::FitsWord(v);
      stored = uint16_t(deep ? nalimov::ToWord(nalimov::TableValue::MatedIn(nalimov::WordMaxMated))
                             : nalimov::ToWord(v));
    } else {
      deep = !nalimov::FitsByte(v);
      stored = uint8_t(deep ? nalimov::ToByte(nalimov::TableValue::MatedIn(nalimov::ByteMaxMated))
                            : nalimov::ToByte(v));
    }
    if (deep) ++deep_;
    uint8_t* data = image_.file[side_]->bytes();
    uint16_t previous;
    if (wide_) {
      std::atomic_ref<uint16_t> cell(reinterpret_cast<uint16_t*>(data)[index]);
      previous = cell.exchange(stored, std::memory_order_relaxed);
      if (previous != uint16_t(nalimov::BrokenWord) && previous != stored) Clash(index);
    } else {
      std::atomic_ref<uint8_t> cell(data[index]);
      previous = cell.exchange(uint8_t(stored), std::memory_order_relaxed);
      if (previous != uint8_t(nalimov::BrokenByte) && previous != stored) Clash(index);
    }
  }

 private:
  [[noreturn]] void Clash(uint64_t index) const {
    throw std::logic_error(std::string(image_.table->name) + ": two values for entry " +
                           std::to_string(index));
  }
  TableImage& image_;
  Color side_;
  bool wide_;
  std::atomic<uint64_t>& deep_;
};

}  // namespace

uint64_t ImageMemory(const nalimov::TableInfo& t) {
  return (t.entries[White] + (t.symmetric ? 0 : t.entries[Black])) * uint64_t(t.bits / 8);
}

TableImage BuildImage(const Generator& g, int threads, Progress& progress) {
  const nalimov::TableInfo& t = g.table();
  const Frame& f = g.frame();
  TableImage image;
  image.table = &t;
  std::mutex lock;
  std::atomic<uint64_t> positions{0}, deep{0};
  for (Color side : {White, Black}) {
    if (side == Black && t.symmetric) break;
    image.bytes[side] = t.entries[side] * uint64_t(t.bits / 8);
    image.file[side] = std::make_unique<Block>(image.bytes[side]);
    uint8_t* data = image.file[side]->bytes();
    if (t.bits == 8) {
      std::memset(data, uint8_t(nalimov::BrokenByte), image.bytes[side]);
    } else {
      for (uint64_t i = 0; i < t.entries[side]; ++i) {
        data[2 * i] = uint8_t(nalimov::BrokenWord & 0xFF);
        data[2 * i + 1] = uint8_t(nalimov::BrokenWord >> 8);
      }
    }
    const nalimov::IndexLayout& layout = nalimov::Layout(t.number, side);
    ImageWriter writer(image, side, deep);
    progress.Run(
        side == White ? "writing wtm" : "writing btm", f.size, threads, [&](uint64_t begin, uint64_t end) {
          LongestWin longest;
          uint64_t count = 0;
          for (uint64_t i = begin; i < end; ++i) {
            if (!g.Legal(side, i)) continue;
            Square sq[MaxFrameMen];
            f.Decode(i, sq);
            nalimov::Army army[2] = {nalimov::Army(0), nalimov::Army(0)};
            ArmiesOf(f, sq, army);
            const nalimov::TableValue v = g.Value(side, i);
            writer.Store(layout.Index(army[White].slots, army[Black].slots, nalimov::NoEnPassant, false), v);
            ++count;
            Square twin[MaxFrameMen];
            if (f.DiagonalTwin(sq, twin)) {
              ArmiesOf(f, twin, army);
              writer.Store(layout.Index(army[White].slots, army[Black].slots, nalimov::NoEnPassant, false),
                           v);
              ++count;
            }
            if (v.outcome == nalimov::Outcome::Win && v.moves > longest.moves) {
              longest.moves = v.moves;
              longest.fen = FenOf(f, sq, side, nalimov::NoEnPassant);
            }
          }
          positions += count;
          std::lock_guard<std::mutex> hold(lock);
          if (longest.moves > image.longest[side].moves) image.longest[side] = longest;
        });
    // Positions just after a double step with an en-passant capture at hand.
    for (const EnPassantEntry& e : g.EnPassantEntries(side)) {
      Square sq[MaxFrameMen];
      f.Decode(e.key >> 3, sq);
      nalimov::Army army[2] = {nalimov::Army(0), nalimov::Army(0)};
      ArmiesOf(f, sq, army);
      const Square ep = MakeSquare(int(e.key & 7), side == White ? 5 : 2);
      const uint64_t index = layout.Index(army[White].slots, army[Black].slots, ep, false);
      if (index < layout.ordinarySize)
        throw std::logic_error(FenOf(f, sq, side, ep) + ": not numbered in the en-passant section");
      writer.Store(index, g.EnPassantValue(side, e));
      ++positions;
    }
  }
  image.positions = positions;
  image.deepEntries = deep;
  return image;
}

}  // namespace tbgen
