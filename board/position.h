// The one game position of a process: board of piece words, bitboards, king
// squares, the state block that make/unmake saves and restores in one copy,
// and the keys of the positions played before (for the repetition test).
#pragma once
#include <string>
#include "board/attacks.h"
#include "board/move.h"
#include "board/piece.h"
#include "common/types.h"

// Castling rights.
constexpr uint32_t WhiteKingSide = 1, WhiteQueenSide = 2, BlackKingSide = 4, BlackQueenSide = 8;

// Sixteen 32-bit words saved and restored as one block by make/unmake.
struct StateBlock {
  uint32_t castling;        // rights, bits as above
  uint32_t epSquare;        // 0 = none; set only when a pawn of the side to move can capture there
  uint32_t fifty;           // plies since the last capture, pawn move or castling
  uint32_t historyCount;    // keys stored in Position::history
  uint64_t pstSum;          // packed piece-square sum (low word) and pawn colour counts (high word)
  uint32_t captured;        // piece code captured by the last move (0 = none)
  uint32_t spare;
  uint64_t key;             // position key
  uint64_t pawnKey;         // pawns, kings, bishop square colours, castling rights
  uint64_t materialKey;
  int32_t materialDelta;    // running sum of the material adjustments of the men on the board
  uint32_t scratch;
};
static_assert(sizeof(StateBlock) == 64, "the state block is sixteen 32-bit words");

constexpr int HistorySize = 1024;
constexpr int MaxMoves = 256;

struct Position {
  PieceWord board[64];
  Bitboard pieces[14];      // 0 all White, 1 all Black, 2..13 by piece code
  uint32_t kingSquare[2];
  Bitboard occupied;
  StateBlock st;
  // The castling setup (see castling_setup.h): each right's rook square by
  // right bit, each colour's king square, the rights kept when a move
  // touches a square, the key of each set of rights, and whether castling
  // takes the Chess960 form.
  uint8_t castlingRook[4];
  uint8_t castlingKing[2];
  bool chess960Castling;
  uint8_t castlingMask[64];
  uint64_t castlingKeys[16];
  uint64_t history[HistorySize];
  // Held beside the record: 0 White, 1 Black.
  Color sideToMove;

  Bitboard Pieces(int code) const { return pieces[code]; }
  Bitboard ColorPieces(Color c) const { return pieces[c]; }
  Bitboard Pieces(Color c, int type) const { return pieces[type | c]; }
  int CodeAt(Square s) const { return CodeOfWord(board[s]); }
  Square KingSquare(Color c) const { return Square(kingSquare[c]); }
};

inline constexpr const char* StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// Sets up the attack tables; call once. (The evaluation fills the
// piece-square tables that make/unmake add up.)
void InitBoard();

// FEN handling. ValidateFen reports "Invalid FEN string." when it fails.
bool ValidateFen(const char* text);
bool SetPositionFromFen(Position& p, const char* text);   // false (position untouched) on an invalid string
std::string PositionToFen(const Position& p);
// The placement field of a FEN from a piece letter ("PNBRQKpnbrqk") per
// square, a1 = 0; 0 for an empty square.
std::string FenPlacement(const char* letters);

// Recomputes bitboards, king squares, PstSum and the three keys from the
// board array, rights, en-passant square and side to move; zeroes the delta.
void RebuildDerivedState(Position& p);
uint64_t ComputeKey(const Position& p, Color sideToMove);
uint64_t ComputePawnKey(const Position& p);
uint64_t ComputeMaterialKey(const Position& p);
uint64_t ComputePstSum(const Position& p);

// True when the position is one the search can handle (see position.cpp).
bool CheckPositionConsistency(const Position& p);

// Attack questions.
Bitboard AttackersTo(const Position& p, Square s, Bitboard occupancy);
template <Color By> bool IsAttackedBy(const Position& p, Square s, Bitboard occupancy);
template <Color By> inline bool IsAttackedBy(const Position& p, Square s) {
  return IsAttackedBy<By>(p, s, p.occupied);
}
template <Color C> inline bool InCheck(const Position& p) {
  return IsAttackedBy<Opponent(C)>(p, p.KingSquare(C));
}
inline bool InCheck(const Position& p) {
  return p.sideToMove == White ? InCheck<White>(p) : InCheck<Black>(p);
}
// Men of the side to move that shield their own king from an enemy slider.
template <Color C> Bitboard PinnedPieces(const Position& p);

// Repetition: the current key equals the key 4, 6, 8, ... plies back within the fifty-move counter.
inline bool IsRepetition(const Position& p) {
  uint32_t c = p.st.fifty;
  if (c < 4) return false;
  const uint64_t* h = p.history + p.st.historyCount;
  for (uint32_t i = 4; i <= c; i += 2)
    if (h[-int(i)] == p.st.key) return true;
  return false;
}
