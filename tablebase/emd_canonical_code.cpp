#include "tablebase/emd_canonical_code.h"
#include "tablebase/emd_format.h"

namespace emd {

CodeShape ClassifyCodeLengths(const uint8_t* lengths, int symbols) {
  uint32_t count[MaxCodeLength + 1] = {};
  int used = 0, onlyLength = 0;
  for (int s = 0; s < symbols; ++s) {
    if (lengths[s] > MaxCodeLength) return CodeShape::Broken;
    if (lengths[s] == 0) continue;
    ++count[lengths[s]];
    ++used;
    onlyLength = lengths[s];
  }
  if (used == 0) return CodeShape::Empty;
  if (used == 1) return onlyLength == 1 ? CodeShape::Single : CodeShape::Broken;
  // From the longest length up: the codes of one length pair up into codes
  // one bit shorter; a complete code leaves exactly the root.
  uint64_t pending = 0;
  for (int length = MaxCodeLength; length >= 1; --length) {
    pending += count[length];
    if (pending & 1) return CodeShape::Broken;
    pending /= 2;
  }
  return pending == 1 ? CodeShape::Complete : CodeShape::Broken;
}

void AssignCanonicalCodes(const uint8_t* lengths, int symbols, uint32_t* codes) {
  uint32_t count[MaxCodeLength + 1] = {};
  for (int s = 0; s < symbols; ++s) ++count[lengths[s]];
  count[0] = 0;
  uint32_t next[MaxCodeLength + 1] = {};
  uint32_t code = 0;
  for (int length = 1; length <= MaxCodeLength; ++length) {
    code = (code + count[length - 1]) << 1;
    next[length] = code;
  }
  for (int s = 0; s < symbols; ++s) codes[s] = lengths[s] ? next[lengths[s]]++ : 0;
}

bool CanonicalDecoder::Build(const uint8_t* lengths, int symbols) {
  table_.clear();
  sorted_.clear();
  single_ = -1;
  empty_ = true;
  maxLength_ = 0;
  const CodeShape shape = ClassifyCodeLengths(lengths, symbols);
  if (shape == CodeShape::Broken) return false;
  if (shape == CodeShape::Empty) return true;
  empty_ = false;
  if (shape == CodeShape::Single) {
    for (int s = 0; s < symbols; ++s)
      if (lengths[s]) single_ = s;
    return true;
  }
  std::vector<uint32_t> codes(symbols);
  AssignCanonicalCodes(lengths, symbols, codes.data());
  for (int length = 0; length <= MaxCodeLength; ++length) count_[length] = firstCode_[length] = 0;
  for (int s = 0; s < symbols; ++s) {
    const int length = lengths[s];
    if (length == 0) continue;
    if (count_[length]++ == 0) firstCode_[length] = codes[s];
    if (length > maxLength_) maxLength_ = length;
  }
  uint32_t place = 0;
  for (int length = 1; length <= MaxCodeLength; ++length) {
    firstSorted_[length] = place;
    place += count_[length];
  }
  sorted_.resize(place);
  uint32_t fill[MaxCodeLength + 1];
  for (int length = 0; length <= MaxCodeLength; ++length) fill[length] = firstSorted_[length];
  table_.assign(size_t(1) << TableBits, 0);
  for (int s = 0; s < symbols; ++s) {
    const int length = lengths[s];
    if (length == 0) continue;
    sorted_[fill[length]++] = uint16_t(s);
    if (length > TableBits) continue;
    const uint32_t first = codes[s] << (TableBits - length), last = (codes[s] + 1) << (TableBits - length);
    for (uint32_t i = first; i < last; ++i) table_[i] = uint16_t(s << 5 | length);
  }
  return true;
}

int CanonicalDecoder::DecodeLong(const BitReader& in, int& length) const {
  for (int l = TableBits + 1; l <= maxLength_; ++l) {
    const uint32_t offset = in.Peek(l) - firstCode_[l];
    if (offset < count_[l]) {
      length = l;
      return sorted_[firstSorted_[l] + offset];
    }
  }
  return -1;
}

}  // namespace emd
