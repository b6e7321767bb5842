// The parameter table: its text form reads back to the same weights, bad
// files are refused with a message and change nothing, and the tuned values
// keep every entry that is marked fixed.
#include <gtest/gtest.h>
#include <string>
#include "eval/eval_params.h"

namespace {

constexpr EvalParams TunedFile = {
#include "eval/eval_params_tuned.inc"
};

std::string Text(const EvalParams& p) { return FormatEvalParams(p); }

TEST(EvalParams, TextRoundTrip) {
  EvalParams changed = DefaultEvalParams;
  changed.passedBaseEg[3] += 17;
  changed.kingRankSharePercent[1] = 55;
  EvalParams read = DefaultEvalParams;
  std::string error;
  ASSERT_TRUE(ParseEvalParams(Text(changed), read, error)) << error;
  EXPECT_EQ(Text(read), Text(changed));
  // A partial file with comments changes only the rows it names.
  read = DefaultEvalParams;
  ASSERT_TRUE(ParseEvalParams("# tuned\n\nsecondRook 120   # redundancy\n", read, error)) << error;
  EXPECT_EQ(read.secondRook[0], 120);
  read.secondRook[0] = DefaultEvalParams.secondRook[0];
  EXPECT_EQ(Text(read), Text(DefaultEvalParams));
}

TEST(EvalParams, BadFilesRefused) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"noSuchWeight 1\n", "line 2: unknown parameter 'noSuchWeight'"},
      {"\nshelterByRank 1 2 3\n", "line 3: shelterByRank needs 4 values"},
      {"shelterByRank 1 2 3 4 5\n", "shelterByRank needs 4 values"},
      {"exchangeUp 3x0\n", "'3x0' is not an integer"},
      {"exchangeUp 99999999999999999999\n", "'99999999999999999999' is not an integer"},
      {"exchangeUp 20000\n", "value 20000 out of range"},
      {"pawnRankMg 0 -95 -84 -66 -36 -24 -16 0\n", "pawnRankMg entry 1 is fixed at -96"},
      {"pawnGainPieces 0\n", "pawnGainPieces must be at least 1"},
      {"kingRankSharePercent 100 160 25 0 0 0 0 0\n", "kingRankSharePercent entries lie in 0..100"},
  };
  for (const auto& c : cases) {
    EvalParams params = DefaultEvalParams;
    params.secondRook[0] = 77;   // what the file would replace must survive a refusal
    std::string error;
    EXPECT_FALSE(ParseEvalParams(std::string("secondRook 5\n") + c.text, params, error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(params.secondRook[0], 77) << c.text;
  }
}

TEST(EvalParams, TunedValuesKeepFixedEntries) {
  for (int r = 0; r < EvalParamRowCount; ++r) {
    const EvalParamRow& row = EvalParamRows[r];
    for (int i = 0; i < row.count; ++i) {
      if (row.fixedMask >> i & 1) {
        EXPECT_EQ(row.constField(TunedFile)[i], row.constField(DefaultEvalParams)[i]) << row.name << " " << i;
      }
    }
  }
  std::string error;
  EXPECT_TRUE(EvalParamsUsable(TunedFile, error)) << error;
}

}  // namespace
