// The evaluation: colour and wing symmetry over many positions, caches
// against cold evaluation, the rules and symmetries of its tables, and terms
// that must answer to the position.
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <utility>
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

TEST(Material, ImbalanceTableAndModel) {
  // The table is the model at every index of ordinary material, and the
  // white queen bit does not change it; the model favours either colour
  // alike, with the sign of the side it favours.
  for (int index = 0; index < 131072; ++index) {
    ASSERT_EQ(Imbalance[index & ~1], Imbalance[index | 1]) << index;
    if (index >= 118098) continue;
    const MaterialCounts m = DecodeImbalanceIndex(index);
    ASSERT_EQ(Imbalance[index], ImbalanceValue(m)) << index;
    MaterialCounts swapped = m;
    for (int* counts : {swapped.knights, swapped.bishops, swapped.rooks, swapped.pawns})
      std::swap(counts[0], counts[1]);
    ASSERT_EQ(ImbalanceValue(swapped), -ImbalanceValue(m)) << index;
  }
  // A lone minor piece cannot win, the bishop pair is worth having.
  EXPECT_LT(ImbalanceValue(MaterialCounts{{1, 0}, {0, 0}, {0, 0}, {0, 0}}), 0);
  EXPECT_GT(ImbalanceValue(MaterialCounts{{0, 0}, {2, 0}, {0, 0}, {0, 0}}), 0);
}

// Each adjustment option moves the value of its own men only, by ten
// internal units per centipawn (White's view): the king bishops stand on
// light squares for White and dark ones for Black. In play mode with Black
// to move the options of the two colours trade places.
TEST(Material, AdjustmentOptionsActOnTheirOwnMen) {
  const char* men[12] = {"4k3/8/8/8/8/8/4P3/4K3 w - -", "4k3/4p3/8/8/8/8/8/4K3 w - -",
                         "4k3/8/8/8/8/8/8/1N2K3 w - -", "1n2k3/8/8/8/8/8/8/4K3 w - -",
                         "4k3/8/8/8/8/8/8/4KB2 w - -",  "4kb2/8/8/8/8/8/8/4K3 w - -",
                         "4k3/8/8/8/8/8/8/2B1K3 w - -", "2b1k3/8/8/8/8/8/8/4K3 w - -",
                         "4k3/8/8/8/8/8/8/R3K3 w - -",  "r3k3/8/8/8/8/8/8/4K3 w - -",
                         "4k3/8/8/8/8/8/8/3QK3 w - -",  "3qk3/8/8/8/8/8/8/4K3 w - -"};
  const int zero[12] = {};
  for (int i = 0; i < 12; ++i) {
    int options[12] = {};
    options[i] = 25;
    for (const auto& [side, play] : {std::pair{White, false}, std::pair{Black, false}, std::pair{Black, true}}) {
      const int target = play ? i ^ 1 : i;
      for (int j = 0; j < 12; ++j) {
        const Position p = FromFen(men[j]);
        BuildAdjustmentTable(zero, White, false);
        const int base = ComputeMaterialDelta(p);
        BuildAdjustmentTable(options, side, play);
        EXPECT_EQ(ComputeMaterialDelta(p) - base, j != target ? 0 : j % 2 ? -250 : 250) << i << " " << j;
      }
    }
  }
  BuildAdjustmentTable(zero, White, false);
}

// The king-attack table against the formula it was computed from, growing
// with the attack in both lanes; the piece-square tables alike for both
// colours and wings, and the pawns' file weights in the lane of their colour
// and square colour.
TEST(EvalTables, RulesAndSymmetries) {
  EXPECT_EQ(CheckKingAttackTable(nullptr), 0);
  for (int i = 1; i < 512; ++i) {
    EXPECT_GE(KingAttackTable[i] >> 16, KingAttackTable[i - 1] >> 16) << i;
    EXPECT_GE(KingAttackTable[i] & 0xFFFF, KingAttackTable[i - 1] & 0xFFFF) << i;
  }
  for (int code = WhiteKnight; code <= WhiteKing; code += 2)
    for (Square s = 0; s < 64; ++s) {
      EXPECT_EQ(PieceSquare[code + 1][s], -PieceSquare[code][s ^ 56]);
      EXPECT_EQ(PieceSquare[code][s], PieceSquare[code][s ^ 7]);
    }
  // (The low half is signed, so read the weight as the position's sum would hold it.)
  auto weight = [](int code, Square s) { return uint32_t((uint64_t(PieceSquare[code][s]) + PstSumBase) >> 32); };
  const std::tuple<int, Square, int> lanes[] = {
      {WhitePawn, E2, 0}, {WhitePawn, D2, 1}, {BlackPawn, B7, 2}, {BlackPawn, C7, 3}};   // light, dark, light, dark
  for (const auto& [code, square, lane] : lanes) {
    EXPECT_NE(weight(code, square) >> (5 * lane) & 31, 0u) << square;
    EXPECT_EQ(weight(code, square) & ~(31u << (5 * lane)), 0u) << square;
  }
  Position start = FromFen(StartFen);
  EXPECT_EQ(uint32_t(start.st.pstSum >> 32), 10u | (10u << 5) | (10u << 10) | (10u << 15));
}

