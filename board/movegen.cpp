#include "board/movegen.h"

#include "board/castling_setup.h"

namespace {
// Appends every move of the piece on `from` to the squares in `targets`.
inline Move* AddMoves(const Position& p, Move* list, Square from, Bitboard targets) {
  while (targets) *list++ = BuildMove(p, from, PopLowest(targets));
  return list;
}

inline Move* AddQuietMoves(const Position& p, Move* list, Square from, Bitboard targets,
                           const uint16_t* history) {
  while (targets) {
    Move m = BuildMove(p, from, PopLowest(targets));
    if (history) m |= Move(history[HistoryIndex(m)]) << 32;
    *list++ = m;
  }
  return list;
}

// Promotions of a pawn move: queen and knight, and rook and bishop on request.
inline Move* AddPromotions(const Position& p, Move* list, Square from, Square to, bool allPromotions) {
  const Move base = BuildMove(p, from, to);
  *list++ = base | (Move(PromoQueenHigh) << 32);
  *list++ = base | (Move(PromoKnightHigh) << 32);
  if (allPromotions) {
    *list++ = base | (Move(PromoRookHigh) << 32);
    *list++ = base | (Move(PromoBishopHigh) << 32);
  }
  return list;
}

// The Chess960 castlings of side C: for each right, every square between
// the king and its target and between the rook and its target empty but for
// the two men, and no square the king stands on, crosses or reaches attacked
// with both men lifted (so that a rook shielding the king's target from an
// attack along the rank does not count). Legal as generated.
template <Color C> Move* AddChess960Castlings(const Position& p, Move* list, const uint16_t* history) {
  constexpr Color Them = Opponent(C);
  const Square k = p.KingSquare(C);
  if (k != Square(p.castlingKing[C])) return list;
  for (bool kingSide : {true, false}) {
    const int bit = CastlingRightIndex(C, kingSide);
    if (!(p.st.castling & (1u << bit))) continue;
    const Square rook = p.castlingRook[bit];
    if (p.board[rook] != PieceWords[WhiteRook + C]) continue;
    const CastlingTargets t = CastlingTargetsOf<C>(kingSide);
    const Bitboard men = SquareBit(k) | SquareBit(rook);
    const Bitboard kingPath = Between(k, t.king) | SquareBit(t.king) | SquareBit(k);
    if (p.occupied & ~men & (kingPath | Between(rook, t.rook) | SquareBit(t.rook))) continue;
    const Bitboard occ = p.occupied ^ men;
    bool safe = true;
    for (Bitboard b = kingPath; b && safe;) safe = !IsAttackedBy<Them>(p, PopLowest(b), occ);
    if (!safe) continue;
    const uint32_t low = uint32_t(rook) | (uint32_t(k) << OriginShift) |
                         (uint32_t(p.board[k]) & (MoverFlagBits | MoverClassBits)) | QuietFlagBit |
                         Chess960CastlingBit;
    Move m = MakeMoveWord(low, 0);
    if (history) m |= Move(history[HistoryIndex(m)]) << 32;
    *list++ = m;
  }
  return list;
}

inline Move EnPassantMove(const Position& p, Square from, Square to) {
  return BuildMove(p, from, to) | 0x18000000u | (Move(0x04100000u) << 32);
}

// Moves of knights, bishops, rooks, queens and (optionally) the king onto `targets`.
template <Color C> Move* PieceMoves(const Position& p, Move* list, Bitboard targets, bool withKing) {
  for (Bitboard b = p.Pieces(C, KnightType); b;) {
    Square s = PopLowest(b);
    list = AddMoves(p, list, s, KnightAttacks(s) & targets);
  }
  const Bitboard queens = p.Pieces(C, QueenType);
  for (Bitboard b = p.Pieces(C, BishopType) | queens; b;) {
    Square s = PopLowest(b);
    list = AddMoves(p, list, s, BishopAttacks(s, p.occupied) & targets);
  }
  for (Bitboard b = p.Pieces(C, RookType) | queens; b;) {
    Square s = PopLowest(b);
    list = AddMoves(p, list, s, RookAttacks(s, p.occupied) & targets);
  }
  if (withKing) list = AddMoves(p, list, p.KingSquare(C), KingAttacks(p.KingSquare(C)) & targets);
  return list;
}
}  // namespace

