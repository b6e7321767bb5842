// Hashing constants for the position key and the pawn key. All values are
// fixed at compile time so that every process of a group computes the same
// keys for the same position (they share hash entries).
#pragma once
#include <array>
#include "common/types.h"

namespace detail {
struct KeyTables {
  uint64_t pieceSquare[16][64];  // rows 2..13 used (piece codes)
  uint64_t castling[16];          // XOR-linear: castling[a ^ b] = castling[a] ^ castling[b]
  uint64_t enPassant[8];          // by file
};

constexpr uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// The four rook moves of castling have fixed keys (the XOR of the rook's two
// square keys); the rook's key on f1, d1, d8 and f8 is derived to match them.
constexpr uint64_t RookMoveKeyWhiteKingSide = 0x0D8B3287EA544969ULL;   // h1 -> f1
constexpr uint64_t RookMoveKeyWhiteQueenSide = 0xAAAFF37267CEDED3ULL;  // a1 -> d1
constexpr uint64_t RookMoveKeyBlackQueenSide = 0xE86B20FD807ACF40ULL;  // a8 -> d8
constexpr uint64_t RookMoveKeyBlackKingSide = 0x388BDCF1811D6695ULL;   // h8 -> f8

constexpr KeyTables MakeKeyTables() {
  KeyTables t{};
  uint64_t state = 0x746F6C766F4B6579ULL;
  for (int code = 2; code < 14; ++code)
    for (int s = 0; s < 64; ++s) t.pieceSquare[code][s] = SplitMix(state);
  t.pieceSquare[8][5] = t.pieceSquare[8][7] ^ RookMoveKeyWhiteKingSide;
  t.pieceSquare[8][3] = t.pieceSquare[8][0] ^ RookMoveKeyWhiteQueenSide;
  t.pieceSquare[9][59] = t.pieceSquare[9][56] ^ RookMoveKeyBlackQueenSide;
  t.pieceSquare[9][61] = t.pieceSquare[9][63] ^ RookMoveKeyBlackKingSide;
  uint64_t rightKey[4] = {SplitMix(state), SplitMix(state), SplitMix(state), SplitMix(state)};
  for (int set = 0; set < 16; ++set)
    for (int bit = 0; bit < 4; ++bit)
      if (set & (1 << bit)) t.castling[set] ^= rightKey[bit];
  for (int f = 0; f < 8; ++f) t.enPassant[f] = SplitMix(state);
  return t;
}
}  // namespace detail

inline constexpr detail::KeyTables Keys = detail::MakeKeyTables();

constexpr uint64_t SideKey = 0x2B5F86B85A7D3E98ULL;  // XOR-ed on every move; in the key when White is to move
constexpr uint64_t PawnKeyBase = 0x27C06528B11258B9ULL;
// Pawn-key constant of a bishop, by colour and square colour (0 light, 1 dark).
constexpr uint64_t BishopPawnKey[2][2] = {{0x5B5BE68669F3EFB1ULL, 0x1CDD2C1990D18B82ULL},
                                          {0x6EE19F4AE7391A20ULL, 0x88971596B48623E9ULL}};
// Key change of the rook move of castling, by colour and side (0 queen side, 1 king side).
constexpr uint64_t CastlingRookKey[2][2] = {
    {detail::RookMoveKeyWhiteQueenSide, detail::RookMoveKeyWhiteKingSide},
    {detail::RookMoveKeyBlackQueenSide, detail::RookMoveKeyBlackKingSide}};

inline constexpr uint64_t PieceSquareKey(int code, Square s) { return Keys.pieceSquare[code][s]; }
