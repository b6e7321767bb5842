#include "tablebase/tb_probe.h"

#include <algorithm>
#include <iterator>
#include "tablebase/nalimov_locate.h"
#include "tablebase/tb_cache.h"
#include "tablebase/tb_registry.h"

namespace tb {

namespace {
// kppkp, black to move: entries deeper than a byte can hold (mated in 127).
constexpr uint64_t KppkpDeepEntries[] = {56802428, 56811076, 56849992, 56858640,
                                         59592489, 67775659, 71071628};
constexpr int KppkpTable = 36;
constexpr int32_t MatedIn127 = -32639;
}  // namespace

int32_t WidenByte(int32_t b) {
  if (b == 0) return 0;
  if (b >= 1 && b <= 126) return 32640 + b;
  if (b <= -1 && b >= -126) return b - 32640;
  if (b == -127) return -32640;
  if (b == -128) return 32640;
  return UnknownTableValue;
}

Score ScoreOfTableValue(int32_t v) {
  if (v == 0) return 0;
  return v > 0 ? 2 * v - 57374 : 2 * v + 57372;
}

bool ProbeTablebase(const Position& p, Score& score) {
  if (p.st.castling) return false;   // the tables hold no position with a castling right
  const std::optional<nalimov::TableEntry> entry = nalimov::LocateEntry(p);
  if (!entry) return false;
  const nalimov::TableInfo& t = *entry->table;
  const int side = entry->fileSide == White ? 0 : 1;
  if (!SideOf(t.number, side).Registered()) return false;
  // No entry holds the position (the kings touch, say): reading past the
  // file would count as a read error and drop the file.
  if (entry->index >= t.entries[side]) return false;
  int32_t value;
  if (t.number == KppkpTable && side == 1 &&
      std::find(std::begin(KppkpDeepEntries), std::end(KppkpDeepEntries), entry->index) !=
          std::end(KppkpDeepEntries)) {
    value = MatedIn127;
  } else if (t.bits == 8) {
    value =
        WidenByte(ReadTableByte(t.number, side, entry->index / BlockBytes, int(entry->index % BlockBytes)));
  } else {
    const uint64_t block = entry->index / (BlockBytes / 2);
    const int offset = int(entry->index % (BlockBytes / 2)) * 2;
    const int32_t low = ReadTableByte(t.number, side, block, offset);
    const int32_t high =
        low == UnknownValue ? UnknownValue : ReadTableByte(t.number, side, block, offset + 1);
    value = high == UnknownValue ? UnknownTableValue : int16_t(uint16_t((low & 0xFF) | ((high & 0xFF) << 8)));
  }
  if (value == UnknownTableValue) return false;
  score = ScoreOfTableValue(value);
  return true;
}

}  // namespace tb
