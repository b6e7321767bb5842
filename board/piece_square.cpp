#include "board/piece_square.h"

int64_t PieceSquare[16][64];
int64_t CastlingRightsBonus[16];
int64_t CastlingLossDelta[16];
