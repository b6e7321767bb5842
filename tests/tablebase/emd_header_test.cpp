// The reader against a file assembled here bit by bit, so that the bit order,
// the code assignment, the two-level code lengths and the block table are
// checked without the compressor; then every field of that header damaged in
// turn, each refused with the kind of error the registration reports.
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include "tablebase/emd_checksum.h"
#include "tablebase/emd_decoder.h"
#include "tablebase/emd_file.h"
#include "tests/support/emd_test_tables.h"
#include "tests/tablebase/emd_damage.h"

namespace {

using emd::EmdError;

// Bits written as text, most significant first.
struct Bits {
  std::string text;
  Bits& Add(const std::string& bits) { return text += bits, *this; }
  Bits& Add(uint32_t value, int width) {
    for (int i = width - 1; i >= 0; --i) text += (value >> i) & 1 ? '1' : '0';
    return *this;
  }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> bytes((text.size() + 7) / 8, 0);
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == '1') bytes[i / 8] |= uint8_t(0x80 >> (i % 8));
    return bytes;
  }
};

// The code lengths of a block code with three symbols: 'A' (65) 1 bit, the
// match of 3 bytes at distance slot 0 (symbol 258) and the match of 16 or 17
// bytes at slot 0 (symbol 271) 2 bits each.
//
// Level 1, W = 2: code A gives symbol 32 ("repeat length 0") 1 bit and
// symbols 1 and 2 ("length 1", "length 2") 2 bits each, so, shortest codes
// first and from the low end: 32 = 0, 1 = 10, 2 = 11. Code B gives the run
// symbols 10, 37, 39, 41 2 bits each: 00, 01, 10, 11.
// overrunZeros: the zero count after entry 122 says 6, one past entry 127.
std::string ThreeSymbolCodeLengths(bool overrunZeros = false) {
  int simple[128] = {};
  simple[1] = simple[2] = 2, simple[32] = 1;
  simple[64 + 10] = simple[64 + 37] = simple[64 + 39] = simple[64 + 41] = 2;
  Bits bits;
  bits.Add(2, 5);
  for (int i = 0; i < 128; ++i) {
    bits.Add(uint32_t(simple[i]), 2);
    if (simple[i]) continue;
    int zeros = 0;
    while (zeros < 15 && i + 1 + zeros < 128 && simple[i + 1 + zeros] == 0) ++zeros;
    bits.Add(uint32_t(zeros + (overrunZeros && i == 122)), 4);
    i += zeros;
  }
  // Level 2, 1024 lengths: 65 zeros (run symbol 37: 2^5 + x + 33, x = 0 in
  // 5 bits), a 1, 192 zeros (39: 2^7 + 31 + 33), a 2, 12 zeros (10: 10 + 2),
  // a 2, 752 zeros (41: 2^9 + 207 + 33).
  bits.Add("0").Add("01").Add(0, 5).Add("10");
  bits.Add("0").Add("10").Add(31, 7).Add("11");
  bits.Add("0").Add("00").Add("11");
  bits.Add("0").Add("11").Add(207, 9);
  return bits.text;
}

uint32_t UsualCrc32Update(uint32_t crc, const std::vector<uint8_t>& bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int step = 0; step < 8; ++step) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return crc;
}

enum class Checksum { Ours, UsualTable, UsualCrc32 };

