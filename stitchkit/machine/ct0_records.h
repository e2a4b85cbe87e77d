#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// Layout of the CT0 condition block, shared by everything that writes or reads one.
//
// The block is 1936 bytes of single-byte text: a 96-byte header, then lines at fixed offsets,
// each its 4-character key, its data and a CR (0x0D), blanks between them, and the end mark
// 0x1A at offset 1929. Numbers are decimal, right-aligned and blank-padded; a signed number is
// a sign character followed by a 5-character magnitude.
namespace stitchkit::ct0 {

inline constexpr std::size_t kBlockSize = 1936;
inline constexpr std::size_t kHeaderSize = 96;
inline constexpr std::size_t kKeyLength = 4;
inline constexpr char kLineEnd = '\x0D';
inline constexpr char kEndMark = '\x1A';
inline constexpr std::size_t kEndMarkOffset = 1929;

// Header fields and their default text. The creation time is an unsigned 32-bit
// little-endian count of seconds since 1970-01-01 UTC.
inline constexpr std::size_t kIdentifierOffset = 0;
inline constexpr std::string_view kIdentifier = "KRV-HXQP-VARKO  ";
inline constexpr std::size_t kModelOffset = 16;
inline constexpr std::string_view kModel = "1-1A";
inline constexpr std::size_t kSerialOffset = 20;
inline constexpr std::string_view kSerial = " 2060";
inline constexpr std::size_t kFieldSizeOffset = 25;
// "(550.0", the multiplication sign in the multibyte code page, "400.0)S".
inline constexpr std::string_view kFieldSize =
    "(550.0\x81\x7E"
    "400.0)S";
inline constexpr std::size_t kVersionOffset = 49;
inline constexpr std::string_view kVersion = "2.00";
inline constexpr std::size_t kTimeOffset = 56;

// What a line's data holds, for the checks of a block read from outside.
enum class FieldKind {
  kText,        // any characters
  kNumber,      // a decimal number or blanks
  kCount,       // a decimal number, blanks or the two-byte infinity mark
  kSigned,      // sign and 5-character magnitude, or blanks
  kSignedPair,  // two signed numbers, or blanks
};

struct Line {
  std::string_view key;
  std::size_t offset;  // of the key; the data follows it
  std::size_t width;   // of the data, without key and CR
  FieldKind kind;
};

// The lines in the order of the line list. NS1's data is the head group character followed by
// the 512 characters of needle-bar text.
inline constexpr std::array<Line, 23> kLines = {{
    {"DC1:", 96, 3, FieldKind::kNumber},        {"DC2:", 104, 3, FieldKind::kNumber},
    {"DC3:", 112, 3, FieldKind::kNumber},       {"DC4:", 120, 1, FieldKind::kText},
    {"DC5:", 126, 1, FieldKind::kText},         {"NS1:", 264, 513, FieldKind::kText},
    {"RP0:", 782, 1, FieldKind::kText},         {"RP1:", 788, 2, FieldKind::kCount},
    {"RP2:", 795, 2, FieldKind::kCount},        {"RP3:", 802, 6, FieldKind::kSigned},
    {"RP4:", 813, 6, FieldKind::kSigned},       {"RP5:", 824, 1, FieldKind::kText},
    {"RP6:", 830, 1, FieldKind::kText},         {"RP7:", 836, 1, FieldKind::kText},
    {"ST1:", 842, 12, FieldKind::kSignedPair},  {"ST0:", 1076, 1, FieldKind::kText},
    {"AO1:", 1082, 1, FieldKind::kText},        {"AO2:", 1088, 1, FieldKind::kText},
    {"AO3:", 1094, 1, FieldKind::kText},        {"OF1:", 1100, 12, FieldKind::kSignedPair},
    {"OF2:", 1117, 12, FieldKind::kSignedPair}, {"OF3:", 1134, 12, FieldKind::kSignedPair},
    {"NS2:", 1151, 256, FieldKind::kText},
}};

// Positions of the lines in kLines.
enum LineIndex : std::size_t {
  kDC1,
  kDC2,
  kDC3,
  kDC4,
  kDC5,
  kNS1,
  kRP0,
  kRP1,
  kRP2,
  kRP3,
  kRP4,
  kRP5,
  kRP6,
  kRP7,
  kST1,
  kST0,
  kAO1,
  kAO2,
  kAO3,
  kOF1,
  kOF2,
  kOF3,
  kNS2,
};
// The line list copies back every line but NS2.
inline constexpr std::size_t kDeserializedLines = kNS2;

// Lines that travel only in the block.
inline constexpr Line kNS3 = {"NS3:", 1412, 512, FieldKind::kText};
inline constexpr Line kNS4 = {"NS4:", 859, 160, FieldKind::kText};  // binary head patterns

// Needle-bar text inside the NS lines, and the head group character in front of NS1's.
inline constexpr std::size_t kHeadGroupOffset = 268;
inline constexpr std::size_t kNS1TextOffset = 269;
inline constexpr std::size_t kNS1TextLength = 512;
inline constexpr std::size_t kNS2TextLength = 256;
inline constexpr std::size_t kNS3TextLength = 512;

// NS4: 20 heads of 8 bytes; bit b of byte j of a head is element j * 8 + b of its pattern.
inline constexpr std::size_t kHeadPatternBytes = 8;

// RP1 and RP2 hold counts above 99 as the infinity sign of the multibyte code page.
inline constexpr char kInfinity[2] = {'\x81', '\x87'};

inline constexpr std::size_t kSignedWidth = 6;  // sign and 5-character magnitude

}  // namespace stitchkit::ct0
