// The prefix codes of the compressed files: which sets of lengths are codes,
// which bits each symbol gets, codes with symbols longer than the decoder's
// first-level table, the writer's length limit, and the two-level form of the
// block code's lengths.
#include <gtest/gtest.h>
#include <random>
#include <vector>
#include "tablebase/emd_canonical_code.h"
#include "tablebase/emd_code_builder.h"
#include "tablebase/emd_code_lengths.h"
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

// Random symbols coded with a code whose lengths reach 31 bits decode back,
// and a single-symbol code takes no bits at all.
TEST(EmdCode, DecoderReadsWhatTheCodesWrite) {
  std::vector<uint8_t> lengths;
  for (int l = 1; l <= 31; ++l) lengths.push_back(uint8_t(l));
  lengths.push_back(31);
  lengths.push_back(0);
  const int symbols = int(lengths.size());
  std::vector<uint32_t> codes(symbols);
  emd::AssignCanonicalCodes(lengths.data(), symbols, codes.data());
  emd::CanonicalDecoder decoder;
  ASSERT_TRUE(decoder.Build(lengths.data(), symbols));
  std::mt19937 random(7);
  std::vector<int> sent;
  std::vector<uint8_t> stream;
  emd::BitWriter out(stream);
  for (int i = 0; i < 2000; ++i) {
    const int s = int(random() % 32);   // 0..31: every length used
    sent.push_back(s);
    out.Put(codes[s], lengths[s]);
  }
  out.Flush();
  emd::BitReader in(stream.data(), stream.size());
  for (int s : sent) ASSERT_EQ(decoder.Decode(in), s);
  emd::BitReader empty(nullptr, 0);
  EXPECT_EQ(decoder.Decode(empty), -1);   // no bits: nothing to decode

  const uint8_t single[] = {0, 0, 1};
  ASSERT_TRUE(decoder.Build(single, 3));
  emd::BitReader nothing(nullptr, 0);
  EXPECT_EQ(decoder.Decode(nothing), 2);
  const uint8_t none[] = {0, 0};
  ASSERT_TRUE(decoder.Build(none, 2));
  EXPECT_EQ(decoder.Decode(nothing), -1);
}

// The writer's codes are complete, respect the limit, and give frequent
// symbols no longer codes than rare ones.
TEST(EmdCode, BuiltLengthsAreLimitedCompleteCodes) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 40; ++trial) {
    const int symbols = trial % 4 == 0 ? 64 : 1024;
    const int limit = trial % 3 == 0 ? 10 : 16;
    std::vector<uint64_t> counts(symbols, 0);
    const int used = trial == 0 ? 1 : trial == 1 ? 0 : int(random() % symbols) + 1;
    for (int i = 0; i < used; ++i) counts[random() % symbols] = trial % 2 ? uint64_t(1) << (random() % 40) : random() % 5 + 1;
    std::vector<uint8_t> lengths(symbols);
    emd::BuildCodeLengths(counts.data(), symbols, limit, lengths.data());
    ASSERT_EQ(emd::ClassifyCodeLengths(lengths.data(), symbols), CodeShape::Complete) << trial;
    for (int s = 0; s < symbols; ++s) {
      EXPECT_LE(lengths[s], limit);
      if (counts[s]) {
        EXPECT_GT(lengths[s], 0);
      }
      for (int t = 0; t < symbols; ++t)
        if (counts[s] && counts[s] > counts[t] && counts[t]) {
          ASSERT_LE(lengths[s], lengths[t]) << trial;
        }
    }
  }
}

// Every kind of run the two-level form has (single lengths, short and long
// repeats, a run over the whole table) reads back as written.
TEST(EmdCode, BlockCodeLengthsRoundTrip) {
  std::mt19937 random(13);
  for (int trial = 0; trial < 30; ++trial) {
    uint8_t lengths[emd::SymbolCount];
    for (int i = 0; i < emd::SymbolCount;) {
      const int run = trial == 0 ? emd::SymbolCount : int(random() % (random() % 2 ? 3 : 400)) + 1;
      const uint8_t value = uint8_t(random() % 32);
      for (int j = 0; j < run && i < emd::SymbolCount; ++j) lengths[i++] = value;
    }
    std::vector<uint8_t> stream;
    emd::BitWriter out(stream);
    emd::WriteCodeLengths(out, lengths);
    out.Flush();
    uint8_t read[emd::SymbolCount];
    emd::BitReader in(stream.data(), stream.size());
    ASSERT_TRUE(emd::ReadCodeLengths(in, read)) << trial;
    EXPECT_TRUE(std::equal(lengths, lengths + emd::SymbolCount, read)) << trial;
    // Any shorter stream runs out.
    emd::BitReader cut(stream.data(), stream.size() - 2);
    EXPECT_FALSE(emd::ReadCodeLengths(cut, read)) << trial;
  }
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
