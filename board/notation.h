// Coordinate move text as used on the protocol ("e2e4", "e7e8q").
#pragma once
#include <string>
#include "board/position.h"

// Reads a coordinate move; with useBoard the piece and capture flags are
// filled from the board. Returns 0 when the text is not a move.
Move ParseCoordinateMove(const Position& p, const char* text, bool useBoard);
// Coordinate text of a move ("null" for the printable null move).
std::string MoveToText(Move m);
// The legal move of the position that the text names, or 0. A pawn move to
// the last rank without a piece letter is taken as a queen promotion.
Move FindLegalMove(const Position& p, const char* text);
