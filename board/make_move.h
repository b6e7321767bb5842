// Making and unmaking moves on the position, once per moving colour. Make
// saves the state block and updates every derived field incrementally (the
// side to move included); unmake reverses the board and copies the saved
// block back. The moves of the front end go through the same make.
#pragma once
#include "board/castling_setup.h"
#include "board/keys.h"
#include "board/position.h"
#include "board/material_key.h"
#include "board/piece_square.h"

using UndoRecord = StateBlock;

// The rook's squares of a castling move whose king lands on `kingTo`
// (bit 2 of the king's destination tells the king side).
struct CastlingRook {
  bool kingSide;
  Square from, to;
};
inline CastlingRook CastlingRookOf(Square kingTo) {
  const bool kingSide = (kingTo & 4) != 0;
  return {kingSide, kingSide ? kingTo + 1 : kingTo - 2, kingSide ? kingTo - 1 : kingTo + 1};
}

namespace detail {
inline void TogglePiece(Position& p, int code, Square s) {
  Bitboard b = SquareBit(s);
  p.pieces[code] ^= b;
  p.pieces[ColorOf(code)] ^= b;
  p.occupied ^= b;
}
inline int DarkIndex(Square s) { return int((DarkSquares >> s) & 1); }

// Moves the rook of colour C's castling on the board (and back, with the
// squares exchanged).
template <Color C> inline void ShiftCastlingRook(Position& p, Square from, Square to) {
  p.board[to] = p.board[from];
  p.board[from] = 0;
  const Bitboard rookBits = SquareBit(from) | SquareBit(to);
  p.pieces[C] ^= rookBits;
  p.pieces[WhiteRook + C] ^= rookBits;
  p.occupied ^= rookBits;
}

// King and rook of a Chess960 castling from their squares to the targets
// (unmake passes them the other way round). The squares may overlap.
template <Color C>
inline void PlaceCastlingMen(Position& p, Square kingFrom, Square rookFrom, Square kingTo, Square rookTo) {
  constexpr int OwnKing = WhiteKing + C, OwnRook = WhiteRook + C;
  const PieceWord kingWord = p.board[kingFrom], rookWord = p.board[rookFrom];
  p.board[kingFrom] = p.board[rookFrom] = 0;
  p.board[kingTo] = kingWord;
  p.board[rookTo] = rookWord;
  const Bitboard off = SquareBit(kingFrom) | SquareBit(rookFrom), on = SquareBit(kingTo) | SquareBit(rookTo);
  p.pieces[C] = (p.pieces[C] & ~off) | on;
  p.occupied = (p.occupied & ~off) | on;
  p.pieces[OwnKing] = SquareBit(kingTo);
  p.pieces[OwnRook] = (p.pieces[OwnRook] & ~SquareBit(rookFrom)) | SquareBit(rookTo);
  p.kingSquare[C] = uint32_t(kingTo);
}

// The board and state changes of a Chess960 castling, rights and en passant
// already settled: both men move, the keys and sums follow, and the
// fifty-move count starts again as after any castling.
template <Color C> inline void MakeChess960Castling(Position& p, Square kingFrom, Square rookFrom) {
  constexpr int OwnKing = WhiteKing + C, OwnRook = WhiteRook + C;
  const CastlingTargets t = CastlingTargetsOf<C>(rookFrom > kingFrom);
  PlaceCastlingMen<C>(p, kingFrom, rookFrom, t.king, t.rook);
  StateBlock& st = p.st;
  st.pstSum += uint64_t(PieceSquare[OwnKing][t.king] - PieceSquare[OwnKing][kingFrom] +
                        PieceSquare[OwnRook][t.rook] - PieceSquare[OwnRook][rookFrom]);
  const uint64_t kingKey = PieceSquareKey(OwnKing, kingFrom) ^ PieceSquareKey(OwnKing, t.king);
  st.key ^= kingKey ^ PieceSquareKey(OwnRook, rookFrom) ^ PieceSquareKey(OwnRook, t.rook);
  st.pawnKey ^= kingKey;
  st.captured = 0;
  st.fifty = 0;
}
}  // namespace detail