// The endgame scale depends on the material alone, alike for both colours
// and wings, and orders the endings as designed: opposite bishops drawish
// (most of all alone), same-coloured bishops and pawns alone decisive.
TEST(EvalTables, EndgameScale) {
  auto scale = [](const std::string& fen) {
    return int(ScaleTable[MaterialSignature(FromFen(fen).st.materialKey)]);
  };
  const std::string pawns = "4k3/pp6/8/8/8/8/PP6/4K3 w - -", opposite = "4k3/pp2b3/8/8/8/8/PP2B3/4K3 w - -",
                    same = "4k3/pp3b2/8/8/8/8/PP2B3/4K3 w - -",
                    oppositeRooks = "r3k3/pp2b3/8/8/8/8/PP2B3/R3K3 w - -";
  for (const std::string& fen : {pawns, opposite, same, oppositeRooks, std::string(StartFen),
                                 std::string("q3k3/pp2b3/8/8/8/8/PP2B3/Q3K3 w - -"),
                                 std::string("n3k3/pp6/8/8/8/8/PP6/N3K3 w - -"),
                                 std::string("4k3/pp3b2/8/8/8/8/PP1BB3/4K3 w - -")}) {
    EXPECT_EQ(scale(ColourFlipped(fen)), scale(fen)) << fen;
    EXPECT_EQ(scale(WingMirrored(fen)), scale(fen)) << fen;
  }
  EXPECT_LT(scale(opposite), scale(oppositeRooks));
  EXPECT_LT(scale(oppositeRooks), scale(StartFen));
  EXPECT_LT(scale(StartFen), scale(same));
  EXPECT_LT(scale(same), scale(pawns));
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

namespace {
// A term of the evaluation report (middlegame lane).
int TermMg(const char* fen, const std::string& term) {
  const std::string report = EvaluationReport(FromFen(fen));
  return std::atoi(report.c_str() + report.find(term) + term.size() + 1);
}
}  // namespace

TEST(Evaluation, KnightOutpostNeedsSafety) {
  // A knight on d5 that no black pawn can ever attack holds an outpost; a
  // black pawn on c7 with a free path to c6 takes it away.
  const int outpost = TermMg("4k3/p6p/8/3N4/8/8/P6P/4K3 w - -", "Knights");
  const int chased = TermMg("4k3/p1p4p/8/3N4/8/8/P6P/4K3 w - -", "Knights");
  EXPECT_GE(outpost - chased, 69);
  // Its own back rank is no outpost.
  EXPECT_LT(TermMg("4k3/p6p/8/8/8/8/P6P/1N2K3 w - -", "Knights"), 69);
}

TEST(Evaluation, RookFileBonuses) {
  // Open d-file: the full bonus; an enemy knight on it that a pawn guards
  // costs most of it; an own pawn in front removes it.
  const int open = TermMg("4k3/p6p/8/8/8/8/P6P/3RK3 w - -", "Rooks");
  const int guardedKnight = TermMg("4k3/p1p4p/3n4/8/8/8/P6P/3RK3 w - -", "Rooks");
  const int ownPawn = TermMg("4k3/p6p/8/8/8/8/P2P3P/3RK3 w - -", "Rooks");
  EXPECT_GT(open - guardedKnight, 183 - 163 - 1);
  EXPECT_GT(open - ownPawn, 150);
}
