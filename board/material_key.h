// The material key: a sum of one constant per man whose fields count the
// material (imbalance index, balance in pawns, game phase, bishop square
// colours, piece counts, number of men). Make/unmake keep it incrementally.
#pragma once
#include "board/piece.h"
#include "common/bitops.h"

// Material slot of a man: its piece code, except that a bishop on a dark
// square uses the king slots (12 White, 13 Black). Kings have no slot.
inline int MaterialSlot(int code, Square s) {
  return (TypeOf(code) == BishopType && (DarkSquares >> s & 1)) ? code + 6 : code;
}

// Indexed by material slot.
constexpr uint64_t MaterialKeyConstant[16] = {
  0, 0,
  0x01000000000205B2ULL, 0x00FFFFFFFFFE3342ULL,   // pawns
  0x0100010008060002ULL, 0x0100040007FA0006ULL,   // knights
  0x0101000410060012ULL, 0x010400100FFA0036ULL,   // bishops on light squares
  0x01001000300A00A2ULL, 0x010040002FF601E6ULL,   // rooks
  0x0100004070140001ULL, 0x010000806FEC0000ULL,   // queens
  0x0101000810060012ULL, 0x010400200FFA0036ULL,   // bishops on dark squares
  0, 0
};
// Both kings together: two men and the bias 128 of the balance field.
constexpr uint64_t MaterialKeyKings = 0x0200000001000000ULL;

// Field extraction.
inline int ImbalanceIndex(uint64_t mk) { return int(mk & 0x1FFFF); }
inline int MaterialBalanceField(uint64_t mk) { return int((mk >> 17) & 0xFF); }  // 128 + balance in pawns
inline int MaterialPhase(uint64_t mk) { return int((mk >> 25) & 0x1FF); }
inline int MaterialSignature(uint64_t mk) { return int((mk >> 34) & 0x3FFF); }

// What a signature counts (pawns do not enter it): bishops by side and
// square colour (0 or 1), queens (0 or 1), knights and rooks (0 to 3).
struct SignatureCounts {
  int whiteLightBishops = 0, whiteDarkBishops = 0, blackLightBishops = 0, blackDarkBishops = 0;
  int whiteQueens = 0, blackQueens = 0;
  int whiteKnights = 0, blackKnights = 0, whiteRooks = 0, blackRooks = 0;
};
// Bit 0 white bishop on light squares, 1 on dark, 2 and 3 the same for
// Black, 4 white queen, 5 black queen, 6-7 white knights, 8-9 black knights,
// 10-11 white rooks, 12-13 black rooks.
constexpr SignatureCounts CountsOfSignature(int sig) {
  return {sig & 1,         (sig >> 1) & 1,  (sig >> 2) & 1,   (sig >> 3) & 1,   (sig >> 4) & 1,
          (sig >> 5) & 1,  (sig >> 6) & 3,  (sig >> 8) & 3,   (sig >> 10) & 3,  (sig >> 12) & 3};
}
constexpr int SignatureOfCounts(const SignatureCounts& c) {
  return c.whiteLightBishops | c.whiteDarkBishops << 1 | c.blackLightBishops << 2 | c.blackDarkBishops << 3 |
         c.whiteQueens << 4 | c.blackQueens << 5 | c.whiteKnights << 6 | c.blackKnights << 8 |
         c.whiteRooks << 10 | c.blackRooks << 12;
}
inline int MenCount(uint64_t mk) { return int(mk >> 56); }

// Per-slot material adjustment (internal units) moved by captures and
// promotions into the position's material delta; rebuilt at every search start.
extern int32_t MaterialAdjustment[16];