template <Color C>
Move* GenerateCaptures(const Position& p, Move* list, Bitboard targets, bool allPromotions) {
  constexpr Color Them = Opponent(C);
  constexpr int Up = PawnStep<C>();
  const Bitboard lastRank = RelativeRankBits<C>(7);
  const Bitboard pawns = p.Pieces(C, PawnType);
  targets &= p.pieces[Them] & ~p.pieces[WhiteKing + Them];
  // Pawn captures, with promotion on the last rank.
  for (Bitboard b = pawns; b;) {
    Square s = PopLowest(b);
    Bitboard hits = PawnAttackTable[C][s] & targets;
    while (hits) {
      Square to = PopLowest(hits);
      if (SquareBit(to) & lastRank) list = AddPromotions(p, list, s, to, allPromotions);
      else *list++ = BuildMove(p, s, to);
    }
  }
  // Promotions by a push.
  for (Bitboard b = PawnPush<C>(pawns) & lastRank & ~p.occupied; b;) {
    Square to = PopLowest(b);
    list = AddPromotions(p, list, to - Up, to, allPromotions);
  }
  if (p.st.epSquare) {
    const Square ep = Square(p.st.epSquare);
    for (Bitboard b = PawnAttackTable[Them][ep] & pawns; b;)
      list[0] = EnPassantMove(p, PopLowest(b), ep), ++list;
  }
  return PieceMoves<C>(p, list, targets, true);
}

template <Color C> Move* GenerateQuiets(const Position& p, Move* list, const uint16_t* history) {
  constexpr Color Them = Opponent(C);
  constexpr int Up = PawnStep<C>();
  const Bitboard empty = ~p.occupied;
  const Bitboard pawns = p.Pieces(C, PawnType);
  const Bitboard single = PawnPush<C>(pawns) & empty & ~RelativeRankBits<C>(7);
  const Bitboard twice = PawnPush<C>(single & RelativeRankBits<C>(2)) & empty;
  for (Bitboard b = single; b;) {
    Square to = PopLowest(b);
    list = AddQuietMoves(p, list, to - Up, SquareBit(to), history);
  }
  for (Bitboard b = twice; b;) {
    Square to = PopLowest(b);
    list = AddQuietMoves(p, list, to - 2 * Up, SquareBit(to), history);
  }
  for (Bitboard b = p.Pieces(C, KnightType); b;) {
    Square s = PopLowest(b);
    list = AddQuietMoves(p, list, s, KnightAttacks(s) & empty, history);
  }
  const Bitboard queens = p.Pieces(C, QueenType);
  for (Bitboard b = p.Pieces(C, BishopType) | queens; b;) {
    Square s = PopLowest(b);
    list = AddQuietMoves(p, list, s, BishopAttacks(s, p.occupied) & empty, history);
  }
  for (Bitboard b = p.Pieces(C, RookType) | queens; b;) {
    Square s = PopLowest(b);
    list = AddQuietMoves(p, list, s, RookAttacks(s, p.occupied) & empty, history);
  }
  const Square k = p.KingSquare(C);
  list = AddQuietMoves(p, list, k, KingAttacks(k) & empty, history);
  // Castling: right held, king and rook at home, the squares between empty,
  // the king not in check and not crossing an attacked square.
  const uint32_t rights = p.st.castling >> (2 * C);
  if (p.chess960Castling) return (rights & 3) ? AddChess960Castlings<C>(p, list, history) : list;
  constexpr Square Home = C == White ? E1 : E8;
  if ((rights & 3) && k == Home && !IsAttackedBy<Them>(p, Home)) {
    const PieceWord rook = PieceWords[WhiteRook + C];
    if ((rights & 1) && p.board[Home + 3] == rook &&
        !(p.occupied & (SquareBit(Home + 1) | SquareBit(Home + 2))) && !IsAttackedBy<Them>(p, Home + 1))
      list = AddQuietMoves(p, list, Home, SquareBit(Home + 2), history);
    if ((rights & 2) && p.board[Home - 4] == rook &&
        !(p.occupied & (SquareBit(Home - 1) | SquareBit(Home - 2) | SquareBit(Home - 3))) &&
        !IsAttackedBy<Them>(p, Home - 1))
      list = AddQuietMoves(p, list, Home, SquareBit(Home - 2), history);
  }
  return list;
}

