#include "tbgen/generator.h"
#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>
#include <new>
#include <stdexcept>
#include "board/position.h"
#include "platform/memory.h"
#include "tablebase/nalimov_locate.h"
#include "tbgen/frame_moves.h"

namespace tbgen {

namespace {

// The byte of a position. Unresolved: the best value of its captures and
// promotions (NoCode: none). Resolved: 1 + distance in plies; DrawCode for
// stalemates and indices that hold no legal position; NoCode for the one
// distance one past the byte (254 plies, mated in 127).
constexpr uint8_t NoCode = 0, DrawCode = 255;
constexpr int DeepDistance = 254;
constexpr int NoDistance = -2, DrawDistance = -1;

int DistanceOf(uint8_t code, bool resolved) {
  if (code == DrawCode) return DrawDistance;
  if (code == NoCode) return resolved ? DeepDistance : NoDistance;
  return code - 1;
}

uint8_t CodeOfDistance(int d) {
  if (d <= 253) return uint8_t(d + 1);
  if (d == DeepDistance) return NoCode;
  throw std::runtime_error("a mate deeper than the table format holds (" + std::to_string(d) + " plies)");
}

// Wins first (faster better), then draws, then losses (slower better).
int Goodness(uint8_t code) {
  if (code == NoCode) return INT_MIN;
  if (code == DrawCode) return 0;
  const int d = code - 1;
  return d & 1 ? 1000 - d : -1000 + d;
}

inline bool Bit(const uint64_t* words, uint64_t i) {
  return (std::atomic_ref<const uint64_t>(words[i >> 6]).load(std::memory_order_relaxed) >> (i & 63)) & 1;
}
inline bool SetBit(uint64_t* words, uint64_t i) {
  const uint64_t mask = uint64_t(1) << (i & 63);
  std::atomic_ref<uint64_t> word(words[i >> 6]);
  if (word.load(std::memory_order_relaxed) & mask) return false;
  return !(word.fetch_or(mask, std::memory_order_relaxed) & mask);
}

constexpr uint64_t Broadcast(uint8_t byte) { return 0x0101010101010101ULL * byte; }
constexpr bool HasZeroByte(uint64_t x) {
  return ((x - 0x0101010101010101ULL) & ~x & 0x8080808080808080ULL) != 0;
}

// The value of a capture or promotion, from the value of the position it leads to.
uint8_t CodeOfSuccessor(nalimov::TableValue next) {
  const nalimov::TableValue v = next.Before();
  if (v.outcome == nalimov::Outcome::Draw) return DrawCode;
  return CodeOfDistance(v.Plies());
}

}  // namespace

Block::Block(uint64_t bytes) : size_(std::max<uint64_t>(bytes, 64)) {
  void* p = platform::AllocatePages(size_);
  if (!p) throw std::bad_alloc();
  data_ = static_cast<uint8_t*>(p);
}
Block::~Block() { platform::FreePages(data_, size_); }

Generator::Generator(const nalimov::TableInfo& table, const TableFiles& smaller, int threads,
                     Progress& progress)
    : table_(table),
      smaller_(smaller),
      frame_(MaterialOfName(table.name)),
      threads_(threads),
      progress_(progress) {}
Generator::~Generator() = default;

uint64_t Generator::MemoryNeeded(const nalimov::TableInfo& table) {
  const Frame f(MaterialOfName(table.name));
  const uint64_t words = (f.size + 63) / 64;
  return 2 * (f.size + 2 * 8 * words) + (f.enPassant ? f.size / 8 : 0);
}

bool Generator::Resolved(Color side, uint64_t i) const { return Bit(resolved_[side]->words(), i); }
uint8_t Generator::Code(Color side, uint64_t i) const {
  return std::atomic_ref<uint8_t>(code_[side]->bytes()[i]).load(std::memory_order_relaxed);
}
void Generator::Resolve(Color side, uint64_t i, uint8_t code) {
  std::atomic_ref<uint8_t>(code_[side]->bytes()[i]).store(code, std::memory_order_relaxed);
  SetBit(resolved_[side]->words(), i);
}

// ---------------------------------------------------------------------------
// Set-up: legality, mates and stalemates, and the values of the moves that
// leave the table.

template <Color Us>
uint8_t Generator::ExitCode(const Square* sq, const FrameMove& m) const {
  nalimov::Army army[2] = {nalimov::Army(sq[0]), nalimov::Army(sq[1])};
  ArmiesAfter(frame_, sq, m, army);
  const auto entry = nalimov::LocateEntry(army[White], army[Black], Opponent(Us), nalimov::NoEnPassant);
  if (!entry) return DrawCode;   // bare kings
  const nalimov::TableValue v = smaller_.Read(*entry);
  if (v.outcome == nalimov::Outcome::Unknown)
    throw std::runtime_error(std::string("no value in ") + entry->FileName() + " entry " +
                             std::to_string(entry->index) + " for a position reached from " + table_.name);
  return CodeOfSuccessor(v);
}

// Best value of the legal en-passant captures of the pawn of Them that just
// moved to `moved` (NoCode when there is none).
template <Color Us>
uint8_t Generator::EnPassantExit(const Square* sq, const FrameBoard& b, Square moved) const {
  constexpr Color Them = Opponent(Us);
  const Square target = moved + PawnStep<Us>();
  const int victim = ManOn(frame_, sq, Them, moved);
  uint8_t best = NoCode;
  for (Bitboard capturers = RankNeighbours[moved] & b.kind[Us][PawnKind]; capturers;) {
    const Square from = PopLowest(capturers);
    const Bitboard occupied = b.occupied ^ SquareBit(from) ^ SquareBit(target) ^ SquareBit(moved);
    Bitboard k[6];
    for (int i = 0; i < 6; ++i) k[i] = b.kind[Them][i];
    k[PawnKind] ^= SquareBit(moved);
    if (Attacked<Them>(k, sq[KingMan(Us)], occupied)) continue;
    nalimov::Army army[2] = {nalimov::Army(sq[0]), nalimov::Army(sq[1])};
    for (int m = 2; m < frame_.men; ++m) {
      if (m == victim) continue;
      army[frame_.man[m].colour].Add(nalimov::ManKind(frame_.man[m].kind), sq[m] == from ? target : sq[m]);
    }
    const auto entry = nalimov::LocateEntry(army[White], army[Black], Them, nalimov::NoEnPassant);
    const nalimov::TableValue v = entry ? smaller_.Read(*entry) : nalimov::TableValue::Draw();
    if (v.outcome == nalimov::Outcome::Unknown)
      throw std::runtime_error(std::string("no value in ") + entry->FileName() + " entry " +
                               std::to_string(entry->index));
    const uint8_t code = CodeOfSuccessor(v);
    if (Goodness(code) > Goodness(best)) best = code;
  }
  return best;
}

template <Color Us>
void Generator::Initialise(uint64_t begin, uint64_t end, std::vector<EnPassantEntry>& ep) {
  constexpr Color Them = Opponent(Us);
  uint8_t* code = code_[Us]->bytes();
  uint64_t* resolved = resolved_[Us]->words();
  int deepest = 0;
  auto note = [&](uint8_t c) {
    if (c != NoCode && c != DrawCode) deepest = std::max(deepest, c - 1);
  };
  for (uint64_t i = begin; i < end; ++i) {
    Square sq[MaxFrameMen];
    frame_.Decode(i, sq);
    Bitboard seen = 0;
    bool holds = true;
    for (int m = 0; m < frame_.men; ++m) {
      holds &= !(seen & SquareBit(sq[m]));
      seen |= SquareBit(sq[m]);
    }
    if (holds) {
      Square canonical[MaxFrameMen];
      std::copy(sq, sq + frame_.men, canonical);
      holds = frame_.Encode(canonical) == i;
    }
    const FrameBoard b(frame_, sq);
    if (!holds || OpponentInCheck<Us>(b, sq)) {
      code[i] = DrawCode;
      resolved[i >> 6] |= uint64_t(1) << (i & 63);
      continue;
    }
    bool moves = false;
    uint8_t best = NoCode;
    ForEachLegalMove<Us, MoveSet::LeavingTable>(frame_, b, sq, [&](const FrameMove& m) {
      moves = true;
      const uint8_t c = ExitCode<Us>(sq, m);
      if (Goodness(c) > Goodness(best)) best = c;
      return true;
    });
    if (!moves)
      moves = !ForEachLegalMove<Us, MoveSet::StayingInTable>(frame_, b, sq,
                                                             [](const FrameMove&) { return false; });
    if (!moves) {
      code[i] = InCheck<Us>(b, sq) ? CodeOfDistance(0) : DrawCode;
      resolved[i >> 6] |= uint64_t(1) << (i & 63);
    } else {
      code[i] = best;
      note(best);
    }
    if (!frame_.enPassant) continue;
    // Had Them just made a double step, could Us take en passant?
    for (int m = 2; m < frame_.men; ++m) {
      if (frame_.man[m].colour != Them || frame_.man[m].kind != PawnKind || RelativeRank<Them>(sq[m]) != 3)
        continue;
      const Square moved = sq[m], crossed = moved - PawnStep<Them>(), start = crossed - PawnStep<Them>();
      if ((b.occupied & (SquareBit(crossed) | SquareBit(start))) ||
          !(RankNeighbours[moved] & b.kind[Us][PawnKind]))
        continue;
      Bitboard k[6];
      for (int j = 0; j < 6; ++j) k[j] = b.kind[Them][j];
      k[PawnKind] ^= SquareBit(moved) | SquareBit(start);
      if (Attacked<Them>(k, sq[KingMan(Us)], b.occupied ^ SquareBit(moved) ^ SquareBit(start)))
        continue;   // the position before the double step was not legal
      const uint8_t exit = EnPassantExit<Us>(sq, b, moved);
      note(exit);
      ep.push_back({i << 3 | uint64_t(FileOf(moved)), exit});
    }
  }
  int seenDeepest = deepestExit_.load();
  while (deepest > seenDeepest && !deepestExit_.compare_exchange_weak(seenDeepest, deepest)) {
  }
}

// ---------------------------------------------------------------------------
// Stages.

void Generator::Mark(Color side, uint64_t i, int d) {
  if (Resolved(side, i)) return;
  if (d & 1) Resolve(side, i, CodeOfDistance(d));
  else SetBit(candidate_[side]->words(), i);
}

template <Color Us>
uint64_t Generator::SuccessorIndex(uint64_t index, const Square* sq, const FrameMove& m) const {
  if (frame_.CanMoveFast(m.man, sq))
    return index + (frame_.Field(m.man, m.to) - frame_.Field(m.man, m.from)) * frame_.weight[m.man];
  Square next[MaxFrameMen];
  std::copy(sq, sq + frame_.men, next);
  next[m.man] = m.to;
  return frame_.Encode(next);
}

// Positions of Us to move at distance d - 1 pass the stage on to their
// predecessors (Them to move); positions whose captures or promotions reach
// distance d are marked themselves.
template <Color Us>
void Generator::Sources(uint64_t begin, uint64_t end, int d) {
  constexpr Color Them = Opponent(Us);
  const uint8_t* code = code_[Us]->bytes();
  const uint64_t* resolved = resolved_[Us]->words();
  const uint8_t sourceCode = CodeOfDistance(d - 1);
  const int triggerCode = d <= 253 ? d + 1 : -1;
  // Eight codes at a time: most groups hold neither code.
  const uint64_t sourceBytes = Broadcast(sourceCode),
                 triggerBytes = triggerCode < 0 ? 0 : Broadcast(uint8_t(triggerCode));
  for (uint64_t i = begin; i < end; ++i) {
    if ((i & 7) == 0) {
      const uint64_t eight = std::atomic_ref<const uint64_t>(*reinterpret_cast<const uint64_t*>(code + i))
                                 .load(std::memory_order_relaxed);
      if (!HasZeroByte(eight ^ sourceBytes) && (triggerCode < 0 || !HasZeroByte(eight ^ triggerBytes))) {
        i += 7;
        continue;
      }
    }
    const uint8_t c = std::atomic_ref<const uint8_t>(code[i]).load(std::memory_order_relaxed);
    if (!Bit(resolved, i)) {
      if (c == triggerCode) Mark(Us, i, d);
      continue;
    }
    if (c != sourceCode) continue;
    Square sq[MaxFrameMen];
    frame_.Decode(i, sq);
    const FrameBoard b(frame_, sq);
    ForEachUnmove<Them>(frame_, b, sq, [&](int m, Square from, Square to, bool doublePush) {
      // A double step next to a pawn of Us leads to the en-passant position instead.
      if (doublePush && (RankNeighbours[to] & b.kind[Us][PawnKind])) return;
      uint64_t p;
      if (frame_.CanMoveFast(m, sq)) {
        p = i + (frame_.Field(m, from) - frame_.Field(m, to)) * frame_.weight[m];
      } else {
        Square before[MaxFrameMen];
        std::copy(sq, sq + frame_.men, before);
        before[m] = from;
        p = frame_.Encode(before);
      }
      Mark(Them, p, d);
    });
  }
}

Generator::Status Generator::EnPassantStatus(Color stm, const EnPassantEntry& e) const {
  const uint64_t s = e.key >> 3;
  const bool known = Resolved(stm, s);
  const uint8_t c = Code(stm, s);
  const int ds = known ? DistanceOf(c, true) : NoDistance;
  const int de = DistanceOf(e.exitCode, false);
  int win = INT_MAX;
  if (ds >= 0 && (ds & 1)) win = ds;
  if (de >= 0 && (de & 1)) win = std::min(win, de);
  if (win != INT_MAX) return {true, win};
  if (de == DrawDistance) return {true, DrawDistance};
  if (known && c == DrawCode)
    return {true, de == NoDistance ? DrawDistance : de};  // stalemate but for en passant
  if (ds >= 0) return {true, de == NoDistance ? ds : std::max(ds, de)};
  return {false, NoDistance};
}

const EnPassantEntry* Generator::FindEnPassant(Color stm, uint64_t key) const {
  const auto& list = enPassant_[stm];
  auto it = std::lower_bound(list.begin(), list.end(), key,
                             [](const EnPassantEntry& e, uint64_t k) { return e.key < k; });
  return it != list.end() && it->key == key ? &*it : nullptr;
}

template <Color Us>
void Generator::EnPassantSources(uint64_t begin, uint64_t end, int d) {
  constexpr Color Them = Opponent(Us);
  for (uint64_t n = begin; n < end; ++n) {
    const EnPassantEntry& e = enPassant_[Us][n];
    const Status st = EnPassantStatus(Us, e);
    if (!st.known || st.distance != d - 1) continue;
    Square sq[MaxFrameMen];
    frame_.Decode(e.key >> 3, sq);
    const Square moved = MakeSquare(int(e.key & 7), Them == White ? 3 : 4);
    const int m = ManOn(frame_, sq, Them, moved);
    sq[m] = moved - 2 * PawnStep<Them>();
    Mark(Them, frame_.Encode(sq), d);
  }
}

// Does every move of this position (Us to move) lose, none slower than d - 1?
template <Color Us>
bool Generator::AllMovesLose(uint64_t index, int d) const {
  constexpr Color Them = Opponent(Us);
  const uint8_t t = Code(Us, index);
  if (t == DrawCode) return false;
  if (t != NoCode && (((t - 1) & 1) || t - 1 > d)) return false;
  Square sq[MaxFrameMen];
  frame_.Decode(index, sq);
  const FrameBoard b(frame_, sq);
  return ForEachLegalMove<Us, MoveSet::StayingInTable>(frame_, b, sq, [&](const FrameMove& m) {
    if (m.doublePush && (RankNeighbours[m.to] & b.kind[Them][PawnKind])) {
      Square next[MaxFrameMen];
      std::copy(sq, sq + frame_.men, next);
      next[m.man] = m.to;
      int mirror = 0;
      const uint64_t s = frame_.Encode(next, &mirror);
      const EnPassantEntry* e = FindEnPassant(Them, s << 3 | uint64_t(FileOf(m.to) ^ mirror));
      if (!e) throw std::logic_error("en-passant position missing");
      const Status st = EnPassantStatus(Them, *e);
      return st.known && st.distance >= 0 && (st.distance & 1) && st.distance < d;
    }
    const uint64_t s = SuccessorIndex<Us>(index, sq, m);
    if (!Resolved(Them, s)) return false;
    const int ds = DistanceOf(Code(Them, s), true);
    return ds >= 0 && (ds & 1);
  });
}

template <Color Us>
void Generator::Verify(uint64_t begin, uint64_t end, int d) {
  uint64_t* candidate = candidate_[Us]->words();
  for (uint64_t w = begin >> 6; w < (end + 63) >> 6; ++w) {
    uint64_t bits = candidate[w];
    if (!bits) continue;
    candidate[w] = 0;
    while (bits) {
      const uint64_t i = (w << 6) + uint64_t(PopLowest(bits));
      if (Resolved(Us, i) || !AllMovesLose<Us>(i, d)) continue;
      Resolve(Us, i, CodeOfDistance(d));
    }
  }
}

void Generator::Run() {
  progress_.SetTable(table_.name);
  const uint64_t n = frame_.size, words = (n + 63) / 64;
  for (Color c : {White, Black}) {
    code_[c] = std::make_unique<Block>(words * 64);
    resolved_[c] = std::make_unique<Block>(words * 8);
    candidate_[c] = std::make_unique<Block>(words * 8);
  }
  std::mutex epLock;
  std::atomic<uint64_t> chunks{0};
  for (Color c : {White, Black}) {
    progress_.Run(c == White ? "set-up, wtm" : "set-up, btm", n, threads_, [&](uint64_t b, uint64_t e) {
      std::vector<EnPassantEntry> ep;
      if (c == White) Initialise<White>(b, e, ep);
      else Initialise<Black>(b, e, ep);
      // The smaller tables' pages read so far leave the process (not the
      // page cache) now and then, so that they do not add up in its memory.
      if (++chunks % 1024 == 0) smaller_.DropPages();
      std::lock_guard<std::mutex> hold(epLock);
      enPassant_[c].insert(enPassant_[c].end(), ep.begin(), ep.end());
    });
    std::sort(enPassant_[c].begin(), enPassant_[c].end(),
              [](const EnPassantEntry& a, const EnPassantEntry& b) { return a.key < b.key; });
  }
  smaller_.DropPages();

  // The run ends with the first stage that resolves nothing once no capture
  // or promotion can trigger a later one.
  for (int d = 1;; ++d) {
    const uint64_t before = CountResolved();
    const std::string stage = "stage " + std::to_string(d);
    for (Color c : {White, Black}) {
      progress_.Run(stage + (c == White ? " wtm" : " btm"), n, threads_, [&](uint64_t b, uint64_t e) {
        if (c == White) Sources<White>(b, e, d);
        else Sources<Black>(b, e, d);
      });
      if (!enPassant_[c].empty())
        progress_.Run(stage + " e.p.", enPassant_[c].size(), threads_, [&](uint64_t b, uint64_t e) {
          if (c == White) EnPassantSources<White>(b, e, d);
          else EnPassantSources<Black>(b, e, d);
        });
    }
    if (!(d & 1))
      for (Color c : {White, Black})
        progress_.Run(stage + (c == White ? " check wtm" : " check btm"), n, threads_,
                      [&](uint64_t b, uint64_t e) {
                        if (c == White) Verify<White>(b, e, d);
                        else
                          Verify<Black>(b, e, d);
                      });
    const bool any = CountResolved() != before;
    if (any) longest_ = d;
    if (!any && d > deepestExit_) break;
  }
  for (Color c : {White, Black}) candidate_[c].reset();
}

uint64_t Generator::CountResolved() const {
  uint64_t total = 0;
  const uint64_t words = (frame_.size + 63) / 64;
  for (Color c : {White, Black}) {
    const uint64_t* r = resolved_[c]->words();
    for (uint64_t w = 0; w < words; ++w) total += uint64_t(PopCount(r[w]));
  }
  return total;
}

bool Generator::Legal(Color stm, uint64_t index) const {
  if (!frame_.Holds(index)) return false;
  Square sq[MaxFrameMen];
  frame_.Decode(index, sq);
  const FrameBoard b(frame_, sq);
  return stm == White ? !OpponentInCheck<White>(b, sq) : !OpponentInCheck<Black>(b, sq);
}

nalimov::TableValue Generator::Value(Color stm, uint64_t index) const {
  const bool known = Resolved(stm, index);
  const int d = DistanceOf(Code(stm, index), known);
  if (!known || d < 0) return nalimov::TableValue::Draw();
  return nalimov::TableValue::FromPlies(d);
}

nalimov::TableValue Generator::EnPassantValue(Color stm, const EnPassantEntry& e) const {
  const Status st = EnPassantStatus(stm, e);
  if (!st.known || st.distance < 0) return nalimov::TableValue::Draw();
  return nalimov::TableValue::FromPlies(st.distance);
}

}  // namespace tbgen
