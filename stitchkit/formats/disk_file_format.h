#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace stitchkit {

// The code by which every part of the library names a design file format on disk. The
// numbers are exchanged with host programs and stored in machine format profiles, so they
// never change. 90 is the no-format value.
enum HDiskFileFormat : std::int32_t {
  kFormatDst = 0,
  kFormatDsb = 1,
  kFormatExp = 2,
  kFormatDsz = 3,
  kFormatDstVariant6 = 6,
  kFormatNoExtension = 14,
  kFormatDstVariant15 = 15,
  kFormatDsbVariant16 = 16,
  kFormatDszVariant17 = 17,
  kFormatDstVariant20 = 20,
  kFormatDsbVariant21 = 21,
  kFormatEmb = 29,
  kFormatHsf = 31,
  kFormatOutline = 32,
  kFormatDxf = 34,
  kFormatKvb = 36,
  kFormatGnc = 38,
  kFormatZskTransport = 52,
  kFormatDat = 58,
  kFormatU01 = 59,
  kFormatKvc = 60,
  kFormatEdf = 71,
  kFormatTwn = 72,
  kFormatPes = 89,
  kFormatNone = 90,
};

}  // namespace stitchkit
