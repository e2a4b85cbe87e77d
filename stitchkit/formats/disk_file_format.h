#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace stitchkit {

// The code by which every part of the library names a design file format on disk. The
// numbers are exchanged with host programs and stored in machine format profiles, so they
// never change: a value is passed as a 32-bit integer and any value may be stored. 90 is the
// no-format value, returned by every lookup that matches nothing. Codes 30, 35, 39 and 54 are
// never produced. Only the codes the library itself acts on have names here.
enum HDiskFileFormat : std::int32_t {
  kFormatDst = 0,
  kFormatDsb = 1,
  kFormatExp = 2,
  kFormatDsz = 3,
  kFormatDstVariant6 = 6,
  kFormatExpVariant10 = 10,
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
  kFormatEmd = 47,
  kFormatZskTransport = 52,
  kFormatDat = 58,
  kFormatU01 = 59,
  kFormatKvc = 60,
  kFormatEdf = 71,
  kFormatTwn = 72,
  kFormatPes = 89,
  kFormatNone = 90,
};

// Formats that share one disk extension and differ in machine dialect.
enum class DiskFormatFamily : std::uint8_t { kNone, kDst, kDsb, kDsz, kPes, kEmd };

// One row of the format table: what reads as the code, what the code is written as, and the
// file-dialog filters that select it. Unused slots of the fixed arrays are empty.
struct DiskFormatInfo {
  HDiskFileFormat code;
  // Extensions (with their dot, lower case) that read as this code.
  std::array<std::string_view, 3> readFrom;
  // Codes 52 and 59 also read from the letter followed by two decimal digits (".Z00",
  // ".u15"); the letter in either case. 0 for other codes.
  char numberedLetter;
  // Extension the code is written as; "." for codes written without one, empty for none.
  std::string_view writtenAs;
  std::array<std::string_view, 5> filters;
  DiskFormatFamily family;
  // What the library does with the format; empty for formats it only names.
  std::string_view role;
};

// The whole table in code order (codes 0 to 89 less the four unused ones).
std::span<const DiskFormatInfo> diskFormatTable();
// The row of `code`, or null for 90 and codes without a row.
const DiskFormatInfo* findDiskFormat(std::int32_t code);
// Family of `code` (kNone for codes outside the five families).
DiskFormatFamily diskFormatFamily(std::int32_t code);
// Printable name of a family: "DST", "DSB", "DSZ", "PES", "EMD" or "".
std::string_view diskFormatFamilyName(DiskFormatFamily family);

}  // namespace stitchkit
