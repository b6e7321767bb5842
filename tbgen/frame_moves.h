// Moves and unmoves of a position of the generator's frame, written on the
// board's attack tables: the legal moves of one side, and the moves that
// could have led to a position without a capture or promotion (the position
// before them legal). Both are templates on the colour that moves.
#pragma once
#include "board/attacks.h"
#include "tablebase/nalimov_locate.h"
#include "tbgen/frame.h"

namespace tbgen {

// The men of a frame position as bitboards.
struct FrameBoard {
  Bitboard occupied = 0;
  Bitboard colour[2] = {};
  Bitboard kind[2][6] = {};   // by colour and FrameKind

  FrameBoard(const Frame& f, const Square* sq) {
    for (int m = 0; m < f.men; ++m) {
      const Bitboard b = SquareBit(sq[m]);
      occupied |= b;
      colour[f.man[m].colour] |= b;
      kind[f.man[m].colour][f.man[m].kind] |= b;
    }
  }
};

// Is s attacked by the men `k` (bitboards by FrameKind) of colour By, given the occupancy?
template <Color By> inline bool Attacked(const Bitboard* k, Square s, Bitboard occupied) {
  return (PawnAttackTable[Opponent(By)][s] & k[PawnKind]) || (KnightAttacks(s) & k[KnightKind]) ||
         (KingAttacks(s) & k[KingKind]) || (BishopAttacks(s, occupied) & (k[BishopKind] | k[QueenKind])) ||
         (RookAttacks(s, occupied) & (k[RookKind] | k[QueenKind]));
}

constexpr int KingMan(Color c) { return c == White ? 0 : 1; }

// Is the side not to move in check (a position that cannot occur)?
template <Color SideToMove> inline bool OpponentInCheck(const FrameBoard& b, const Square* sq) {
  constexpr Color Them = Opponent(SideToMove);
  return Attacked<SideToMove>(b.kind[SideToMove], sq[KingMan(Them)], b.occupied);
}
template <Color SideToMove> inline bool InCheck(const FrameBoard& b, const Square* sq) {
  return Attacked<Opponent(SideToMove)>(b.kind[Opponent(SideToMove)], sq[KingMan(SideToMove)], b.occupied);
}

struct FrameMove {
  int man;                 // the man that moves
  Square from, to;
  int captured;            // the man taken, or -1
  FrameKind promotion;     // KingKind when the move promotes nothing
  bool doublePush;
  bool LeavesTable() const { return captured >= 0 || promotion != KingKind; }
};

// The two armies after move m, in the form the index functions read: the
// captured man gone, a promoted pawn replaced by its new piece.
inline void ArmiesAfter(const Frame& f, const Square* sq, const FrameMove& m, nalimov::Army army[2]) {
  Square after[MaxFrameMen];
  for (int k = 0; k < f.men; ++k) after[k] = sq[k];
  after[m.man] = m.to;
  army[White] = nalimov::Army(after[0]);
  army[Black] = nalimov::Army(after[1]);
  for (int k = 2; k < f.men; ++k) {
    if (k == m.captured) continue;
    const FrameKind kind = k == m.man && m.promotion != KingKind ? m.promotion : f.man[k].kind;
    army[f.man[k].colour].Add(nalimov::ManKind(kind), after[k]);
  }
}

// The man of colour c standing on s, or -1.
inline int ManOn(const Frame& f, const Square* sq, Color c, Square s) {
  for (int m = 0; m < f.men; ++m)
    if (sq[m] == s && f.man[m].colour == c) return m;
  return -1;
}

// Which legal moves to visit: all, those that leave the table (captures and
// promotions), or those that stay in it.
enum class MoveSet { All, LeavingTable, StayingInTable };

// Every legal move of Us in the set (en passant excepted: positions of the
// frame carry no en-passant right; the generator handles those captures
// itself). The visitor returns false to stop; so does the function then.
template <Color Us, MoveSet Set = MoveSet::All, typename Visit>
inline bool ForEachLegalMove(const Frame& f, const FrameBoard& b, const Square* sq, Visit&& visit) {
  constexpr Color Them = Opponent(Us);
  const Square ownKing = sq[KingMan(Us)];
  bool go = true;
  auto emit = [&](int m, Square from, Square to, FrameKind promotion, bool doublePush) {
    if constexpr (Set != MoveSet::All) {
      const bool leaves = (b.colour[Them] & SquareBit(to)) || promotion != KingKind;
      if (leaves != (Set == MoveSet::LeavingTable)) return;
    }
    const int captured = (b.colour[Them] & SquareBit(to)) ? ManOn(f, sq, Them, to) : -1;
    const Bitboard occupied = (b.occupied ^ SquareBit(from)) | SquareBit(to);
    const Square king = m == KingMan(Us) ? to : ownKing;
    if (captured < 0) {
      if (Attacked<Them>(b.kind[Them], king, occupied)) return;
    } else {
      Bitboard k[6];
      for (int i = 0; i < 6; ++i) k[i] = b.kind[Them][i] & ~SquareBit(to);
      if (Attacked<Them>(k, king, occupied)) return;
    }
    if (promotion == KingKind) {
      go = visit(FrameMove{m, from, to, captured, KingKind, doublePush});
    } else {
      for (FrameKind p : {QueenKind, RookKind, BishopKind, KnightKind})
        if (go) go = visit(FrameMove{m, from, to, captured, p, false});
    }
  };
  for (int m = 0; m < f.men && go; ++m) {
    if (f.man[m].colour != Us) continue;
    const Square from = sq[m];
    Bitboard targets = 0;
    switch (f.man[m].kind) {
      case PawnKind: {
        const bool promotes = RelativeRank<Us>(from) == 6;
        const FrameKind promotion = promotes ? QueenKind : KingKind;
        const Square one = from + PawnStep<Us>();
        if (!(b.occupied & SquareBit(one))) {
          emit(m, from, one, promotion, false);
          const Square two = one + PawnStep<Us>();
          if (go && RelativeRank<Us>(from) == 1 && !(b.occupied & SquareBit(two)))
            emit(m, from, two, KingKind, true);
        }
        for (Bitboard t = PawnAttackTable[Us][from] & b.colour[Them]; t && go;)
          emit(m, from, PopLowest(t), promotion, false);
        continue;
      }
      case KnightKind: targets = KnightAttacks(from); break;
      case BishopKind: targets = BishopAttacks(from, b.occupied); break;
      case RookKind: targets = RookAttacks(from, b.occupied); break;
      case QueenKind: targets = QueenAttacks(from, b.occupied); break;
      case KingKind: targets = KingAttacks(from); break;
    }
    targets &= Set == MoveSet::All            ? ~b.colour[Us]
               : Set == MoveSet::LeavingTable ? b.colour[Them]
                                              : ~b.occupied;
    while (targets && go) emit(m, from, PopLowest(targets), KingKind, false);
  }
  return go;
}

// Every move of Us without capture or promotion that could have led to this
// position (Them to move): the man's origin `from`, its square now `to`. The
// position before it must be legal (Them not in check there).
template <Color Us, typename Visit>
inline void ForEachUnmove(const Frame& f, const FrameBoard& b, const Square* sq, Visit&& visit) {
  constexpr Color Them = Opponent(Us);
  const Square theirKing = sq[KingMan(Them)];
  for (int m = 0; m < f.men; ++m) {
    if (f.man[m].colour != Us) continue;
    const FrameKind kind = f.man[m].kind;
    const Square to = sq[m];
    Bitboard origins = 0, doubleOrigin = 0;
    switch (kind) {
      case PawnKind: {
        if (RelativeRank<Us>(to) <= 1) break;
        const Square one = to - PawnStep<Us>();
        if (b.occupied & SquareBit(one)) break;
        origins = SquareBit(one);
        const Square two = one - PawnStep<Us>();
        if (RelativeRank<Us>(to) == 3 && !(b.occupied & SquareBit(two))) doubleOrigin = SquareBit(two);
        origins |= doubleOrigin;
        break;
      }
      case KnightKind: origins = KnightAttacks(to); break;
      case BishopKind: origins = BishopAttacks(to, b.occupied); break;
      case RookKind: origins = RookAttacks(to, b.occupied); break;
      case QueenKind: origins = QueenAttacks(to, b.occupied); break;
      case KingKind: origins = KingAttacks(to); break;
    }
    origins &= ~b.occupied;
    if (!origins) continue;
    Bitboard k[6];
    for (int i = 0; i < 6; ++i) k[i] = b.kind[Us][i];
    k[kind] ^= SquareBit(to);
    while (origins) {
      const Square from = PopLowest(origins);
      const Bitboard occupied = b.occupied ^ SquareBit(to) ^ SquareBit(from);
      k[kind] ^= SquareBit(from);
      const bool legal = !Attacked<Us>(k, theirKing, occupied);
      k[kind] ^= SquareBit(from);
      if (legal) visit(m, from, to, (doubleOrigin & SquareBit(from)) != 0);
    }
  }
}

}  // namespace tbgen