template <Color C>
Move* GenerateEvasions(const Position& p, Move* list, bool allPromotions, const uint16_t* history) {
  constexpr Color Them = Opponent(C);
  constexpr int Up = PawnStep<C>();
  const Square k = p.KingSquare(C);
  // Everything the enemy attacks with our king lifted off the board, so that
  // the king cannot step back along a checking ray.
  const Bitboard occ = p.occupied ^ SquareBit(k);
  Bitboard attacked = PawnAttacks<Them>(p.Pieces(Them, PawnType)) | KingAttacks(p.KingSquare(Them));
  for (Bitboard b = p.Pieces(Them, KnightType); b;) attacked |= KnightAttacks(PopLowest(b));
  const Bitboard queens = p.Pieces(Them, QueenType);
  for (Bitboard b = p.Pieces(Them, BishopType) | queens; b;) attacked |= BishopAttacks(PopLowest(b), occ);
  for (Bitboard b = p.Pieces(Them, RookType) | queens; b;) attacked |= RookAttacks(PopLowest(b), occ);
  for (Bitboard b = KingAttacks(k) & ~attacked & ~p.pieces[C]; b;) {
    Move m = BuildMove(p, k, PopLowest(b));
    if (history && HasQuietFlag(m)) m |= Move(history[HistoryIndex(m)] >> 4) << 32;
    *list++ = m;
  }
  const Bitboard checkers = AttackersTo(p, k, p.occupied) & p.pieces[Them];
  if (!checkers || MoreThanOne(checkers)) return list;
  const Square checker = LowestSquare(checkers);
  const Bitboard blocks = Between(k, checker);
  const Bitboard target = checkers | blocks;
  const Bitboard lastRank = RelativeRankBits<C>(7);
  const Bitboard pawns = p.Pieces(C, PawnType);
  // Pawn captures of the checker.
  for (Bitboard b = PawnAttackTable[Them][checker] & pawns; b;) {
    Square s = PopLowest(b);
    if (checkers & lastRank) list = AddPromotions(p, list, s, checker, allPromotions);
    else *list++ = BuildMove(p, s, checker);
  }
  // Pawn pushes onto the blocking squares.
  const Bitboard single = PawnPush<C>(pawns) & ~p.occupied;
  for (Bitboard b = single & blocks; b;) {
    Square to = PopLowest(b);
    if (SquareBit(to) & lastRank) list = AddPromotions(p, list, to - Up, to, allPromotions);
    else list = AddQuietMoves(p, list, to - Up, SquareBit(to), history);
  }
  for (Bitboard b = PawnPush<C>(single & RelativeRankBits<C>(2)) & ~p.occupied & blocks; b;) {
    Square to = PopLowest(b);
    list = AddQuietMoves(p, list, to - 2 * Up, SquareBit(to), history);
  }
  // En passant removes a checking pawn or lands on a blocking square.
  if (p.st.epSquare) {
    const Square ep = Square(p.st.epSquare);
    if (checker == (ep ^ 8) || (blocks & SquareBit(ep)))
      for (Bitboard b = PawnAttackTable[Them][ep] & pawns; b;) *list++ = EnPassantMove(p, PopLowest(b), ep);
  }
  return PieceMoves<C>(p, list, target, false);
}

