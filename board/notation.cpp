#include "board/notation.h"

#include <cctype>
#include "board/castling_setup.h"
#include "board/movegen.h"

namespace {
// In Chess960 mode castling is written as the king taking its own rook. The
// move that text names on this board: the Chess960 castling of that rook's
// right, or in a standard setup the king's two-step; 0 when the squares do
// not hold a king and a rook of one colour with such a right.
Move CastlingOfText(const Position& p, Square from, Square to) {
  const int king = p.CodeAt(from), rook = p.CodeAt(to);
  if (TypeOf(king) != KingType || TypeOf(rook) != RookType || ColorOf(king) != ColorOf(rook)) return 0;
  const Color c = ColorOf(king);
  const int bit = CastlingRightIndex(c, to > from);
  if (!(p.st.castling & (1u << bit)) || p.castlingRook[bit] != to || p.castlingKing[c] != from) return 0;
  uint32_t low = uint32_t(from) << OriginShift | (uint32_t(p.board[from]) & (MoverFlagBits | MoverClassBits)) |
                 QuietFlagBit;
  if (p.chess960Castling) {
    low |= uint32_t(to) | Chess960CastlingBit;
  } else {
    const Square base = c == White ? A1 : A8;
    low |= uint32_t(to > from ? base + 6 : base + 2);
  }
  return MakeMoveWord(low, 0);
}
}  // namespace

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
  if (Chess960Mode && !t[4])
    if (const Move castling = CastlingOfText(p, from, to)) return castling;
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
  Square to = ToSquare(m);
  // Chess960 mode writes the standard setup's castling as the king taking its rook too.
  if (Chess960Mode && (IsCastling<White>(m) || IsCastling<Black>(m))) to = (to & 4) ? to + 1 : to - 2;
  std::string s;
  s += char('a' + FileOf(FromSquare(m)));
  s += char('1' + RankOf(FromSquare(m)));
  s += char('a' + FileOf(to));
  s += char('1' + RankOf(to));
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
