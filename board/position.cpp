#include "board/position.h"

#include <algorithm>
#include <cstring>
#include "board/keys.h"
#include "common/output.h"
#include "board/material_key.h"
#include "board/piece_square.h"

void InitBoard() { InitAttackTables(); }

int CodeOfFenLetter(char c) {
  switch (c) {
    case 'P': return WhitePawn;   case 'p': return BlackPawn;
    case 'N': return WhiteKnight; case 'n': return BlackKnight;
    case 'B': return WhiteBishop; case 'b': return BlackBishop;
    case 'R': return WhiteRook;   case 'r': return BlackRook;
    case 'Q': return WhiteQueen;  case 'q': return BlackQueen;
    case 'K': return WhiteKing;   case 'k': return BlackKing;
    default: return NoPiece;
  }
}

uint64_t ComputeKey(const Position& p, Color sideToMove) {
  uint64_t key = p.castlingKeys[p.st.castling & 15];
  for (Square s = 0; s < 64; ++s)
    if (p.board[s]) key ^= PieceSquareKey(p.CodeAt(s), s);
  if (p.st.epSquare) key ^= Keys.enPassant[FileOf(p.st.epSquare)];
  if (sideToMove == White) key ^= SideKey;
  return key;
}

uint64_t ComputePawnKey(const Position& p) {
  uint64_t key = Keys.castling[p.st.castling & 15] ^ PawnKeyBase;
  for (Square s = 0; s < 64; ++s) {
    int code = p.CodeAt(s);
    int type = TypeOf(code);
    if (type == PawnType || type == KingType) key ^= PieceSquareKey(code, s);
    else if (type == BishopType) key ^= BishopPawnKey[ColorOf(code)][DarkSquares >> s & 1];
  }
  return key;
}

uint64_t ComputeMaterialKey(const Position& p) {
  uint64_t key = MaterialKeyKings;
  for (int code = WhitePawn; code <= BlackQueen; ++code)
    for (Bitboard b = p.pieces[code]; b;) {
      Square s = PopLowest(b);
      key += MaterialKeyConstant[MaterialSlot(code, s)];
    }
  return key;
}

uint64_t ComputePstSum(const Position& p) {
  uint64_t sum = PstSumBase + uint64_t(CastlingRightsBonus[p.st.castling & 15]);
  for (Square s = 0; s < 64; ++s)
    if (p.board[s]) sum += uint64_t(PieceSquare[p.CodeAt(s)][s]);
  return sum;
}

void RebuildDerivedState(Position& p) {
  std::memset(p.pieces, 0, sizeof p.pieces);
  p.occupied = 0;
  for (Square s = 0; s < 64; ++s) {
    int code = p.CodeAt(s);
    if (code < WhitePawn || code > BlackKing) {
      p.board[s] = 0;   // nothing but real pieces may stand on the board
      continue;
    }
    p.pieces[code] |= SquareBit(s);
    p.pieces[ColorOf(code)] |= SquareBit(s);
    p.occupied |= SquareBit(s);
  }
  for (Color c : {White, Black}) {
    Bitboard kings = p.pieces[WhiteKing + c];
    p.kingSquare[c] = kings ? LowestSquare(kings) : 0;
  }
  p.st.pstSum = ComputePstSum(p);
  p.st.key = ComputeKey(p, p.sideToMove);
  p.st.pawnKey = ComputePawnKey(p);
  p.st.materialKey = ComputeMaterialKey(p);
  p.st.materialDelta = 0;
}

template <Color By> bool IsAttackedBy(const Position& p, Square s, Bitboard occupancy) {
  if (PawnAttackTable[Opponent(By)][s] & p.Pieces(By, PawnType)) return true;
  if (KnightAttacks(s) & p.Pieces(By, KnightType)) return true;
  if (KingAttacks(s) & p.Pieces(By, KingType)) return true;
  Bitboard queens = p.Pieces(By, QueenType);
  if (BishopAttacks(s, occupancy) & (p.Pieces(By, BishopType) | queens)) return true;
  return (RookAttacks(s, occupancy) & (p.Pieces(By, RookType) | queens)) != 0;
}
template bool IsAttackedBy<White>(const Position&, Square, Bitboard);
template bool IsAttackedBy<Black>(const Position&, Square, Bitboard);