struct HandMadeFile {
  int log2BlockSize = 5;   // 32-byte blocks keep the file small
  uint32_t blockCount = 2;
  uint8_t distanceCount = 24;
  uint32_t tag = 0x004001F5;
  int headerLengthChange = 0;
  std::string codeLengths = ThreeSymbolCodeLengths();
  // Block 0: 32 bytes stored as they are (size field 0: a whole block).
  // Block 1: 'A', match of 3 ("10"), match of 16 + 1 ("11" and extra bit 1):
  // 21 bytes of 'A' from one byte 0101 1100.
  std::vector<uint8_t> block1 = {0x5C};
  uint32_t lastBlockSize = 21;
  Checksum checksum = Checksum::Ours;

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> file(emd::Banner, emd::Banner + emd::BannerBytes);
    auto put32 = [&](uint32_t v) {
      for (int shift = 24; shift >= 0; shift -= 8) file.push_back(uint8_t(v >> shift));
    };
    put32(0);   // header length, filled in below
    file.push_back(0), file.push_back(0);
    file.push_back(uint8_t(log2BlockSize)), file.push_back(distanceCount);
    put32(blockCount);
    put32(tag);
    file.resize(file.size() + 8 * 2, 0);   // the per-block words of the two blocks
    Bits packed;
    packed.Add(0, log2BlockSize).Add(uint32_t(block1.size()), log2BlockSize);
    packed.Add(lastBlockSize, log2BlockSize);
    for (uint32_t d = 1; d <= 24; ++d) packed.Add(d, log2BlockSize);   // D0 = 1
    for (uint8_t b : packed.Bytes()) file.push_back(b);
    for (uint8_t b : Bits{codeLengths}.Bytes()) file.push_back(b);
    const uint32_t length = uint32_t(file.size() + 4 + headerLengthChange);
    for (int i = 0; i < 4; ++i) file[64 + i] = uint8_t(length >> (24 - 8 * i));
    uint32_t sum = 0;
    if (checksum == Checksum::Ours) sum = emd::HeaderChecksum(file.data(), file.size());
    if (checksum == Checksum::UsualTable) sum = UsualCrc32Update(0, file, file.size());
    if (checksum == Checksum::UsualCrc32) sum = ~UsualCrc32Update(~0u, file, file.size());
    put32(sum);
    for (int i = 0; i < 32; ++i) file.push_back(uint8_t('a' + i % 26));
    file.insert(file.end(), block1.begin(), block1.end());
    return file;
  }
};

struct Damage {
  std::function<void(HandMadeFile&)> field;
  std::function<void(std::vector<uint8_t>&)> bytes;
};
Damage FieldDamage(std::function<void(HandMadeFile&)> f) { return {std::move(f), {}}; }
Damage ByteDamage(std::function<void(std::vector<uint8_t>&)> f) { return {{}, std::move(f)}; }

EmdError OpenError(const std::vector<uint8_t>& bytes) {
  emd::EmdFile file;
  return file.OpenMemory(bytes.data(), bytes.size());
}

TEST(EmdHeader, HandAssembledFileReads) {
  const std::vector<uint8_t> bytes = HandMadeFile().Bytes();
  emd::EmdFile file;
  ASSERT_EQ(file.OpenMemory(bytes.data(), bytes.size()), EmdError::None);
  const emd::EmdHeader& header = file.Header();
  EXPECT_EQ(header.blockSize, 32u);
  EXPECT_EQ(header.blockCount, 2u);
  EXPECT_EQ(header.lastBlockSize, 21u);
  EXPECT_EQ(header.UncompressedSize(), 53u);
  EXPECT_EQ(header.distances[0], 1u);
  EXPECT_EQ(header.distances[23], 24u);
  EXPECT_TRUE(header.StoredRaw(0));
  EXPECT_FALSE(header.StoredRaw(1));
  EXPECT_EQ(header.BlockOffset(1), header.BlockOffset(0) + 32);
  EXPECT_EQ(header.BlockOffset(0), header.headerLength);
  std::vector<uint8_t> out(32);
  ASSERT_EQ(file.ReadBlock(0, out.data()), EmdError::None);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abcdefghijklmnopqrstuvwxyzabcdef");
  ASSERT_EQ(file.ReadBlock(1, out.data()), EmdError::None);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 21), std::string(21, 'A'));
}

