#pragma once

#include <array>
#include <cstddef>

#include "stitchkit/platform/h_list.h"

// The laser condition record (the ".LT0" side file or section of a design for machines with
// laser heads), 31,697 bytes, blank unless said otherwise:
//
//   0     16      identifier "KRV-HXQP-VARKO  "
//   49    7       the host's number as decimal text, zero bytes after it (all zero without a
//                 host application)
//   56    4       creation time, seconds since 1970-01-01 UTC, 32-bit little-endian
//   60    5       "1.006"
//   65    5       entries of the per-stitch list, right-aligned (its last five digits)
//   96    1600    50 block records of 32 bytes
//   1696  30000   the per-stitch list, one byte per entry, then 0x1A after the last
namespace stitchkit {

namespace lt0 {
inline constexpr std::size_t kRecordSize = 31697;
inline constexpr std::size_t kHostNumberOffset = 49;
inline constexpr std::size_t kHostNumberLength = 7;
inline constexpr std::size_t kTimeOffset = 56;
inline constexpr std::size_t kVersionOffset = 60;
inline constexpr std::size_t kEntryCountOffset = 65;
inline constexpr std::size_t kEntryCountWidth = 5;
inline constexpr std::size_t kBlocksOffset = 96;
inline constexpr std::size_t kBlockCount = 50;
inline constexpr std::size_t kBlockSize = 32;
inline constexpr std::size_t kBlockDataEnd = 23;  // block bytes 1 to 22 are copied
inline constexpr std::size_t kListOffset = 1696;
inline constexpr std::size_t kMaxListEntries = 30000;
}  // namespace lt0

// One laser block as the containers hold it: 32 bytes whose meaning is the machine's.
struct LT0LaserBlock {
  std::array<unsigned char, lt0::kBlockSize> bytes{};
};

// The laser condition record, a plain 31,697-byte record.
struct LT0File {
  std::array<unsigned char, lt0::kRecordSize> data{};
};

// Results of makeLaserConditionFile.
inline constexpr int kLaserFileOk = 0;

// Fills `record` from the first 50 laser blocks and the first 30,000 entries of the
// per-stitch list (the low byte of each), with the current time and, when a host application
// is installed (getConsoleApp), its number. Always returns kLaserFileOk.
int makeLaserConditionFile(LT0File& record, const HList<LT0LaserBlock>& blocks,
                           const HList<int>& stitchList);

}  // namespace stitchkit
