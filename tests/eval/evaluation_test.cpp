// The evaluation: colour and wing symmetry over many positions, caches
// against cold evaluation, and the fixed rows of its tables.
#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <sstream>
#include "eval/eval_cache.h"
#include "eval/evaluate.h"
#include "eval/material.h"
#include "eval/pawns.h"
#include "board/piece_square.h"
#include "eval/score.h"
#include "eval/tables.h"
#include "group/hash_memory.h"
#include "search/hash_table.h"
#include "tests/support/fen_transforms.h"
#include "tests/support/test_data.h"

namespace {

Score Eval(const Position& p) {
  EvalInfo ei{};
  ei.sideSign = p.sideToMove == White ? 1 : -1;
  return EvaluateUncached(p, ei);
}

std::vector<std::string> AllFens() {
  std::vector<std::string> fens;
  for (const PerftCase& c : LoadPerftCases()) fens.push_back(c.fen);
  for (const std::string& s : LoadOpeningFens()) fens.push_back(s);
  return fens;
}
}  // namespace

TEST(EvaluationSymmetry, ColourFlipNegatesAndWingMirrorKeeps) {
  int mirrored = 0;
  for (const std::string& fen : AllFens()) {
    Position p = FromFen(fen);
    Position flipped = FromFen(ColourFlipped(fen));
    EXPECT_EQ(Eval(flipped), -Eval(p)) << fen << "  vs  " << ColourFlipped(fen);
    if (p.st.castling == 0) {
      ++mirrored;
      EXPECT_EQ(Eval(FromFen(WingMirrored(fen))), Eval(p)) << fen;
    }
  }
  EXPECT_GT(mirrored, 20);
}

TEST(EvaluationSymmetry, StartPositionIsTheMoveBonusOnly) {
  Position white = FromFen(StartFen);
  Position black = FromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -");
  EXPECT_EQ(Eval(white), 22 / 10);
  EXPECT_EQ(Eval(black), -(22 / 10));
  EXPECT_LE(std::abs(Eval(white)), 30);
}

TEST(EvaluationCaches, CachedResultsEqualColdOnes) {
  ASSERT_TRUE(AllocateHashTable(1));
  ClearPawnCache();
  for (const std::string& fen : AllFens()) {
    Position p = FromFen(fen);
    EvalInfo cold{}, first{}, second{};
    cold.sideSign = first.sideSign = second.sideSign = p.sideToMove == White ? 1 : -1;
    PawnInfo fresh;
    ComputePawnInfo(p, fresh);
    const Score reference = EvaluateUncached(p, cold);
    EXPECT_EQ(Evaluate(p, first), reference);
    EXPECT_EQ(Evaluate(p, second), reference);   // pawn cache hit now
    EXPECT_EQ(EvaluatePawns(p).score, fresh.score);
    EXPECT_EQ(first.attacks[0], cold.attacks[0]);
    int positional;
    ASSERT_TRUE(ProbeEvalCache(p.st.key, p.sideToMove, positional)) << fen;
    EXPECT_EQ(positional + MaterialCentipawns(p), reference) << fen;
    EXPECT_FALSE(ProbeEvalCache(p.st.key ^ (uint64_t(1) << 60), p.sideToMove, positional));
  }
}

