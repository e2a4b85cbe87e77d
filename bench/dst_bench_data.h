#pragma once

#include <cstdint>
#include <vector>

#include "stitchkit/decode/dst_records.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/bytestream.h"

namespace stitchkit::bench {

// Appends one DST record of the move (dx, dy) with `command` bits.
inline void appendRecord(std::vector<unsigned char>& bytes, int dx, int dy, std::uint8_t command) {
  const auto r = dst::encodeRecord(dx, dy, command);
  bytes.insert(bytes.end(), r.begin(), r.end());
}

// `records` decoded into stitches as the reading entry points do.
inline HXArray<HStitch> decodeDst(const std::vector<unsigned char>& records) {
  HXArray<HStitch> out;
  StitchArrayWrapper wrapper(out);
  StitchFilter filter(wrapper);
  StitchDecoderOptions options;
  setDefaultDecoderOptions(options);
  options.setFileFormat(kFormatDst);
  options.setStopsAsNeedles(1);
  MemoryInputBytestream stream(records.data(), records.size());
  filter.decodeStitches(options, 1, stream);
  return out;
}

// DST records of a large generated design: rows of satin-like zig-zag stitches running back
// and forth inside a 150 by 120 mm area, a jump to the next row every 40 records, a return to
// the top after 30 rows (a run of long jumps), a colour change (stop record) every 50,000 records,
// and the end record. `records` counts every record written.
inline std::vector<unsigned char> makeDstRecords(int records) {
  std::vector<unsigned char> bytes;
  bytes.reserve(static_cast<std::size_t>(records) * dst::kRecordSize);
  auto put = [&](int dx, int dy, std::uint8_t command) { appendRecord(bytes, dx, dy, command); };
  int written = 0;
  int direction = 1;
  int row = 0;
  int inRow = 0;
  int zig = 45;
  while (written < records - 1) {
    if (written % 50000 == 49999) {
      put(0, 0, dst::kCommandStop);
    } else if (++inRow == 40) {
      inRow = 0;
      direction = -direction;
      if (++row % 30 == 0) {
        // Back to the top: 29 rows of 40 units, in jumps of at most 116.
        for (int left = 1160; left > 0 && written < records - 2; left -= 116, ++written) {
          put(0, -(left < 116 ? left : 116), dst::kCommandJump);
        }
        continue;
      }
      put(0, 40, dst::kCommandJump);
    } else {
      zig = -zig;
      put(direction * 37, zig, dst::kCommandNormal);
    }
    ++written;
  }
  put(0, 0, dst::kCommandStop);  // turned into the end record 00 00 F3
  bytes[bytes.size() - 1] = dst::kEndByte2;
  return bytes;
}

// The generated million-record design read into stitches, once.
inline const HXArray<HStitch>& benchDesign() {
  static const HXArray<HStitch> stitches = decodeDst(makeDstRecords(1'000'000));
  return stitches;
}

}  // namespace stitchkit::bench
