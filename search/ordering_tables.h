// Learned move ordering, per colour: history of quiet moves, counter moves
// (the reply that refuted a move) and evasions that worked.
#pragma once
#include <cstdint>

struct OrderingTables {
  uint16_t history[2][2048];       // (move bits 0-9) + 1024 * "eval far below the bound"
  uint16_t counterMoves[2][512][2];
  uint16_t evasions[2][512][2];
};

// Weight of a history update by remaining depth (half plies).
constexpr int HistoryWeight(int depth) {
  constexpr int table[24] = {0, 14, 14, 14, 30, 38, 48, 56, 66, 76, 86, 96, 106, 116, 126, 136, 146, 156, 164, 172, 180, 188, 196, 204};
  return depth < 0 ? 0 : depth < 24 ? table[depth] : 212;
}