template <Color C> inline void MakeMove(Position& p, UndoRecord& undo, Move m) {
  constexpr Color Them = Opponent(C);
  constexpr int OwnPawn = WhitePawn + C, EnemyPawn = WhitePawn + Them, OwnRook = WhiteRook + C;
  StateBlock& st = p.st;
  undo = st;
  p.history[st.historyCount++] = st.key;
  st.fifty++;

  const Square from = FromSquare(m), to = ToSquare(m);
  uint32_t kept = st.castling & p.castlingMask[from] & p.castlingMask[to];
  if (uint32_t lost = st.castling ^ kept) {
    st.key ^= p.castlingKeys[lost];
    st.pawnKey ^= Keys.castling[lost];
    st.pstSum += uint64_t(CastlingLossDelta[lost]);
    st.castling = kept;
  }
  if (st.epSquare) {
    st.key ^= Keys.enPassant[FileOf(st.epSquare)];
    st.epSquare = 0;
  }
  if (IsChess960Castling(m)) [[unlikely]] {
    detail::MakeChess960Castling<C>(p, from, to);
    st.key ^= SideKey;
    p.sideToMove = Them;
    return;
  }

  const PieceWord moverWord = p.board[from];
  const int mover = CodeOfWord(moverWord);
  const int captured = p.CodeAt(to);
  const Bitboard fromTo = SquareBit(from) | SquareBit(to);
  p.board[from] = 0;
  p.pieces[C] ^= fromTo;
  p.pieces[mover] ^= fromTo;
  p.occupied ^= fromTo;
  p.board[to] = moverWord;
  st.pstSum += uint64_t(PieceSquare[mover][to] - PieceSquare[mover][from]);
  const uint64_t moveKey = PieceSquareKey(mover, from) ^ PieceSquareKey(mover, to);
  st.key ^= moveKey;
  if (mover == OwnPawn || mover == WhiteKing + C) {
    st.pawnKey ^= moveKey;
    if (mover != OwnPawn) p.kingSquare[C] = uint32_t(to);
  }
  st.captured = uint32_t(captured);

  if (!captured) {
    if (IsCastling<C>(m)) {
      st.fifty = 0;
      const CastlingRook rook = CastlingRookOf(to);
      detail::ShiftCastlingRook<C>(p, rook.from, rook.to);
      st.pstSum += uint64_t(PieceSquare[OwnRook][rook.to] - PieceSquare[OwnRook][rook.from]);
      st.key ^= CastlingRookKey[C][rook.kingSide];
    }
  } else {
    const Bitboard toBit = SquareBit(to);
    p.occupied ^= toBit;
    p.pieces[Them] ^= toBit;
    p.pieces[captured] ^= toBit;
    st.pstSum -= uint64_t(PieceSquare[captured][to]);
    st.key ^= PieceSquareKey(captured, to);
    const int slot = MaterialSlot(captured, to);
    st.materialKey -= MaterialKeyConstant[slot];
    st.materialDelta -= MaterialAdjustment[slot];
    if (captured == EnemyPawn) st.pawnKey ^= PieceSquareKey(captured, to);
    else if (TypeOf(captured) == BishopType) st.pawnKey ^= BishopPawnKey[Them][detail::DarkIndex(to)];
    st.fifty = 0;
  }

  if (mover == OwnPawn) {
    st.fifty = 0;
    if (IsEnPassant(m)) {
      const Square victim = to ^ 8;
      p.board[victim] = 0;
      detail::TogglePiece(p, EnemyPawn, victim);
      st.pstSum -= uint64_t(PieceSquare[EnemyPawn][victim]);
      st.key ^= PieceSquareKey(EnemyPawn, victim);
      st.pawnKey ^= PieceSquareKey(EnemyPawn, victim);
      st.materialKey -= MaterialKeyConstant[EnemyPawn];
      st.materialDelta -= MaterialAdjustment[EnemyPawn];
    } else if (IsPromotion<C>(m)) {
      const int promoted = PromotionCode[C][PromotionIndex(m)];
      const Bitboard toBit = SquareBit(to);
      p.board[to] = PieceWords[promoted];
      p.pieces[OwnPawn] ^= toBit;
      p.pieces[promoted] ^= toBit;
      st.pstSum += uint64_t(PieceSquare[promoted][to] - PieceSquare[OwnPawn][to]);
      st.pawnKey ^= PieceSquareKey(OwnPawn, to);
      st.key ^= PieceSquareKey(promoted, to) ^ PieceSquareKey(OwnPawn, to);
      const int slot = MaterialSlot(promoted, to);
      st.materialKey += MaterialKeyConstant[slot] - MaterialKeyConstant[OwnPawn];
      st.materialDelta += MaterialAdjustment[slot] - MaterialAdjustment[OwnPawn];
      if (TypeOf(promoted) == BishopType) st.pawnKey ^= BishopPawnKey[C][detail::DarkIndex(to)];
    } else if ((from ^ to) == 16 && (RankNeighbours[to] & p.pieces[EnemyPawn])) {
      st.epSquare = uint32_t((from + to) / 2);
      st.key ^= Keys.enPassant[FileOf(st.epSquare)];
    }
  }
  st.key ^= SideKey;
  p.sideToMove = Them;
}

