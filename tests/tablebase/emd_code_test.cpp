// The prefix codes of the compressed files: which sets of lengths are codes,
// which bits each symbol gets, and the match-length code. What the writer
// makes of them is tested with the generator (tests/tbgen/emd_code_writer_test.cpp).
#include <gtest/gtest.h>
#include <vector>
#include "tablebase/emd_canonical_code.h"
#include "tablebase/emd_format.h"

namespace {

using emd::CodeShape;

TEST(EmdCode, ShapesOfCodeLengths) {
  struct Case {
    std::vector<uint8_t> lengths;
    CodeShape shape;
  };
  const std::vector<Case> cases = {
      {{0, 0, 0}, CodeShape::Empty},
      {{0, 1, 0}, CodeShape::Single},
      {{0, 2, 0}, CodeShape::Broken},      // one symbol must have length 1
      {{1, 1}, CodeShape::Complete},
      {{1, 2, 3, 3}, CodeShape::Complete},
      {{1, 2}, CodeShape::Broken},         // incomplete
      {{1, 2, 3}, CodeShape::Broken},
      {{1, 1, 1}, CodeShape::Broken},      // over-full
      {{1, 2, 2, 3}, CodeShape::Broken},
      {{1, 32}, CodeShape::Broken},        // longer than 31
  };
  for (const Case& c : cases) EXPECT_EQ(emd::ClassifyCodeLengths(c.lengths.data(), int(c.lengths.size())), c.shape);
  // 31 bits is the longest: lengths 1, 2, ..., 31, 31 are complete.
  std::vector<uint8_t> deep;
  for (int l = 1; l <= 31; ++l) deep.push_back(uint8_t(l));
  deep.push_back(31);
  EXPECT_EQ(emd::ClassifyCodeLengths(deep.data(), int(deep.size())), CodeShape::Complete);
}

// Shortest codes first, from the low end of the code space; within one
// length by symbol number.
TEST(EmdCode, CodesAreAssignedFromTheLowEnd) {
  const uint8_t lengths[] = {3, 0, 2, 1, 3, 0};
  uint32_t codes[6];
  emd::AssignCanonicalCodes(lengths, 6, codes);
  EXPECT_EQ(codes[3], 0b0u);
  EXPECT_EQ(codes[2], 0b10u);
  EXPECT_EQ(codes[0], 0b110u);
  EXPECT_EQ(codes[4], 0b111u);
}

TEST(EmdCode, MatchLengthsCoverEveryLengthOnce) {
  for (uint32_t length = 1; length <= 70000; ++length) {
    const emd::LengthCode c = emd::EncodeMatchLength(length);
    ASSERT_LT(c.code, emd::LengthCodeCount);
    ASSERT_EQ(c.extraBits, emd::LengthExtraBits(c.code));
    ASSERT_LT(c.extra, 1u << c.extraBits);
    ASSERT_EQ(emd::MatchLength(c.code, c.extra), length);
  }
  EXPECT_EQ(emd::EncodeMatchLength(15).code, 14);
  EXPECT_EQ(emd::EncodeMatchLength(16).code, 15);
  EXPECT_EQ(emd::EncodeMatchLength(8192).code, 26);
}

}  // namespace
