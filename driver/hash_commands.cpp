// "probe <position>" and "write <score> <position>": look at and plant
// transposition-table entries by hand, for analysis tools and debugging.
// Both work on a position of their own; the game position is not touched.
#include <cstdlib>
#include <string>
#include "board/movegen.h"
#include "board/notation.h"
#include "common/output.h"
#include "driver/engine.h"
#include "search/hash_table.h"

namespace {
// The text after the keyword, without the line end a front end may leave.
std::string PositionTextOf(const std::string& text) {
  std::string s = text;
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

int CountMoveTokens(const std::string& text) {
  const size_t movesAt = text.find("moves");
  if (movesAt == std::string::npos) return 0;
  int count = 0;
  size_t i = movesAt + 5;
  while (i < text.size()) {
    i = text.find_first_not_of(" \t", i);
    if (i == std::string::npos) break;
    ++count;
    i = text.find_first_of(" \t", i);
  }
  return count;
}

// Reads the position text into p. False, after the reader's own report, when
// the FEN or one of the moves cannot be read: the position reached would not
// be the one asked for.
bool ReadWholePosition(Position& p, const std::string& text) {
  const size_t fenAt = text.substr(0, text.find("moves")).find("fen");
  if (fenAt != std::string::npos && !ValidateFen(text.c_str() + fenAt + 3)) return false;
  return ReadPositionText(p, text) == CountMoveTokens(text);
}
}  // namespace

void HandleHashProbe(const std::string& line) {
  const std::string text = PositionTextOf(line.substr(6));
  Position p;
  if (!ReadWholePosition(p, text)) return;
  HashEntry entry{};
  if (!ProbeDeepest(ComputeKey(p, p.sideToMove), entry)) {
    InfoString("Probed position not found.");
    return;
  }
  // The table keeps a move's squares only: completed on the position, a
  // castling is written as the variant in play writes it.
  const uint32_t low = EntryMoveLow(entry);
  const Move full = CompleteStoredMove(p, low, 0);
  std::string reply = "info probe position " + text + " move " + MoveToText(full ? full : Move(low)) + " depth " +
                      std::to_string(PliesOfDepthUnits(EntryDepth(entry)));
  const int score = EntryStoredScore(entry) - HashScoreBias;
  if (EntryIsExact(entry))
    reply += " ex " + std::to_string(score);
  else if (EntryHasLower(entry))
    reply += " lb " + std::to_string(score);
  else if (EntryHasUpper(entry))
    reply += " ub " + std::to_string(score);
  Send("%s", reply.c_str());
}

void HandleHashWrite(const std::string& line) {
  const char* numberAt = line.c_str() + 6;
  char* numberEnd = nullptr;
  const long n = std::strtol(numberAt, &numberEnd, 10);
  if (numberEnd == numberAt) return;   // no score: nothing to write
  const size_t blank = line.find(' ', size_t(numberEnd - line.c_str()));
  if (blank == std::string::npos) return;
  const std::string text = PositionTextOf(line.substr(blank + 1));
  Position p;
  if (!ReadWholePosition(p, text)) return;
  const PositionKey key = ComputeKey(p, p.sideToMove);
  HashEntry found{};
  const Move move = ProbeDeepest(key, found) ? Move(EntryMoveLow(found)) : 0;
  // A score beyond what the 14-bit field holds is kept at its nearest end
  // rather than wrapping round to the other side.
  const Score score = Score(n < MinStorableScore   ? MinStorableScore
                            : n > MaxStorableScore ? MaxStorableScore
                                                   : n);
  // Depth 120 is deeper than any stored depth, so the entry replaces every
  // copy of the position; its low byte reads back as stored depth 56.
  StoreExact(key, move, 120, score);
}
