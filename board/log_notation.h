// Short algebraic move text of the logs, in the letters of a figurine chess
// font: lower case for White, upper case for Black. Knight k/K, bishop j/J,
// rook l/L, queen m/M, king n/N; a capturing pawn i/I (other pawn moves carry
// no letter). Castling is 0-0 / 0-0-0, a check adds "+".
#pragma once
#include <string>
#include "board/position.h"

// Text of move m of `mover`, which has just been made on `after` (the side to
// move may still be `mover`). The captured man is read from the state block
// the move left (en passant counts as a capture); a promotion shows the letter
// of the new piece only ("me8").
std::string MoveToLogText(const Position& after, Move m, Color mover);