template <Color C> inline void UnmakeMove(Position& p, const UndoRecord& undo, Move m) {
  constexpr Color Them = Opponent(C);
  constexpr int OwnPawn = WhitePawn + C;
  const Square from = FromSquare(m), to = ToSquare(m);
  if (IsChess960Castling(m)) [[unlikely]] {
    const CastlingTargets t = CastlingTargetsOf<C>(to > from);
    detail::PlaceCastlingMen<C>(p, t.king, t.rook, from, to);
    p.st = undo;
    p.sideToMove = C;
    return;
  }
  const int captured = int(p.st.captured);
  PieceWord word = p.board[to];
  int code = CodeOfWord(word);
  if (MoverClass(m) == PawnClass && code != OwnPawn) {   // undo a promotion
    p.pieces[code] ^= SquareBit(to);
    p.pieces[OwnPawn] ^= SquareBit(to);
    code = OwnPawn;
    word = PieceWords[OwnPawn];
  }
  const Bitboard fromTo = SquareBit(from) | SquareBit(to);
  p.board[from] = word;
  p.board[to] = 0;
  p.pieces[C] ^= fromTo;
  p.pieces[code] ^= fromTo;
  p.occupied ^= fromTo;
  if (code == WhiteKing + C) p.kingSquare[C] = uint32_t(from);
  if (captured) {
    p.board[to] = PieceWords[captured];
    detail::TogglePiece(p, captured, to);
  } else if (IsEnPassant(m)) {
    const Square victim = to ^ 8;
    p.board[victim] = PieceWords[WhitePawn + Them];
    detail::TogglePiece(p, WhitePawn + Them, victim);
  } else if (IsCastling<C>(m)) {
    const CastlingRook rook = CastlingRookOf(to);
    detail::ShiftCastlingRook<C>(p, rook.to, rook.from);
  }
  p.st = undo;
  p.sideToMove = C;
}

// The null move of the search: the side to move passes.
template <Color C> inline void MakeNullMove(Position& p, UndoRecord& undo) {
  StateBlock& st = p.st;
  undo = st;
  p.history[st.historyCount++] = st.key;
  st.fifty++;
  if (st.epSquare) {
    st.key ^= Keys.enPassant[FileOf(st.epSquare)];
    st.epSquare = 0;
  }
  st.captured = 0;
  st.key ^= SideKey;
  p.sideToMove = Opponent(C);
}
inline void UnmakeNullMove(Position& p, const UndoRecord& undo) {
  p.st = undo;
  p.sideToMove = Opponent(p.sideToMove);
}

// Make and unmake for callers that know the side to move only at run time.
inline void MakeMoveOfSideToMove(Position& p, UndoRecord& undo, Move m) {
  if (p.sideToMove == White) MakeMove<White>(p, undo, m);
  else MakeMove<Black>(p, undo, m);
}
inline void UnmakeLastMove(Position& p, const UndoRecord& undo, Move m) {
  if (p.sideToMove == Black) UnmakeMove<White>(p, undo, m);
  else UnmakeMove<Black>(p, undo, m);
}

// Plays a move of the front end (a legal move, or the null move 0 "0000",
// which also starts the fifty-move count afresh) for good: the game's key
// history is trimmed first so that a game of any length fits.
void MakeRootMove(Position& p, Move m);
// Keeps the key history within its array on long games: only the keys the
// repetition test can still reach (the fifty-move counter's span) are kept.
void TrimHistory(Position& p);
