#pragma once

#include <cstdint>

namespace stitchkit {

// One entry of a stop table: the real command behind a stop written to a machine file and
// what was sewn since the previous entry. The record is 24 bytes and is stored byte for byte
// (little-endian) in the system's own stitch file.
struct StopInfo {
  std::uint32_t commandCode = 0;        // stitch command code (StitchCode)
  std::uint32_t stitchesSinceLast = 0;  // stitches since the previous stop
  double threadSinceLast = 0.0;         // thread length since the previous stop (design units)
  std::uint16_t colour = 0;             // colour of the stop stitch
  std::uint16_t data = 0;               // data word of the stop stitch
  std::uint16_t sequinHead = 0;         // sequin head of the stop stitch
  std::uint16_t reserved = 0;

  bool operator==(const StopInfo&) const = default;
};

static_assert(sizeof(StopInfo) == 24, "StopInfo is a 24-byte file record");

}  // namespace stitchkit
