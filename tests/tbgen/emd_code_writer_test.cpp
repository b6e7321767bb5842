// The writer's side of the compressed files' prefix codes, read back by the
// engine's reader: codes with symbols longer than the decoder's first-level
// table, the writer's length limit, and the two-level form of the block
// code's lengths.
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <vector>
#include "tablebase/emd_canonical_code.h"
#include "tablebase/emd_code_lengths.h"
#include "tablebase/emd_format.h"
#include "tbgen/emd_bit_writer.h"
#include "tbgen/emd_code_builder.h"
#include "tbgen/emd_code_lengths_writer.h"

namespace {

using emd::CodeShape;

// Random symbols coded with a code whose lengths reach 31 bits decode back,
// and a single-symbol code takes no bits at all.
TEST(EmdCodeWriter, DecoderReadsWhatTheCodesWrite) {
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
TEST(EmdCodeWriter, BuiltLengthsAreLimitedCompleteCodes) {
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
TEST(EmdCodeWriter, BlockCodeLengthsRoundTrip) {
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

}  // namespace
