// Root results that the processes of a group publish to each other: each
// process's current and best root move in its slot, and the header results
// of processes 0 and 3. Every field has one writer; readers poll.
#pragma once
#include <atomic>
#include <cstdint>

// The child that searches two lines and publishes both in the header, so
// that the parent can compare its choice with the best alternative; it
// orders quiet moves as the parent does (the other children randomly).
constexpr int SecondLineProcess = 3;

struct ProcessSlot {
  uint64_t currentMove;   // root move being searched now; 0 when none
  uint64_t bestMove;      // best move of the current iteration
  int64_t score;
  int64_t depth;          // iteration depth (internal units) of that result
};

struct RootExchange {
  int64_t bestScore0;     // process 0's published result
  uint64_t bestMove0;
  int64_t depth0;
  int64_t bestScore3;     // process 3's best line and second line
  uint64_t bestMove3;
  int64_t depth3;
  int64_t secondScore3;
  uint64_t secondMove3;
  int64_t secondDepth3;
  uint8_t unused[56];
  ProcessSlot slots[2048];
};
static_assert(sizeof(RootExchange) == 65664);

// Other processes read a field while its owner writes it: every access is
// one atomic access of the whole field (a record may still mix two updates;
// readers only compare moves and scores).
template <class T> inline void Publish(T& field, T value) {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}
template <class T> inline T Peek(const T& field) {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}
inline void ClearSlot(ProcessSlot& slot) {
  Publish(slot.currentMove, uint64_t(0));
  Publish(slot.bestMove, uint64_t(0));
  Publish(slot.score, int64_t(0));
  Publish(slot.depth, int64_t(0));
}
