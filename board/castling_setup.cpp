#include "board/castling_setup.h"

#include "board/keys.h"

bool Chess960Mode = false;

namespace {
constexpr Square StandardRookSquare[4] = {H1, A1, H8, A8};
constexpr Square StandardKingSquare[2] = {E1, E8};

// The key of one right whose rook stands on `rook`: the standard key, and
// for any other rook file a file key beside it, so that the same rights of
// two setups that differ in the rook they name never share a key.
uint64_t RightKey(int bit, Square rook) {
  const uint64_t standard = Keys.castling[1u << bit];
  if (rook == StandardRookSquare[bit]) return standard;
  uint64_t state = standard ^ (0x9E3779B97F4A7C15ULL * uint64_t(FileOf(rook) + 1));
  return standard ^ detail::SplitMix(state);
}
}  // namespace

void SetStandardCastlingSquares(Position& p) {
  for (int bit = 0; bit < 4; ++bit) p.castlingRook[bit] = uint8_t(StandardRookSquare[bit]);
  p.castlingKing[White] = uint8_t(E1);
  p.castlingKing[Black] = uint8_t(E8);
}

void FinishCastlingSetup(Position& p) {
  for (uint8_t& m : p.castlingMask) m = 15;
  p.chess960Castling = false;
  uint64_t rightKeys[4];
  for (int bit = 0; bit < 4; ++bit) {
    const Color c = Color(bit >> 1);
    rightKeys[bit] = RightKey(bit, p.castlingRook[bit]);
    if (!(p.st.castling & (1u << bit))) continue;
    p.castlingMask[p.castlingRook[bit]] &= uint8_t(~(1u << bit));
    p.castlingMask[p.castlingKing[c]] &= uint8_t(~(3u << (2 * c)));
    if (p.castlingRook[bit] != StandardRookSquare[bit] || p.castlingKing[c] != StandardKingSquare[c])
      p.chess960Castling = true;
  }
  for (int set = 0; set < 16; ++set) {
    p.castlingKeys[set] = 0;
    for (int bit = 0; bit < 4; ++bit)
      if (set & (1 << bit)) p.castlingKeys[set] ^= rightKeys[bit];
  }
}