Bitboard AttackersTo(const Position& p, Square s, Bitboard occupancy) {
  Bitboard queens = p.pieces[WhiteQueen] | p.pieces[BlackQueen];
  return (PawnAttackTable[Black][s] & p.pieces[WhitePawn]) |
         (PawnAttackTable[White][s] & p.pieces[BlackPawn]) |
         (KnightAttacks(s) & (p.pieces[WhiteKnight] | p.pieces[BlackKnight])) |
         (KingAttacks(s) & (p.pieces[WhiteKing] | p.pieces[BlackKing])) |
         (BishopAttacks(s, occupancy) & (p.pieces[WhiteBishop] | p.pieces[BlackBishop] | queens)) |
         (RookAttacks(s, occupancy) & (p.pieces[WhiteRook] | p.pieces[BlackRook] | queens));
}

template <Color C> Bitboard PinnedPieces(const Position& p) {
  constexpr Color Them = Opponent(C);
  Square k = p.KingSquare(C);
  Bitboard queens = p.Pieces(Them, QueenType);
  Bitboard snipers = (RookAttacks(k, 0) & (p.Pieces(Them, RookType) | queens)) |
                     (BishopAttacks(k, 0) & (p.Pieces(Them, BishopType) | queens));
  Bitboard pinned = 0;
  while (snipers) {
    Bitboard between = Between(k, PopLowest(snipers)) & p.occupied;
    if (between && !MoreThanOne(between)) pinned |= between & p.pieces[C];
  }
  return pinned;
}
template Bitboard PinnedPieces<White>(const Position&);
template Bitboard PinnedPieces<Black>(const Position&);

namespace {
// Material a game can actually reach: at most 8 pawns per side and no more
// promoted pieces than missing pawns. Keeps move lists within their bounds.
bool ReachableMaterial(const Position& p, Color c) {
  int pawns = PopCount(p.Pieces(c, PawnType));
  int extra = std::max(0, PopCount(p.Pieces(c, KnightType)) - 2) +
              std::max(0, PopCount(p.Pieces(c, BishopType)) - 2) +
              std::max(0, PopCount(p.Pieces(c, RookType)) - 2) +
              std::max(0, PopCount(p.Pieces(c, QueenType)) - 1);
  return pawns <= 8 && extra <= 8 - pawns;
}
}  // namespace

// Rejects what the search cannot handle: a side to move out of range, castling
// rights without king and rook at home, an impossible en-passant square, keys
// that disagree with the board, anything but one king a side, pawns on the
// first or last rank, unreachable material, or the side not to move in check.
bool CheckPositionConsistency(const Position& p) {
  if (p.sideToMove != White && p.sideToMove != Black) return false;
  for (int bit = 0; bit < 4; ++bit) {
    if (!(p.st.castling & (1u << bit))) continue;
    Color c = Color(bit >> 1);
    const Square king = p.castlingKing[c], rook = p.castlingRook[bit];
    if (p.board[king] != PieceWords[WhiteKing + c] || p.board[rook] != PieceWords[WhiteRook + c] ||
        RankOf(rook) != RankOf(king) || (rook > king) != ((bit & 1) == 0))
      return false;
  }
  if (p.st.castling > 15) return false;
  if (p.st.epSquare) {
    Square ep = Square(p.st.epSquare);
    Color us = p.sideToMove, them = Opponent(us);
    if (ep > 63 || RankOf(ep) != (us == White ? 5 : 2)) return false;
    Square behind = ep + (us == White ? -8 : 8);
    if (p.board[behind] != PieceWords[PawnType + them]) return false;
    if (!(RankNeighbours[behind] & p.Pieces(us, PawnType))) return false;
  }
  if (p.st.fifty > p.st.historyCount || p.st.historyCount > HistorySize) return false;
  if (ComputeKey(p, p.sideToMove) != p.st.key || ComputePawnKey(p) != p.st.pawnKey ||
      ComputeMaterialKey(p) != p.st.materialKey)
    return false;
  if (PopCount(p.pieces[WhiteKing]) != 1 || PopCount(p.pieces[BlackKing]) != 1) return false;
  if ((p.pieces[WhitePawn] | p.pieces[BlackPawn]) & (RankBits(0) | RankBits(7))) return false;
  if (!ReachableMaterial(p, White) || !ReachableMaterial(p, Black)) return false;
  return p.sideToMove == White ? !InCheck<Black>(p) : !InCheck<White>(p);
}
