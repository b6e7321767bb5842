// Learned move ordering, per colour: history of quiet moves, counter moves
// (the reply that refuted a move) and evasions that worked.
#pragma once
#include <cstdint>
#include "board/movegen.h"

// History is kept apart for nodes whose evaluation lies far below the
// bound: there other quiet moves are the good ones.
enum class HistoryKind : int { Normal = 0, FarBelow = 1 };
constexpr int HistoryEntries = 1024;   // by bits 0-9 of the move (origin's low bits and destination)

struct OrderingTables {
  uint16_t history[2][2 * HistoryEntries];   // [colour][kind * HistoryEntries + HistoryIndex]
  uint16_t counterMoves[2][512][2];
  uint16_t evasions[2][512][2];
};

inline uint16_t& HistoryOf(OrderingTables& t, Color c, HistoryKind kind, Move m) {
  return t.history[c][HistoryIndex(m) + HistoryEntries * int(kind)];
}

// A good quiet move's history moves towards MaxHistory, a bad one's towards
// 0, by HistoryWeight(depth) / HistoryWeightScale of the distance.
constexpr int MaxHistory = 32765;
constexpr int HistoryWeightScale = 4096;
// Weight of a history update by remaining depth (half plies).
constexpr int HistoryWeight(int depth) {
  constexpr int table[24] = {0,   14,  14,  14,  30,  38,  48,  56,  66,  76,  86,  96,
                             106, 116, 126, 136, 146, 156, 164, 172, 180, 188, 196, 204};
  return depth < 0 ? 0 : depth < 24 ? table[depth] : 212;
}
