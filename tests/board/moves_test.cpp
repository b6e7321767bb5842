// Move words and their text (the generators, evasions among them, are
// checked by the perft counts of the reference positions).
#include <gtest/gtest.h>
#include "board/movegen.h"
#include "board/notation.h"
#include "tests/support/test_data.h"

TEST(Notation, ParsesAndPrintsCoordinateMoves) {
  Position p = FromFen("4k3/4P3/8/8/8/8/8/4K3 w - -");
  Move m = ParseCoordinateMove(p, "e7e8q", true);
  EXPECT_EQ(HighWord(m), PromoQueenHigh);
  EXPECT_EQ(LowWord(m) & 0xC0, 0xC0u);
  EXPECT_TRUE(IsPromotion<White>(m));
  EXPECT_EQ(MoveToText(m), "e7e8q");
  for (const char* text : {"e7e8n", "e7e8b", "e7e8r"}) EXPECT_EQ(MoveToText(ParseCoordinateMove(p, text, true)), text);
  EXPECT_EQ(ParseCoordinateMove(p, "a1a1", true), 0u);
  EXPECT_EQ(ParseCoordinateMove(p, "A1A1", true), 0u);
  EXPECT_EQ(ParseCoordinateMove(p, "0000", true), 0u);
  EXPECT_EQ(ParseCoordinateMove(p, "e9e8", true), 0u);
  EXPECT_EQ(ParseCoordinateMove(p, "e7", true), 0u);
  EXPECT_EQ(MoveToText(ParseCoordinateMove(p, "E1D1", true)), "e1d1");
  EXPECT_EQ(MoveToText(PrintableNullMove), "null");
}

TEST(Notation, FindsOnlyLegalMoves) {
  Position p = FromFen("k7/4P3/8/8/8/8/8/4K2R w K -");
  EXPECT_NE(FindLegalMove(p, "e1g1"), 0u);
  EXPECT_EQ(FindLegalMove(p, "e1c1"), 0u);
  EXPECT_EQ(FindLegalMove(p, "e7e8"), FindLegalMove(p, "e7e8q"));   // no letter: a queen
  EXPECT_NE(FindLegalMove(p, "e7e8n"), FindLegalMove(p, "e7e8q"));
  EXPECT_EQ(FindLegalMove(p, "h1h9"), 0u);
  EXPECT_EQ(FindLegalMove(p, "e1e3"), 0u);
}
