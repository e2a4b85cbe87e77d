#pragma once

#include <cstddef>

// The layout of an EDF package, shared by its writer and readers.
//
// Envelope (integers little-endian):
//
//   0    3    "EDF"
//   3    1    version: written as 1, any value but 0 is read
//   4    4    offset of the enciphered payload (written as 32)
//   8    4    length of the enciphered payload
//   12   20   zero
//   32   n    the enciphered payload
//
// Plain payload: a 144-byte text directory (blank unless said otherwise), then the members in
// this order without gaps: the KVB file without its 128-byte header area (the directory takes
// its place, so the member spans from 144 to the KVB file's length + 16), the CT0 file, the
// design-graphics file when present, the AD0 file when present.
//
//   0 "2.00"   4 "EDF"   24 end of the KVB member   33 CT0 offset   40 CT0 length
//   48 design-graphics flag '1'/'0'   49 its offset   56 its length
//   64 AD0 flag '1'/'0'               65 its offset   72 its length
//
// Numbers are upper-case hexadecimal right-aligned in 7 characters, padded with '0'; offsets
// count from the start of the plain payload. A member that is absent has flag '0' and blank
// number fields.
//
// The KVB member starts with the container variant of the DST text header, whose fields the
// statistics reader takes (offsets from the start of the member): 3 the label (16
// characters), 23 stitches (7), 34 colours (3), 41 +X (5), 50 -X (5), 59 +Y (5), 68 -Y (5).
namespace stitchkit::edf {

// Envelope.
inline constexpr std::size_t kEnvelopeSize = 32;
inline constexpr char kMagic[] = "EDF";
inline constexpr std::size_t kMagicSize = 3;
inline constexpr std::size_t kVersionOffset = 3;
inline constexpr unsigned char kVersion = 1;
inline constexpr std::size_t kPayloadOffsetField = 4;
inline constexpr std::size_t kPayloadLengthField = 8;

// Directory.
inline constexpr std::size_t kDirectorySize = 144;
inline constexpr char kDirectoryVersion[] = "2.00";
inline constexpr std::size_t kDirectoryKindOffset = 4;
inline constexpr char kDirectoryKind[] = "EDF";
inline constexpr std::size_t kNumberWidth = 7;
inline constexpr std::size_t kLargestNumber = 0xFFFFFFF;  // what 7 hexadecimal digits hold
inline constexpr std::size_t kKvbEndField = 24;
inline constexpr std::size_t kCt0OffsetField = 33;
inline constexpr std::size_t kCt0LengthField = 40;

// The flag, offset and length fields of an optional member.
struct MemberFields {
  std::size_t flag;
  std::size_t offset;
  std::size_t length;
};
inline constexpr MemberFields kGraphics = {48, 49, 56};
inline constexpr MemberFields kAd0 = {64, 65, 72};

// The KVB file's header area the directory replaces.
inline constexpr std::size_t kKvbHeaderArea = 128;
inline constexpr std::size_t kKvbMemberShift = kDirectorySize - kKvbHeaderArea;

// The statistics block at the start of the KVB member.
inline constexpr std::size_t kStatsSize = 74;
inline constexpr std::size_t kStatsLabelOffset = 3;
inline constexpr std::size_t kStatsLabelSize = 16;

struct StatsNumber {
  std::size_t offset;
  std::size_t width;
};
inline constexpr StatsNumber kStatsStitches = {23, 7};
inline constexpr StatsNumber kStatsColours = {34, 3};
inline constexpr StatsNumber kStatsPlusX = {41, 5};
inline constexpr StatsNumber kStatsMinusX = {50, 5};
inline constexpr StatsNumber kStatsPlusY = {59, 5};
inline constexpr StatsNumber kStatsMinusY = {68, 5};

// Member files beside a base path (appended to it as they stand).
inline constexpr wchar_t kKvbExtension[] = L".KVB";
inline constexpr wchar_t kCt0Extension[] = L".CT0";
inline constexpr wchar_t kGraphicsExtension[] = L".QPF";
inline constexpr wchar_t kGraphicsFallbackExtension[] = L".QPT";
inline constexpr wchar_t kAd0Extension[] = L".AD0";

}  // namespace stitchkit::edf
