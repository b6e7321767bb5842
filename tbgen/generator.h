// Retrograde analysis of one endgame in the generator's frame.
//
// Every position holds a byte: before it is resolved, the best value its
// captures and promotions reach (read from the finished smaller tables);
// once resolved, its distance to mate in plies (odd: the side to move wins,
// even: it loses). Stage d resolves the positions at distance d: wins from
// the unmoves of the losses of stage d - 1, losses by checking every move of
// the unmove predecessors of the wins of stage d - 1; a capture or promotion
// whose value is distance d triggers its position at stage d as well. What
// is never resolved is a draw. Positions just after a double step that can
// be taken en passant are kept aside, with the best value of their en-passant
// captures.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>
#include "tablebase/nalimov_value.h"
#include "tbgen/frame_moves.h"
#include "tbgen/progress.h"
#include "tbgen/table_files.h"

namespace tbgen {

// Zeroed memory straight from the system, returned to it on destruction.
class Block {
 public:
  explicit Block(uint64_t bytes);
  ~Block();
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  uint8_t* bytes() const { return data_; }
  uint64_t* words() const { return reinterpret_cast<uint64_t*>(data_); }

 private:
  uint8_t* data_;
  uint64_t size_;
};

// A position just after a double step, with the side to move able to take en passant.
struct EnPassantEntry {
  uint64_t key;        // frame index << 3 | file of the pawn that moved (after the frame's mirror)
  uint8_t exitCode;    // best value of the en-passant captures (code, see generator.cpp)
};

class Generator {
 public:
  Generator(const nalimov::TableInfo& table, const TableFiles& smaller, int threads, Progress& progress);
  ~Generator();
  // Memory the generator needs for a table, in bytes.
  static uint64_t MemoryNeeded(const nalimov::TableInfo& table);
  void Run();

  const Frame& frame() const { return frame_; }
  const nalimov::TableInfo& table() const { return table_; }
  // After Run: does the index hold a legal position with this side to move?
  bool Legal(Color stm, uint64_t index) const;
  nalimov::TableValue Value(Color stm, uint64_t index) const;
  const std::vector<EnPassantEntry>& EnPassantEntries(Color stm) const { return enPassant_[stm]; }
  nalimov::TableValue EnPassantValue(Color stm, const EnPassantEntry& e) const;
  int LongestStage() const { return longest_; }

 private:
  struct Status {
    bool known;
    int distance;   // -1: draw
  };
  template <Color Us> void Initialise(uint64_t begin, uint64_t end, std::vector<EnPassantEntry>& ep);
  template <Color Us> uint8_t ExitCode(const Square* sq, const FrameMove& m) const;
  template <Color Us> uint8_t EnPassantExit(const Square* sq, const FrameBoard& b, Square moved) const;
  template <Color Us> void Sources(uint64_t begin, uint64_t end, int d);
  template <Color Us> void EnPassantSources(uint64_t begin, uint64_t end, int d);
  template <Color Us> void Verify(uint64_t begin, uint64_t end, int d);
  template <Color Us> bool AllMovesLose(uint64_t index, int d) const;
  template <Color Us> uint64_t SuccessorIndex(uint64_t index, const Square* sq, const FrameMove& m) const;
  uint64_t CountResolved() const;
  void Mark(Color side, uint64_t index, int d);
  Status EnPassantStatus(Color stm, const EnPassantEntry& e) const;
  const EnPassantEntry* FindEnPassant(Color stm, uint64_t key) const;

  bool Resolved(Color side, uint64_t index) const;
  uint8_t Code(Color side, uint64_t index) const;
  void Resolve(Color side, uint64_t index, uint8_t code);

  const nalimov::TableInfo& table_;
  const TableFiles& smaller_;
  Frame frame_;
  int threads_;
  Progress& progress_;
  std::unique_ptr<Block> code_[2], resolved_[2], candidate_[2];
  std::vector<EnPassantEntry> enPassant_[2];
  std::atomic<int> deepestExit_{0};
  int longest_ = 0;
};

}  // namespace tbgen
