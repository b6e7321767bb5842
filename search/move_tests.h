// Questions the search asks about a move: does it give check, is a move
// from the table legal here, is it a passed pawn's push.
#pragma once
#include "board/movegen.h"

// Quiet move that checks the enemy king (direct or discovered), for ordering
// and for the quiescence search's quiet checks.
template <Color C> bool GivesCheck(const Position& p, Move m);
// The move is a legal move of the side to move (used for moves from the table).
template <Color C> bool IsPlayable(const Position& p, Move m);
// Pawn push that is passed or a candidate (no enemy pawn ahead on its file,
// enemy pawns on the neighbouring files balanced by own pawns).
template <Color C> bool IsPassedPawnPush(const Position& p, Move m);
// A passed or candidate pawn push to the mover's fifth rank or lower (counted
// from its own side): the table move gets an extension for it.
template <Color C> inline bool IsEarlyPasserPush(const Position& p, Move m) {
  return IsPassedPawnPush<C>(p, m) && RelativeRank<C>(ToSquare(m)) <= 4;
}
