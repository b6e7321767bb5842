// Chess960 mode: castling fields in X-FEN and Shredder-FEN, the keys of
// rights that name different rooks, castling written as the king taking
// its rook, and standard chess left as it was when the mode is off. (The
// castling rules themselves are checked by the perft files.)
#include <gtest/gtest.h>
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "tests/support/test_data.h"

namespace {
constexpr const char* Start518 = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

Position Read(const char* fen) { return FromFen(fen); }

std::string Fen(const char* fen) {
  const Position p = Read(fen);
  return PositionToFen(p);
}

// The texts of the legal castlings of the side to move.
std::vector<std::string> CastlingTexts(const Position& p) {
  std::vector<std::string> texts;
  MoveList legal;
  GenerateLegalMoves(p, legal);
  for (Move m : legal)
    if (IsChess960Castling(m) || IsCastling<White>(m) || IsCastling<Black>(m)) texts.push_back(MoveToText(m));
  return texts;
}
}  // namespace

TEST(Chess960, CastlingFieldsInBothForms) {
  Chess960Scope mode(true);
  // X-FEN and Shredder-FEN of one position read alike and write as Shredder-FEN.
  for (const char* fen : {"qrbbkrnn/pppppppp/8/8/8/8/PPPPPPPP/QRBBKRNN w KQkq - 0 1",
                          "qrbbkrnn/pppppppp/8/8/8/8/PPPPPPPP/QRBBKRNN w FBfb - 0 1",
                          "qrbbkrnn/pppppppp/8/8/8/8/PPPPPPPP/QRBBKRNN w bBfF - 0 1"}) {
    const Position p = Read(fen);
    EXPECT_EQ(p.st.castling, 15u) << fen;
    EXPECT_TRUE(p.chess960Castling) << fen;
    EXPECT_EQ(PositionToFen(p), "qrbbkrnn/pppppppp/8/8/8/8/PPPPPPPP/QRBBKRNN w FBfb -") << fen;
    EXPECT_TRUE(CheckPositionConsistency(p)) << fen;
  }
  // The standard setup stays standard inside: same key, two-step castling inside.
  const Position standard = Read(Start518);
  EXPECT_FALSE(standard.chess960Castling);
  EXPECT_EQ(PositionToFen(standard), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha -");
  EXPECT_EQ(Read("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1").st.key, standard.st.key);
  {
    Chess960Scope off(false);
    EXPECT_EQ(Read(Start518).st.key, standard.st.key);
  }
  // X-FEN's K and Q name the outermost rook of their side; a file letter an inner one.
  const Position outer = Read("4k3/8/8/8/8/8/8/RR2K1RR w KQ - 0 1");
  EXPECT_EQ(outer.castlingRook[0], H1);
  EXPECT_EQ(outer.castlingRook[1], A1);
  const Position inner = Read("4k3/8/8/8/8/8/8/RR2K1RR w GB - 0 1");
  EXPECT_EQ(inner.castlingRook[0], G1);
  EXPECT_EQ(inner.castlingRook[1], B1);
  // Rights that name different rooks of one board are different positions.
  EXPECT_NE(outer.st.key, inner.st.key);
  EXPECT_EQ(Fen("4k3/8/8/8/8/8/8/RR2K1RR w GB - 0 1"), "4k3/8/8/8/8/8/8/RR2K1RR w GB -");
  // A letter that names no rook beside the king gives no right.
  EXPECT_EQ(Read("4k3/8/8/8/8/8/8/4K2R w KQkC - 0 1").st.castling, 1u);
  EXPECT_EQ(Read("4k3/8/8/8/8/8/8/R3K3 w H - 0 1").st.castling, 0u);
  EXPECT_EQ(Read("4k3/8/8/8/8/8/8/R3K3 w - - 0 1").st.castling, 0u);
}

TEST(Chess960, StandardChessUnchangedWhenTheModeIsOff) {
  Chess960Scope mode(false);
  // Today's reading: KQkq in their order, file letters count for nothing.
  EXPECT_EQ(Read("r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1").st.castling, 0u);
  const Position p = Read("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_EQ(PositionToFen(p), "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  EXPECT_EQ(CastlingTexts(p), (std::vector<std::string>{"e1g1", "e1c1"}));
  EXPECT_NE(FindLegalMove(p, "e1g1"), 0u);
  EXPECT_EQ(FindLegalMove(p, "e1h1"), 0u);
}

TEST(Chess960, CastlingIsWrittenAndReadAsTheKingTakingItsRook) {
  Chess960Scope mode(true);
  // The standard setup: written e1h1 and e1a1, read from those and from e1g1 too.
  const Position standard = Read("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_EQ(CastlingTexts(standard), (std::vector<std::string>{"e1h1", "e1a1"}));
  const Move shortCastling = FindLegalMove(standard, "e1h1");
  EXPECT_TRUE(IsCastling<White>(shortCastling));
  EXPECT_EQ(FindLegalMove(standard, "e1g1"), shortCastling);
  EXPECT_TRUE(IsCastling<White>(FindLegalMove(standard, "e1a1")));
  // Another setup: the move word names the rook's square; the king's step there is no castling.
  const Position p = Read("1r2k1r1/1p4p1/8/8/8/8/1P4P1/1R2K1R1 w GBgb - 0 1");
  EXPECT_EQ(CastlingTexts(p), (std::vector<std::string>{"e1g1", "e1b1"}));
  const Move m = FindLegalMove(p, "e1g1");
  ASSERT_TRUE(IsChess960Castling(m));
  EXPECT_FALSE(IsCastling<White>(m));
  EXPECT_EQ(FindLegalMove(p, "e1c1"), 0u);   // the two-step is no move here
  // Playing it: king g1, rook f1, both rights of White gone, Black's kept.
  Position after = p;
  MakeRootMove(after, m);
  EXPECT_EQ(PositionToFen(after), "1r2k1r1/1p4p1/8/8/8/8/1P4P1/1R3RK1 b gb -");
  EXPECT_TRUE(CheckPositionConsistency(after));
  // The king that stays on its square (f1 to g1 with the rook from g1 to f1).
  const Position swap = Read("4k3/8/8/8/8/8/8/5KR1 w G - 0 1");
  after = swap;
  MakeRootMove(after, FindLegalMove(swap, "f1g1"));
  EXPECT_EQ(PositionToFen(after), "4k3/8/8/8/8/8/8/5RK1 b - -");
  // A rook move from the castling square loses only that rook's right.
  after = p;
  MakeRootMove(after, FindLegalMove(p, "b1a1"));
  EXPECT_EQ(PositionToFen(after), "1r2k1r1/1p4p1/8/8/8/8/1P4P1/R3K1R1 b Ggb -");
}

TEST(Chess960, CastlingRulesAtTheEdges) {
  Chess960Scope mode(true);
  // The rook on b1 shields c1 from the rook on a1: castling would leave the king in check.
  EXPECT_TRUE(CastlingTexts(Read("4k3/8/8/8/8/8/8/rRK5 w B - 0 1")).empty());
  EXPECT_EQ(CastlingTexts(Read("4k3/8/8/8/8/8/r7/1RK5 w B - 0 1")), std::vector<std::string>{"c1b1"});
  // An attacked square the rook alone crosses or reaches does not matter.
  EXPECT_EQ(CastlingTexts(Read("4k3/8/8/8/8/8/5r2/6KR w H - 0 1")), std::vector<std::string>{"g1h1"});
  // A man between the rook and its target does.
  EXPECT_TRUE(CastlingTexts(Read("4k3/8/8/8/8/8/8/RNK5 w A - 0 1")).empty());
  // Every square the king crosses must be safe (f1 only on the way to g1), and a king in check castles not.
  EXPECT_EQ(CastlingTexts(Read("5rk1/8/8/8/8/8/8/RK5R w HA - 0 1")), std::vector<std::string>{"b1a1"});
  EXPECT_TRUE(CastlingTexts(Read("2r1k3/8/8/8/8/8/8/RK5R w HA - 0 1")).empty());
  EXPECT_TRUE(CastlingTexts(Read("1r2k3/8/8/8/8/8/8/RK5R w HA - 0 1")).empty());
}
