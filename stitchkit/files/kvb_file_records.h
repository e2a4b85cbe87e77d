#pragma once

#include <cstddef>
#include <cstdint>

#include "stitchkit/platform/h_string.h"

// The layouts of the KVB and KVC container files, shared by their reader and writer.
//
// KVB header (1536 bytes, blank unless said otherwise):
//
//   0     4     "A.00" (KVB); a KVC file has its 128-byte table of contents over bytes 0-127
//   8     4     creation time, seconds since 1970-01-01 UTC, 32-bit little-endian
//   128   138   the container variant of the DST text header (makeInternalDSTHeader)
//   266   256   needle list: per colour block, colour index + 1; zero bytes after the last
//   522   1     CR
//   523   3     "DA:"
//   526   360   thread palette, 72 entries of 5 bytes: type, red, green, blue, blank
//   886   1     CR
//   887   1     0x1A
//
// The KVB stitch records follow at 1536, then one byte 0x1A. A KVC file appends its sections
// after that byte: CT0 block, attached file, LT0 record, CT1 block, fifth section, TT0 block.
// Each is found through the table of contents only (numbers are upper-case hexadecimal in 7
// characters padded with '0'; an offset or length that parses as 0 means absent):
//
//   0 "1.00"   4 "KVC"   8 creation time (as in the header)
//   24 start of the sections   33 CT0 offset   40 CT0 length
//   48/49/56 attached file    64/65/72 LT0    80/81/88 CT1    96/97/104 fifth    112/113/120 TT0
//   (flag '1' or '0', offset, length)
//
// TT0 block: 1024 leading bytes (blank as written), "AT2:", one 96-byte entry per TT0Info,
// then 0x1A. An entry (blank-filled): 0 name (24), 24 first number (2), 26 third (3), 29
// fourth (3), 32 seventh (3), 35 eighth (3), 38 second (3), 41 fifth (2), 43 sixth (2), 45
// flag '1'/'0', 46 local time "YYYYMMDDhhmmss", 95 CR. Numbers are decimal, right-aligned.
namespace stitchkit {

namespace kvbfile {

inline constexpr std::size_t kHeaderSize = 1536;
inline constexpr std::size_t kTimeOffset = 8;
inline constexpr std::size_t kDstTextOffset = 128;
inline constexpr std::size_t kDstTextSize = 138;
inline constexpr std::size_t kNeedleListOffset = 266;
inline constexpr std::size_t kNeedleListSize = 256;
inline constexpr std::size_t kPaletteTagOffset = 522;  // CR, then "DA:"
inline constexpr std::size_t kPaletteOffset = 526;
inline constexpr std::size_t kPaletteEntries = 72;
inline constexpr std::size_t kPaletteEntrySize = 5;
inline constexpr std::size_t kPaletteSize = kPaletteEntries * kPaletteEntrySize;
inline constexpr std::size_t kPaletteEndOffset = 886;  // CR, then 0x1A
inline constexpr char kKvbVersion[] = "A.00";
inline constexpr unsigned char kEndMark = 0x1A;
inline constexpr unsigned char kCr = 0x0D;

// Table of contents of a KVC file.
inline constexpr std::size_t kTocSize = 128;
inline constexpr char kTocVersion[] = "1.00";
inline constexpr std::size_t kTocKindOffset = 4;
inline constexpr char kTocKind[] = "KVC";
inline constexpr std::size_t kNumberWidth = 7;
inline constexpr std::size_t kSectionsStartOffset = 24;
inline constexpr std::size_t kCt0OffsetField = 33;
inline constexpr std::size_t kCt0LengthField = 40;

// The flag, offset and length fields of one flagged section.
struct SectionFields {
  std::size_t flag;
  std::size_t offset;
  std::size_t length;
};
inline constexpr SectionFields kAttached = {48, 49, 56};
inline constexpr SectionFields kLt0 = {64, 65, 72};
inline constexpr SectionFields kCt1 = {80, 81, 88};
inline constexpr SectionFields kFifth = {96, 97, 104};
inline constexpr SectionFields kTt0 = {112, 113, 120};

// TT0 block.
inline constexpr std::size_t kTt0LeadSize = 1024;
inline constexpr char kTt0Key[] = "AT2:";
inline constexpr std::size_t kTt0KeySize = 4;
inline constexpr std::size_t kTt0EntrySize = 96;
inline constexpr std::size_t kTt0NameSize = 24;
inline constexpr std::size_t kTt0FlagOffset = 45;
inline constexpr std::size_t kTt0TimeOffset = 46;
inline constexpr std::size_t kTt0TimeSize = 14;

// Offset and width of each of the eight numbers of an entry, first to eighth.
struct Tt0NumberField {
  std::size_t offset;
  std::size_t width;
};
inline constexpr Tt0NumberField kTt0Numbers[8] = {{24, 2}, {38, 3}, {26, 3}, {29, 3},
                                                  {41, 2}, {43, 2}, {32, 3}, {35, 3}};

}  // namespace kvbfile

// One entry of the TT0 time section of a KVC file. The eight numbers are the machine's; this
// library only stores them.
struct TT0Info {
  HString name;
  std::int16_t numbers[8] = {};
  std::int32_t flag = 0;
  std::int64_t time = 0;  // seconds since 1970-01-01 UTC

  bool operator==(const TT0Info&) const = default;
};

}  // namespace stitchkit
