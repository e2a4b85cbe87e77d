#pragma once

#include <cstdint>

#include "stitchkit/formats/disk_file_format.h"

// The on-disk layout of the HSF stitch file, shared by its reader and writer.
//
//   header            60 bytes (below)
//   reserved          200 zero bytes
//   stitch data       machine records (DST, DSB, DSZ or Exp) as the stitch filter writes them
//   reserved          200 zero bytes
//   stop table        int16 tag 2, int32 count, per stop the 24-byte StopInfo record
//   stop comments     int16 tag 1, int32 count, per comment int16 n and n bytes ending in 0
//   name list         int16 count, per name int32 n and n bytes ending in 0
//   thread codes      int32 count | 0xFF000000, per thread int16 n, n bytes ending in 0
//                     (its code, or its colour as a decimal number for an unknown brand)
//                     and int16 brand number
//   thread properties byte 1, int32 0, int16 count, each thread's own serialisation
//
// Every section after the stitch data is optional; the header holds the file offset of each
// one present, 0 for one that is absent. Integers are little-endian; narrow text is in the
// ANSI code page (Windows-1252).
//
// Files of the older HCH kind start with a 16-byte header instead, told apart by a first byte
// other than 'V' or 'v': kind letter, int32 stitch count, encoding byte, the four extents
// and one more byte; their stitch data follows at once.
namespace stitchkit::hsf {

inline constexpr int kHeaderSize = 60;
inline constexpr int kOldHeaderSize = 16;
inline constexpr int kReservedSize = 200;
inline constexpr int kVersionSize = 8;

// Header field offsets.
inline constexpr int kVersionAt = 0;
inline constexpr int kKindAt = 8;
inline constexpr int kStitchCountAt = 9;            // int32
inline constexpr int kEncodingAt = 13;              // byte
inline constexpr int kPlusXAt = 14;                 // int16 maxX - startX
inline constexpr int kMinusXAt = 16;                // int16 startX - minX
inline constexpr int kPlusYAt = 18;                 // int16 maxY - startY
inline constexpr int kMinusYAt = 20;                // int16 startY - minY
inline constexpr int kOldExtraAt = 22;              // byte: 0, or byte 14 of an old header
inline constexpr int kCommandCountAt = 23;          // byte: low byte of the command count
inline constexpr int kThreadCodesAt = 24;           // int32 section offset
inline constexpr int kStopTableAt = 28;             // int32 section offset
inline constexpr int kNameListAt = 32;              // int32 section offset
inline constexpr int kFirstNeedleAt = 36;           // int16, 1-based
inline constexpr int kStopCommentsAt = 38;          // int32 section offset
inline constexpr int kThreadPropertiesAt = 42;      // int32 section offset
inline constexpr int kDesignValueAt = 46;           // IEEE double, 0.0 for none
inline constexpr char kWrittenVersion[] = "V9.99";  // files written here
inline constexpr char kWidenedVersion[] = "V9.00";  // an old header after widening
inline constexpr char kWrittenKind = 'A';

// Old header field offsets.
inline constexpr int kOldKindAt = 0;
inline constexpr int kOldStitchCountAt = 1;
inline constexpr int kOldEncodingAt = 5;
inline constexpr int kOldExtentsAt = 6;  // the four extents in header order
inline constexpr int kOldExtraByteAt = 14;

// Sections.
inline constexpr std::int16_t kStopTableTag = 2;       // 24-byte entries
inline constexpr std::int16_t kShortStopTableTag = 1;  // 8-byte entries: command, stitches
inline constexpr std::int16_t kStopCommentTag = 1;
inline constexpr int kStopRecordSize = 24;
inline constexpr int kShortStopRecordSize = 8;
inline constexpr std::uint32_t kThreadCodeMark = 0xFF000000u;  // top byte of the code count
inline constexpr std::uint8_t kThreadPropertyVersion = 1;
// No section holds more entries than this; a larger count is a broken file.
inline constexpr std::int32_t kMaxSectionCount = 10000000;

// The encoding byte a file is written with, by the option record's format family, and the
// HardLength below which the caller's record is used to write the records.
struct WrittenEncodingRow {
  HDiskFileFormat formats[4];
  int formatCount;
  std::uint8_t encoding;
  short hardLengthLimit;
};
inline constexpr WrittenEncodingRow kWrittenEncodings[] = {
    {{kFormatDst, kFormatDstVariant6, kFormatDstVariant15, kFormatDstVariant20}, 4, 24, 122},
    {{kFormatDsb, kFormatDsbVariant16, kFormatDsbVariant21}, 3, 20, 128},
    {{kFormatExp}, 1, 5, 128},
    {{kFormatDsz, kFormatDszVariant17}, 2, 26, 128},
};
// The encoding and record format of a file written without a usable caller's record (its
// HardLength is the default 127).
inline constexpr std::uint8_t kDefaultEncoding = 20;
inline constexpr HDiskFileFormat kDefaultFormat = kFormatDsb;

// Files of kind 'A': the format of their records, by encoding byte.
struct EncodingRow {
  std::uint8_t encoding;
  HDiskFileFormat format;
};
inline constexpr EncodingRow kEncodingsOfKindA[] = {
    {1, kFormatDsb},           {2, kFormatDsb},           {20, kFormatDsb}, {4, kFormatDsz},
    {7, kFormatDsz},           {23, kFormatDsz},          {25, kFormatDsz}, {26, kFormatDsz},
    {5, kFormatExp},           {18, kFormatExp},          {72, kFormatExp}, {6, kFormatDst},
    {12, kFormatDst},          {17, kFormatDst},          {21, kFormatDst}, {24, kFormatDst},
    {13, HDiskFileFormat(12)}, {15, HDiskFileFormat(11)},
};

// Other kind letters: the format of their records whatever the encoding byte, and the
// encoding byte an old header of that kind is widened with (0: its own is kept).
struct KindRow {
  char kind;
  HDiskFileFormat format;
  std::uint8_t widenedEncoding;
};
inline constexpr KindRow kKinds[] = {
    {'B', kFormatDsb, 20}, {'E', kFormatDst, 21}, {'T', kFormatDst, 24},
    {'M', kFormatDsz, 23}, {'U', kFormatDsz, 25}, {'Z', kFormatDsz, 26},
};

}  // namespace stitchkit::hsf
