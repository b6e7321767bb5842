// Move-path enumeration (perft): the number of leaf positions of the legal
// move tree of a given depth. Exercises generation, make and unmake.
#pragma once
#include <cstdint>
#include "board/position.h"

// Called every so often during long counts; may throw to abandon the count.
using PerftInterrupt = void (*)();
uint64_t Perft(Position& p, int depth, PerftInterrupt interrupt = nullptr);
