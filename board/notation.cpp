#include "board/notation.h"

#include <cctype>
#include "board/movegen.h"

Move ParseCoordinateMove(const Position& p, const char* text, bool useBoard) {
  char t[5] = {0, 0, 0, 0, 0};
  for (int i = 0; i < 5 && text[i]; ++i) t[i] = text[i];
  auto isFile = [](char c) { return (c >= 'a' && c <= 'h') || (c >= 'A' && c <= 'H'); };
  auto isRank = [](char c) { return c >= '1' && c <= '8'; };
  if (!isFile(t[0]) || !isRank(t[1]) || !isFile(t[2]) || !isRank(t[3])) return 0;
  // Upper-case file letters mean the same squares as lower-case ones.
  const Square from = MakeSquare(std::tolower(t[0]) - 'a', t[1] - '1');
  const Square to = MakeSquare(std::tolower(t[2]) - 'a', t[3] - '1');
  if (from == to) return 0;   // also rejects a1a1
  uint32_t low = uint32_t(to) | (uint32_t(from) << 10), high = 0;
  if (useBoard) {
    low |= (uint32_t(p.board[from]) & 0x07E001C0u) ^ ((uint32_t(p.board[to]) ^ 0x20000u) & 0x38020000u);
    high = uint32_t(p.board[to] >> 32) & 0x29520000u;
  }
  switch (t[4]) {
    case 'q': low |= 0xC0; high |= PromoQueenHigh; break;
    case 'r': low |= 0xC0; high |= PromoRookHigh; break;
    case 'b': low |= 0xC0; high |= PromoBishopHigh; break;
    case 'n': low |= 0xC0; high |= PromoKnightHigh; break;
    default: break;
  }
  if (useBoard) {
    const int type = TypeOf(p.CodeAt(from));
    if (type == PawnType && p.st.epSquare && to == Square(p.st.epSquare)) high |= EnPassantFlag;
    if (type == KingType) low |= 0x200000;
  }
  return MakeMoveWord(low, high);
}

std::string MoveToText(Move m) {
  if (m == PrintableNullMove) return "null";
  std::string s;
  s += char('a' + FileOf(FromSquare(m)));
  s += char('1' + RankOf(FromSquare(m)));
  s += char('a' + FileOf(ToSquare(m)));
  s += char('1' + RankOf(ToSquare(m)));
  const uint32_t dest = LowWord(m) & 0x1F8;
  if (dest == 0xF8 || dest == 0xC0) {
    const uint32_t high = HighWord(m);
    s += (high & (1u << 15)) ? 'n' : (high & (1u << 13)) ? 'b' : (high & (1u << 14)) ? 'r' : 'q';
  }
  return s;
}

Move FindLegalMove(const Position& p, const char* text) {
  Move parsed = ParseCoordinateMove(p, text, true);
  if (!parsed) return 0;
  int wanted = PromotionIndex(parsed);
  MoveList legal;
  GenerateLegalMoves(p, legal);
  for (Move m : legal) {
    if (((m ^ parsed) & 0xFC3F) != 0) continue;
    int index = PromotionIndex(m);
    if (index == wanted || (wanted == 0 && index == 5)) return m;
  }
  return 0;
}
