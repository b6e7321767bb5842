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
  uint32_t low = uint32_t(to) | (uint32_t(from) << OriginShift), high = 0;
  if (useBoard) {
    // The mover's class and one-hot flag from its board word; the victim's
    // class, and the quiet flag when there is none, from the destination's.
    low |= (uint32_t(p.board[from]) & (MoverFlagBits | MoverClassBits)) ^
           ((uint32_t(p.board[to]) ^ QuietFlagBit) & (VictimClassBits | QuietFlagBit));
    high = uint32_t(p.board[to] >> 32) & VictimOrderingBits;
  }
  const uint32_t pawn = PawnClass << MoverClassShift;   // only a pawn promotes
  switch (t[4]) {
    case 'q': low |= pawn; high |= PromoQueenHigh; break;
    case 'r': low |= pawn; high |= PromoRookHigh; break;
    case 'b': low |= pawn; high |= PromoBishopHigh; break;
    case 'n': low |= pawn; high |= PromoKnightHigh; break;
    default: break;
  }
  if (useBoard) {
    const int type = TypeOf(p.CodeAt(from));
    if (type == PawnType && p.st.epSquare && to == Square(p.st.epSquare)) high |= EnPassantFlag;
    if (type == KingType) low |= KingMoverFlag;
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
  if (IsPromotion<White>(m) || IsPromotion<Black>(m)) {
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
    if (((m ^ parsed) & SquareBits) != 0) continue;
    // A promotion without its piece is to a queen.
    const int index = PromotionIndex(m);
    if (index == wanted || (wanted == NoClass && index == QueenClass)) return m;
  }
  return 0;
}
