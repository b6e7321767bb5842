#include "board/log_notation.h"

#include "common/bitops.h"

namespace {
// Figurine letters of the White pieces by colourless type; Black's are the capitals.
char FigurineLetter(int code) {
  char letter = 0;
  switch (TypeOf(code)) {
    case PawnType: letter = 'i'; break;
    case KnightType: letter = 'k'; break;
    case BishopType: letter = 'j'; break;
    case RookType: letter = 'l'; break;
    case QueenType: letter = 'm'; break;
    case KingType: letter = 'n'; break;
  }
  return ColorOf(code) == Black ? char(letter - 'a' + 'A') : letter;
}

// Taking `man` off the board would open a line from an enemy slider to its king.
bool ShieldsOwnKing(const Position& p, Square man, Color side) {
  const Color them = Opponent(side);
  const Square king = p.KingSquare(side);
  const Bitboard occupancy = p.occupied & ~SquareBit(man);
  const Bitboard queens = p.Pieces(them, QueenType);
  return (BishopAttacks(king, occupancy) & (p.Pieces(them, BishopType) | queens)) ||
         (RookAttacks(king, occupancy) & (p.Pieces(them, RookType) | queens));
}

// Other men of the mover's code that could have gone to `to` as well.
Bitboard Twins(const Position& p, int code, Square to, Color side, bool capture) {
  Bitboard candidates = 0;
  switch (TypeOf(code)) {
    case PawnType:
      // Pawns that attack the square are those a pawn of the other colour would attack from it.
      if (capture) candidates = PawnAttackTable[Opponent(side)][to];
      break;
    case KnightType: candidates = KnightAttacks(to); break;
    case BishopType: candidates = BishopAttacks(to, p.occupied); break;
    case RookType: candidates = RookAttacks(to, p.occupied); break;
    case QueenType: candidates = QueenAttacks(to, p.occupied); break;
    default: break;
  }
  Bitboard twins = candidates & p.Pieces(code);
  for (Bitboard b = twins; b;) {
    const Square s = PopLowest(b);
    if (ShieldsOwnKing(p, s, side)) twins &= ~SquareBit(s);
  }
  return twins;
}
}  // namespace

std::string MoveToLogText(const Position& after, Move m, Color mover) {
  const Square from = FromSquare(m), to = ToSquare(m);
  const int code = after.CodeAt(to);
  const Color them = Opponent(mover);
  const bool check = mover == White ? IsAttackedBy<White>(after, after.KingSquare(them))
                                    : IsAttackedBy<Black>(after, after.KingSquare(them));
  std::string text;
  const bool chess960Castling = IsChess960Castling(m);
  const bool queenSide = chess960Castling ? to < from : (from == E1 && to == C1) || (from == E8 && to == C8);
  const bool kingSide = chess960Castling ? to > from : (from == E1 && to == G1) || (from == E8 && to == G8);
  if (chess960Castling || (TypeOf(code) == KingType && (queenSide || kingSide))) {
    text = queenSide ? "0-0-0" : "0-0";
    if (check) text += '+';
    return text;
  }
  const bool capture = after.st.captured != 0 || IsEnPassant(m);
  if (TypeOf(code) != PawnType || capture) text += FigurineLetter(code);
  const Bitboard twins = Twins(after, code, to, mover, capture);
  const char fileLetter = char('a' + FileOf(from)), rankDigit = char('1' + RankOf(from));
  if (twins && !MoreThanOne(twins)) {
    text += FileOf(LowestSquare(twins)) == FileOf(from) ? rankDigit : fileLetter;
  } else if (twins) {
    text += fileLetter;
    text += rankDigit;
  }
  if (capture) text += 'x';
  text += char('a' + FileOf(to));
  text += char('1' + RankOf(to));
  if (check) text += '+';
  return text;
}
