// Move words, attack look-ups, evasions, stored-move completion and the
// static exchange test.
#include <gtest/gtest.h>
#include <algorithm>
#include "board/movegen.h"
#include "board/notation.h"

namespace {
Position FromFen(const char* fen) {
  Position p;
  EXPECT_TRUE(SetPositionFromFen(p, fen)) << fen;
  return p;
}
bool Contains(const Move* begin, const Move* end, const Position& p, const char* text) {
  Move wanted = ParseCoordinateMove(p, text, true);
  return std::any_of(begin, end, [&](Move m) { return SameMove(m, wanted); });
}
}  // namespace

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

TEST(Attacks, SlidersStopAtTheFirstMan) {
  EXPECT_EQ(RookAttacks(A1, SquareBit(A4) | SquareBit(D1)),
            SquareBit(A2) | SquareBit(A3) | SquareBit(A4) | SquareBit(B1) | SquareBit(C1) | SquareBit(D1));
  // A bishop on c1 looked up with its own queen on d2 removed sees through it.
  Bitboard occ = SquareBit(C1) | SquareBit(D2);
  EXPECT_EQ(BishopAttacks(C1, occ & ~SquareBit(D2)) & SquareBit(H6), SquareBit(H6));
  EXPECT_EQ(BishopAttacks(C1, occ) & SquareBit(E3), 0u);
  EXPECT_EQ(QueenAttacks(D4, 0), RookAttacks(D4, 0) | BishopAttacks(D4, 0));
  EXPECT_EQ(PopCount(RookAttacks(D4, 0)), 14);
  EXPECT_EQ(PopCount(BishopAttacks(D4, 0)), 13);
  EXPECT_EQ(PawnAttacksWhite(SquareBit(A2) | SquareBit(H2)), SquareBit(B3) | SquareBit(G3));
  EXPECT_EQ(PawnAttacksBlack(SquareBit(A7)), SquareBit(B6));
}

TEST(Evasions, KingDoesNotStepBackAlongTheCheckingRay) {
  Position p = FromFen("8/8/8/8/r3K3/8/8/7k w - -");
  Move moves[MaxMoves];
  Move* end = GenerateEvasions<White>(p, moves, true, nullptr);
  EXPECT_FALSE(Contains(moves, end, p, "e4f4"));
  EXPECT_TRUE(Contains(moves, end, p, "e4e5"));
  EXPECT_FALSE(Contains(moves, end, p, "e4d4"));
}

TEST(Evasions, DoubleCheckAllowsOnlyKingMoves) {
  Position p = FromFen("4k3/8/8/8/8/5n2/8/R3r1K1 w - -");
  Move moves[MaxMoves];
  Move* end = GenerateEvasions<White>(p, moves, true, nullptr);
  for (Move* m = moves; m < end; ++m) EXPECT_EQ(FromSquare(*m), G1);
}

TEST(StoredMove, CompletionChecksTheBoard) {
  Position p = FromFen("4k3/8/8/3pP3/8/8/8/R3K3 w Q d6");
  Move ep = CompleteStoredMove<White>(p, uint32_t(D6) | (uint32_t(E5) << 10), 0);
  EXPECT_TRUE(IsEnPassant(ep));
  EXPECT_EQ(VictimClass(ep), PawnClass);
  Position noEp = FromFen("4k3/8/8/3pP3/8/8/8/R3K3 w Q -");
  Move plain = CompleteStoredMove<White>(noEp, uint32_t(D6) | (uint32_t(E5) << 10), 0);
  EXPECT_NE(plain, 0u);
  EXPECT_FALSE(IsEnPassant(plain));
  EXPECT_NE(CompleteStoredMove<White>(p, uint32_t(C1) | (uint32_t(E1) << 10), 0), 0u);   // castling with the right
  Position lost = FromFen("4k3/8/8/3pP3/8/8/8/R3K3 w - -");
  EXPECT_EQ(CompleteStoredMove<White>(lost, uint32_t(C1) | (uint32_t(E1) << 10), 0), 0u);
  EXPECT_EQ(CompleteStoredMove<White>(p, uint32_t(E1) | (uint32_t(E8) << 10), 0), 0u);    // not our man
  EXPECT_EQ(CompleteStoredMove<White>(p, uint32_t(E8) | (uint32_t(A1) << 10), 0), 0u);    // onto the king
  Position promo = FromFen("4k3/1P6/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(PromotionIndex(CompleteStoredMove<White>(promo, uint32_t(B8) | (uint32_t(B7) << 10), 0)), 5);
  EXPECT_EQ(HighWord(CompleteStoredMove<White>(p, uint32_t(E6) | (uint32_t(E5) << 10), 0)) >> 31, 1u);
}

TEST(Exchange, WinsAndLossesOnOneSquare) {
  // A knight that lands where a pawn guards it is lost.
  Position p = FromFen("4k3/8/3p4/8/4N3/8/8/4K3 w - -");
  Bitboard occ = p.occupied ^ SquareBit(E4) ^ SquareBit(C5);
  EXPECT_EQ(ExchangeTest<White>(p, C5, 0x60000, occ | SquareBit(C5), p.pieces[Black]) & 1, 0u);
  // Safe when nothing can take.
  EXPECT_EQ(ExchangeTest<White>(p, D2, 0x60000, (p.occupied ^ SquareBit(E4)) | SquareBit(D2), p.pieces[Black]) & 1, 1u);
  // A pawn guarded by a pawn: the rook that takes it is lost, the pawn that takes it is not.
  Position q = FromFen("4k3/8/2p5/3p4/4P3/8/8/3RK3 w - -");
  EXPECT_EQ(ExchangeTest<White>(q, D5, 0xA0000 - 0x20000, q.occupied ^ SquareBit(D1), q.pieces[Black]) & 1, 0u);
  EXPECT_EQ(ExchangeTest<White>(q, D5, 0x20000 - 0x20000, q.occupied ^ SquareBit(E4), q.pieces[Black]) & 1, 1u);
  // Unguarded: the rook wins the pawn and reports who took part (nobody).
  Position r = FromFen("4k3/8/8/3p4/8/8/8/3RK3 w - -");
  EXPECT_EQ(ExchangeTest<White>(r, D5, 0x80000, r.occupied ^ SquareBit(D1), r.pieces[Black]), 1u);
  // With the defenders restricted to none, a guarded square counts as safe.
  EXPECT_EQ(ExchangeTest<White>(q, D5, 0x80000, q.occupied ^ SquareBit(D1), 0) & 1, 1u);
}