TEST(Material, ImbalanceRows) {
  auto value = [](int wn, int bn, int wb, int bb, int wr, int br, int wp, int bp) {
    return ImbalanceValue(MaterialCounts{{wn, bn}, {wb, bb}, {wr, br}, {wp, bp}});
  };
  EXPECT_EQ(value(0, 0, 0, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(value(1, 0, 0, 0, 0, 0, 0, 0), -3072);
  EXPECT_EQ(value(0, 1, 0, 0, 0, 0, 0, 0), 3072);
  EXPECT_EQ(value(0, 0, 0, 0, 1, 0, 0, 0), 580);
  EXPECT_EQ(value(0, 0, 0, 0, 0, 0, 1, 0), 171);
  EXPECT_EQ(value(0, 0, 2, 0, 0, 0, 0, 0), 1109);
  EXPECT_EQ(value(1, 0, 1, 0, 0, 0, 0, 0), 251);
  EXPECT_EQ(value(0, 0, 0, 1, 1, 0, 0, 0), -1735);
  // The table is the model at every index of ordinary material, and the
  // white queen bit does not change it.
  for (int index = 0; index < 131072; ++index) {
    if (index < 118098) {
      ASSERT_EQ(Imbalance[index], ImbalanceValue(DecodeImbalanceIndex(index))) << index;
    }
    ASSERT_EQ(Imbalance[index & ~1], Imbalance[index | 1]) << index;
  }
}


TEST(Material, AdjustmentOptions) {
  int options[12] = {};
  BuildAdjustmentTable(options, White, false);
  EXPECT_EQ(MaterialAdjustment[WhitePawn], -30);   // each pawn 3 cp below the bare scale
  EXPECT_EQ(MaterialAdjustment[BlackPawn], 30);
  EXPECT_EQ(MaterialAdjustment[WhiteQueen], -300);
  Position p = FromFen("4k3/8/8/8/8/8/4P3/4K3 w - -");
  EXPECT_EQ(ComputeMaterialDelta(p), -30);
  options[0] = 10;   // White Pawn cp
  BuildAdjustmentTable(options, White, false);
  EXPECT_EQ(MaterialAdjustment[WhitePawn], 70);
  options[0] = 0;
  options[2] = 50;   // White Knight cp: in play mode with Black to move it acts on Black's knights
  BuildAdjustmentTable(options, Black, true);
  EXPECT_EQ(MaterialAdjustment[BlackKnight], -(50 - 9) * 10);
  EXPECT_EQ(MaterialAdjustment[WhiteKnight], -90);
  int bishops[12] = {0, 0, 0, 0, 100, 200, 300, 400, 0, 0, 0, 0};
  BuildAdjustmentTable(bishops, White, false);
  // Bishops by the colour of their square: White's king bishop on light squares, Black's on dark ones.
  EXPECT_EQ(ComputeMaterialDelta(FromFen("4k3/8/8/8/8/8/8/4KB2 w - -")), 910);
  EXPECT_EQ(ComputeMaterialDelta(FromFen("4k3/8/8/8/8/8/8/2B1K3 w - -")), 2910);
  EXPECT_EQ(ComputeMaterialDelta(FromFen("2b1k3/8/8/8/8/8/8/4K3 w - -")), -3910);
  EXPECT_EQ(ComputeMaterialDelta(FromFen("4kb2/8/8/8/8/8/8/4K3 w - -")), -1910);
  int zero[12] = {};
  BuildAdjustmentTable(zero, White, false);
}

TEST(EvalTables, FixedRows) {
  auto pair = [](int32_t v) { return std::make_pair(v >> 16, v & 0xFFFF); };
  EXPECT_EQ(pair(KingAttackTable[43]), std::make_pair(3, 2));
  EXPECT_EQ(pair(KingAttackTable[60]), std::make_pair(168, 123));
  EXPECT_EQ(pair(KingAttackTable[511]), std::make_pair(7185, 5269));
  EXPECT_EQ(CheckKingAttackTable(nullptr), 0);

  // Knight tropism around a king on g8.
  EXPECT_EQ(KnightTropism[G8][E6], 29);
  EXPECT_EQ(KnightTropism[G8][F6], 23);
  for (Square s : {E5, F5, G5, H5, D6, G6, D7, F7, H7, D8, E8, F8, H8}) EXPECT_EQ(KnightTropism[G8][s], 22) << s;
  for (Square s : {D5, F4, G4, H4, E7}) EXPECT_EQ(KnightTropism[G8][s], 8) << s;
  EXPECT_EQ(KnightTropism[G8][G7], 6);
  EXPECT_EQ(KnightTropism[G8][E4], 0);

  // Piece-square entries (White; Black mirrored and negated).
  auto pst = [](int code, Square s) {
    const int64_t v = PieceSquare[code][s];
    const PackedScore low = PackedScore(uint32_t(uint64_t(v)));
    return std::make_pair(MiddlegameOf(low), EndgameOf(low));
  };
  EXPECT_EQ(pst(WhitePawn, E2), std::make_pair(-66, -230));
  EXPECT_EQ(pst(WhiteKnight, D5), std::make_pair(40, 4));
  EXPECT_EQ(pst(WhiteRook, A1), std::make_pair(-300, -250));
  EXPECT_EQ(pst(WhiteKing, E4), std::make_pair(-40, 240));
  for (int code = WhiteKnight; code <= WhiteKing; code += 2)
    for (Square s = 0; s < 64; ++s) {
      EXPECT_EQ(PieceSquare[code + 1][s], -PieceSquare[code][s ^ 56]);
      EXPECT_EQ(PieceSquare[code][s], PieceSquare[code][s ^ 7]);
    }
  // Pawns carry their file weight by square colour in the high word.
  // (The low half is signed, so read the weight as the position's sum would hold it.)
  auto weight = [](int code, Square s) { return int((uint64_t(PieceSquare[code][s]) + PstSumBase) >> 32); };
  EXPECT_EQ(weight(WhitePawn, E2), 4);          // e2 light: bits 0-4
  EXPECT_EQ(weight(WhitePawn, D2), 4 << 5);     // d2 dark: bits 5-9
  EXPECT_EQ(weight(BlackPawn, B7), 2 << 10);    // b7 light: bits 10-14
  EXPECT_EQ(weight(BlackPawn, C7), 3 << 15);    // c7 dark: bits 15-19
  Position start = FromFen(StartFen);
  EXPECT_EQ(uint32_t(start.st.pstSum >> 32), 10u | (10u << 5) | (10u << 10) | (10u << 15));
}

TEST(EvalTables, EndgameScale) {
  auto scale = [](const char* fen) { return int(ScaleTable[MaterialSignature(FromFen(fen).st.materialKey)]); };
  EXPECT_EQ(scale("4k3/pp6/8/8/8/8/PP6/4K3 w - -"), 192);
  EXPECT_EQ(scale("4k3/pp2b3/8/8/8/8/PP2B3/4K3 w - -"), 57);       // e2 light, e7 dark
  EXPECT_EQ(scale("4k3/pp3b2/8/8/8/8/PP2B3/4K3 w - -"), 140);      // e2 and f7 both light
  EXPECT_EQ(scale("r3k3/pp2b3/8/8/8/8/PP2B3/R3K3 w - -"), 102);
  EXPECT_EQ(scale("q3k3/pp2b3/8/8/8/8/PP2B3/Q3K3 w - -"), 108);
  EXPECT_EQ(scale("n3k3/pp2b3/8/8/8/8/PP2B3/N3K3 w - -"), 108);
  EXPECT_EQ(scale("rn2k3/pp2b3/8/8/8/8/PP2B3/RN2K3 w - -"), 115);
  EXPECT_EQ(scale("q3k3/pp6/8/8/8/8/PP6/Q3K3 w - -"), 115);
  EXPECT_EQ(scale("n3k3/pp6/8/8/8/8/PP6/N3K3 w - -"), 140);
  EXPECT_EQ(scale("4k3/pp3b2/8/8/8/8/PP1BB3/4K3 w - -"), 128);     // two bishops against one
  EXPECT_EQ(scale(StartFen), 128);
}

TEST(Evaluation, ScalingAndRookEndings) {
  // Pawn ending: the whole score is scaled by 1.5 (plus the pawn-ending terms).
  Position pawns = FromFen("4k3/8/8/8/8/8/3PP3/4K3 w - -");
  EXPECT_GT(Eval(pawns), 200);
  // Rook ending scaling option: 0 gives 0, 200 doubles.
  Position rooks = FromFen("4k3/r7/8/8/P7/8/8/R3K3 w - -");
  const Score normal = Eval(rooks);
  RookEndgameScaling = 0;
  EXPECT_EQ(Eval(rooks), 0);
  RookEndgameScaling = 200;
  EXPECT_NEAR(Eval(rooks), 2 * normal, 1);
  RookEndgameScaling = 100;
  // Own rook in front of the passer on the seventh, enemy rook behind it attacking: 80 less.
  Position behind = FromFen("R7/P5k1/8/8/8/8/r7/6K1 w - -");
  Position aside = FromFen("R7/P5k1/8/8/8/8/1r6/6K1 w - -");
  EvalInfo a{}, b{};
  a.sideSign = b.sideSign = 1;
  const int diff = EvaluateUncached(aside, b) - EvaluateUncached(behind, a);
  EXPECT_GE(diff, 60);
}

// The knights' term of the evaluation report (middlegame lane).
int KnightTermMg(const char* fen) {
  const std::string report = EvaluationReport(FromFen(fen));
  const size_t at = report.find("Knights");
  return std::atoi(report.c_str() + at + 8);
}

TEST(Evaluation, KnightOutpostNeedsSafety) {
  // A knight on d5 that no black pawn can ever attack holds an outpost; a
  // black pawn on c7 with a free path to c6 takes it away.
  const int outpost = KnightTermMg("4k3/p6p/8/3N4/8/8/P6P/4K3 w - -");
  const int chased = KnightTermMg("4k3/p1p4p/8/3N4/8/8/P6P/4K3 w - -");
  EXPECT_GE(outpost - chased, 69);
  // Its own back rank is no outpost.
  EXPECT_LT(KnightTermMg("4k3/p6p/8/8/8/8/P6P/1N2K3 w - -"), 69);
}

namespace {
int RookTermMg(const char* fen) {
  const std::string report = EvaluationReport(FromFen(fen));
  return std::atoi(report.c_str() + report.find("Rooks") + 6);
}
}  // namespace

TEST(Evaluation, RookFileBonuses) {
  // Open d-file: the full bonus; an enemy knight on it that a pawn guards
  // costs most of it; an own pawn in front removes it.
  const int open = RookTermMg("4k3/p6p/8/8/8/8/P6P/3RK3 w - -");
  const int guardedKnight = RookTermMg("4k3/p1p4p/3n4/8/8/8/P6P/3RK3 w - -");
  const int ownPawn = RookTermMg("4k3/p6p/8/8/8/8/P2P3P/3RK3 w - -");
  EXPECT_GT(open - guardedKnight, 183 - 163 - 1);
  EXPECT_GT(open - ownPawn, 150);
}
