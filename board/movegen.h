// Move generators, one per side and kind. Each writes complete moves with
// their ordering key already in the high word and returns the new list end.
#pragma once
#include "board/position.h"

// Builds the move of the man on `from` to `to` from the two piece words:
// mover class and flag, quiet bit, victim class and victim ordering bit.
inline Move BuildMove(const Position& p, Square from, Square to) {
  const PieceWord mover = p.board[from], target = p.board[to];
  const uint32_t low = uint32_t(to) | (uint32_t(from) << 10) | (uint32_t(mover) & 0x07E001C0u) |
                       ((uint32_t(target) ^ 0x20000u) & 0x38020000u);
  const uint32_t high = uint32_t(target >> 32) & VictimOrderingBits;
  return MakeMoveWord(low, high);
}

// History index of a quiet move: destination and mover class (move bits 0-9).
inline int HistoryIndex(Move m) { return int(m & 1023); }

// Captures of men in `targets` (enemy men), en-passant captures and
// promotions. Queen and knight promotions always; rook and bishop ones only
// with allPromotions.
template <Color C>
Move* GenerateCaptures(const Position& p, Move* list, Bitboard targets, bool allPromotions);
// Moves to empty squares without promotion, castling included (the king may
// not be in check nor cross an attacked square; its destination is left to
// the legality test). `history` (may be null) gives each move its ordering value.
template <Color C> Move* GenerateQuiets(const Position& p, Move* list, const uint16_t* history);
// Check evasions: king moves to unattacked squares, and with a single checker
// captures of it and interpositions (pins are left to the legality test).
template <Color C>
Move* GenerateEvasions(const Position& p, Move* list, bool allPromotions, const uint16_t* history);
// True when a generated move does not leave the own king attacked.
template <Color C> bool IsLegal(const Position& p, Move m, Bitboard pinned);
// All legal moves of the side to move.
template <Color C> Move* GenerateLegal(const Position& p, Move* list);
Move* GenerateLegalMoves(const Position& p, Move* list);

// Turns a move from the transposition table (squares and promotion only) into
// a full move for the side to move, or 0 when it cannot be one.
template <Color C> Move CompleteStoredMove(const Position& p, uint32_t low, uint32_t high);
Move CompleteStoredMove(const Position& p, uint32_t low, uint32_t high);

// Static exchange: true when the man of side C that now stands on `square`
// (risk r, in units of half a pawn << 16) is safe against the recaptures of
// the opponent's men in `defenders`, given the occupancy after the move.
template <Color C>
uint32_t ExchangeTest(const Position& p, Square square, int32_t risk, Bitboard occupancy, Bitboard defenders);

struct MoveList {
  Move moves[MaxMoves];
  int size = 0;
  const Move* begin() const { return moves; }
  const Move* end() const { return moves + size; }
};
inline void GenerateLegalMoves(const Position& p, MoveList& list) {
  list.size = int(GenerateLegalMoves(p, list.moves) - list.moves);
}