template <Color C> bool IsLegal(const Position& p, Move m, Bitboard pinned) {
  constexpr Color Them = Opponent(C);
  const Square from = FromSquare(m), to = ToSquare(m), k = p.KingSquare(C);
  if (from == k) return IsChess960Castling(m) || !IsAttackedBy<Them>(p, to, p.occupied ^ SquareBit(k));
  if (IsEnPassant(m)) {
    const Bitboard occ = (p.occupied ^ SquareBit(from) ^ SquareBit(to ^ 8)) | SquareBit(to);
    const Bitboard queens = p.Pieces(Them, QueenType);
    return !(RookAttacks(k, occ) & (p.Pieces(Them, RookType) | queens)) &&
           !(BishopAttacks(k, occ) & (p.Pieces(Them, BishopType) | queens));
  }
  return !(pinned & SquareBit(from)) || (LineThrough(from, k) & SquareBit(to));
}

template <Color C> Move* GenerateLegal(const Position& p, Move* list) {
  Move* end = InCheck<C>(p) ? GenerateEvasions<C>(p, list, true, nullptr)
                            : GenerateQuiets<C>(p, GenerateCaptures<C>(p, list, ~Bitboard(0), true), nullptr);
  const Bitboard pinned = PinnedPieces<C>(p);
  Move* out = list;
  for (Move* m = list; m < end; ++m)
    if (IsLegal<C>(p, *m, pinned)) *out++ = *m;
  return out;
}

Move* GenerateLegalMoves(const Position& p, Move* list) {
  return p.sideToMove == White ? GenerateLegal<White>(p, list) : GenerateLegal<Black>(p, list);
}

template <Color C> Move CompleteStoredMove(const Position& p, uint32_t low, uint32_t high) {
  const Square from = Square((low >> 10) & 63), to = Square(low & 63);
  const PieceWord mover = p.board[from], target = p.board[to];
  if (!mover || ColorOf(CodeOfWord(mover)) != C || from == to) return 0;
  if (p.chess960Castling && target == PieceWords[WhiteRook + C] && mover == PieceWords[WhiteKing + C]) {
    // The king onto its own rook: a Chess960 castling while the rook's right lasts.
    const int bit = CastlingRightIndex(C, to > from);
    if (!(p.st.castling & (1u << bit)) || p.castlingRook[bit] != to) return 0;
    const uint32_t castling = uint32_t(to) | (uint32_t(from) << OriginShift) |
                              (uint32_t(mover) & (MoverFlagBits | MoverClassBits)) | QuietFlagBit |
                              Chess960CastlingBit;
    return MakeMoveWord(castling, 0) | (Move(1) << 63);
  }
  if (target && (ColorOf(CodeOfWord(target)) == C || TypeOf(CodeOfWord(target)) == KingType)) return 0;
  Move m = BuildMove(p, from, to) | (Move(1) << 63);
  const int type = TypeOf(CodeOfWord(mover));
  if (type == PawnType) {
    if (RelativeRank<C>(to) == 0) return 0;
    if (RelativeRank<C>(from) == 4 && to == Square(p.st.epSquare) && p.st.epSquare && !target)
      m |= 0x18000000u | (Move(0x04100000u) << 32);
    if (RelativeRank<C>(to) == 7) {
      int index = (high >> 10) & 7;
      uint32_t promo = PromotionHighOfIndex(index);
      m |= Move(promo ? promo : PromoQueenHigh) << 32;
    }
  } else if (IsCastling<C>(m)) {
    // The king's two-step castles only in a standard setup.
    if (p.chess960Castling) return 0;
    const bool kingSide = (to & 4) != 0;
    const uint32_t right = kingSide ? 1u : 2u;
    if (!((p.st.castling >> (2 * C)) & right) || p.board[kingSide ? to - 1 : to + 1]) return 0;
  }
  return m;
}

