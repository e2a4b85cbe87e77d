#pragma once

#include <cstdint>
#include <vector>

#include "stitchkit/decode/dst_records.h"

namespace stitchkit::bench {

// DST records of a large generated design: rows of satin-like stitches in several colours,
// jumps between rows and a colour change (stop record) every 50,000 records, ending with the
// end record. `records` counts every record written.
inline std::vector<unsigned char> makeDstRecords(int records) {
  std::vector<unsigned char> bytes;
  bytes.reserve(static_cast<std::size_t>(records) * dst::kRecordSize);
  auto put = [&](int dx, int dy, std::uint8_t command) {
    const auto r = dst::encodeRecord(dx, dy, command);
    bytes.insert(bytes.end(), r.begin(), r.end());
  };
  int written = 0;
  int direction = 1;
  while (written < records - 1) {
    if (written % 50000 == 49999) {
      put(0, 0, dst::kCommandStop);
    } else if (written % 400 == 399) {
      put(0, 100, dst::kCommandJump);
      direction = -direction;
    } else {
      put(direction * 37, (written % 2) ? 45 : -45, dst::kCommandNormal);
    }
    ++written;
  }
  put(0, 0, dst::kCommandStop);  // the caller's end: 00 00 F3
  bytes[bytes.size() - 1] = dst::kEndByte2;
  return bytes;
}

}  // namespace stitchkit::bench