// Each damaged field and the error it gives.
TEST(EmdHeader, DamagedFieldsAreRefused) {
  struct Case {
    const char* what;
    Damage damage;
    EmdError expected;
  };
  const std::vector<Case> cases = {
      {"banner", ByteDamage([](std::vector<uint8_t>& b) { b[14] = 'd'; }), EmdError::ReadError},
      {"shorter than the fixed fields", ByteDamage([](std::vector<uint8_t>& b) { b.resize(79); }),
       EmdError::ReadError},
      {"header length 83", FieldDamage([](HandMadeFile& f) {
         f.headerLengthChange = 83 - int(HeaderLength(HandMadeFile().Bytes()));
       }),
       EmdError::FileBroken},
      {"header longer than the file", FieldDamage([](HandMadeFile& f) { f.headerLengthChange = 40; }),
       EmdError::FileBroken},
      {"block size 2^17", FieldDamage([](HandMadeFile& f) { f.log2BlockSize = 17; }), EmdError::FileBroken},
      {"23 distances", FieldDamage([](HandMadeFile& f) { f.distanceCount = 23; }), EmdError::FileBroken},
      {"format tag", FieldDamage([](HandMadeFile& f) { f.tag = 0x004001F6; }), EmdError::FileBroken},
      {"no blocks", FieldDamage([](HandMadeFile& f) { f.blockCount = 0; }), EmdError::FileBroken},
      {"more blocks than the header holds", FieldDamage([](HandMadeFile& f) { f.blockCount = 100000; }),
       EmdError::FileBroken},
      {"blocks past the end of the file", ByteDamage([](std::vector<uint8_t>& b) { b.pop_back(); }),
       EmdError::FileBroken},
      {"usual CRC-32 table", FieldDamage([](HandMadeFile& f) { f.checksum = Checksum::UsualTable; }),
       EmdError::FileBroken},
      {"usual CRC-32", FieldDamage([](HandMadeFile& f) { f.checksum = Checksum::UsualCrc32; }),
       EmdError::FileBroken},
      {"checksum byte", ByteDamage([](std::vector<uint8_t>& b) { b[HeaderLength(b) - 1] ^= 1; }),
       EmdError::FileBroken},
      {"code lengths cut short", FieldDamage([](HandMadeFile& f) { f.codeLengths.resize(100); }),
       EmdError::FileBroken},
      // Level 1 where the zero count after entry 122 runs past entry 127.
      {"zero run past the 128 entries",
       FieldDamage([](HandMadeFile& f) { f.codeLengths = ThreeSymbolCodeLengths(true); }),
       EmdError::FileBroken},
      // The last run of 752 zeros made 753 (x = 208): past entry 1024.
      {"run past the 1024 lengths",
       FieldDamage([](HandMadeFile& f) { f.codeLengths.replace(f.codeLengths.size() - 9, 9, "011010000"); }),
       EmdError::FileBroken},
      // The 'A' made 2 bits long: three codes of 2 bits are not complete.
      {"incomplete block code",
       FieldDamage([](HandMadeFile& f) {
         const size_t at = f.codeLengths.size() - 9 - 2 - 1 - 2 - 2 - 1 - 2 - 7 - 2 - 1 - 2;
         ASSERT_EQ(f.codeLengths.substr(at, 2), "10");
         f.codeLengths.replace(at, 2, "11");
       }),
       EmdError::FileBroken},
  };
  for (const Case& c : cases) {
    HandMadeFile file;
    if (c.damage.field) c.damage.field(file);
    std::vector<uint8_t> bytes = file.Bytes();
    if (c.damage.bytes) c.damage.bytes(bytes);
    EXPECT_EQ(OpenError(bytes), c.expected) << c.what;
  }
}

// Blocks whose bits are damaged fail to decode, never write past their size.
TEST(EmdHeader, DamagedBlocksFail) {
  struct Case {
    const char* what;
    std::vector<uint8_t> block;
  };
  const std::vector<Case> cases = {
      {"match before the start of the block", {0x80}},   // "10": a match with nothing behind it
      {"bits run out", {0x00}},                           // eight 'A's of the 21
      {"extra bits run out", {0x03}},                     // six 'A's, then "11" with no extra bit
  };
  for (const Case& c : cases) {
    HandMadeFile file;
    file.block1 = c.block;
    const std::vector<uint8_t> bytes = file.Bytes();
    emd::EmdFile reader;
    ASSERT_EQ(reader.OpenMemory(bytes.data(), bytes.size()), EmdError::None) << c.what;
    std::vector<uint8_t> out(21);
    EXPECT_EQ(reader.ReadBlock(1, out.data()), EmdError::FileBroken) << c.what;
  }
}

}  // namespace