template <Color C> uint32_t ExchangeTest(const Position& p, Square square, int32_t risk, Bitboard occupancy,
                                         Bitboard defenders) {
  constexpr Color Them = Opponent(C);
  if (risk < 1) return 1;
  const Bitboard ownQueens = p.Pieces(C, QueenType), theirQueens = p.Pieces(Them, QueenType);
  const Bitboard ownRookLike = p.Pieces(C, RookType) | ownQueens;
  // A rook or queen behind a man worth three pawns on a line counts as half a pawn of cover.
  if (risk == 0xC0000 && (RookAttacks(square, occupancy) & ownRookLike & occupancy)) risk -= 0x20000;
  int32_t ownPawnValue = 0x20000;
  const Bitboard ownPawnAttackers = PawnAttackTable[Them][square] & p.Pieces(C, PawnType);
  if (RelativeRank<C>(square) == 7 && (ownPawnAttackers & occupancy & ~SquareBit(square))) {
    // Recapturing with a pawn would promote.
    risk -= 0x120000;
    ownPawnValue = 0x140000;
  }
  uint32_t kinds = 0;
  for (;;) {
    // The opponent recaptures with its least valuable man.
    Bitboard occ = occupancy;
    Bitboard from;
    int32_t value;
    uint32_t kind;
    if ((from = PawnAttackTable[C][square] & p.Pieces(Them, PawnType) & occ & defenders))
      value = 0x20000, kind = 32;
    else if ((from = KnightAttacks(square) & p.Pieces(Them, KnightType) & occ & defenders))
      value = 0x60000, kind = 16;
    else if ((from = BishopAttacks(square, occ) & p.Pieces(Them, BishopType) & occ & defenders))
      value = 0x70000, kind = 16;
    else if ((from = RookAttacks(square, occ) & p.Pieces(Them, RookType) & occ & defenders))
      value = 0xA0000, kind = 8;
    else if ((from = (BishopAttacks(square, occ) | RookAttacks(square, occ)) & theirQueens & occ & defenders))
      value = 0x140000, kind = 4;
    else if ((from = KingAttacks(square) & p.Pieces(Them, KingType) & defenders)) value = 0x3A0000, kind = 2;
    else return 1 | kinds;
    kinds |= kind;
    occupancy ^= from & -from;
    risk -= value;
    if (risk > 0) return 0;
    // Our reply with our least valuable man.
    occ = occupancy;
    if ((from = ownPawnAttackers & occ)) value = ownPawnValue;
    else if ((from = KnightAttacks(square) & p.Pieces(C, KnightType) & occ)) value = 0x60000;
    else if ((from = BishopAttacks(square, occ) & p.Pieces(C, BishopType) & occ)) value = 0x60000;
    else if ((from = RookAttacks(square, occ) & p.Pieces(C, RookType) & occ)) value = 0xA0000;
    else if ((from = (BishopAttacks(square, occ) | RookAttacks(square, occ)) & ownQueens & occ))
      value = 0x140000;
    else if (KingAttacks(square) & p.Pieces(C, KingType) & occ) {
      if (risk < -0x1E0000) return 1 | kinds;
      risk += 0x3E0000;
      occupancy ^= p.Pieces(C, KingType);
      continue;
    } else {
      return 0;
    }
    occupancy ^= from & -from;
    risk += value;
    if (risk < 1) return 1 | kinds;
  }
}

#define TOLVO_INSTANTIATE(C)                                                                       \
  template Move* GenerateCaptures<C>(const Position&, Move*, Bitboard, bool);                      \
  template Move* GenerateQuiets<C>(const Position&, Move*, const uint16_t*);                       \
  template Move* GenerateEvasions<C>(const Position&, Move*, bool, const uint16_t*);               \
  template bool IsLegal<C>(const Position&, Move, Bitboard);                                       \
  template Move* GenerateLegal<C>(const Position&, Move*);                                         \
  template Move CompleteStoredMove<C>(const Position&, uint32_t, uint32_t);                        \
  template uint32_t ExchangeTest<C>(const Position&, Square, int32_t, Bitboard, Bitboard);
TOLVO_INSTANTIATE(White)
TOLVO_INSTANTIATE(Black)

Move CompleteStoredMove(const Position& p, uint32_t low, uint32_t high) {
  return p.sideToMove == White ? CompleteStoredMove<White>(p, low, high) : CompleteStoredMove<Black>(p, low, high);
}
