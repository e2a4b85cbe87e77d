#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "stitchkit/platform/h_list.h"

// The layout of a ZSK transport file (format code 52, extension ".Z" and two digits), shared
// by the stream decoder and encoder and by the file reader and writer, so that each byte value
// is written down once.
//
// The file is a sequence of records, each starting with a class byte whose bit 0 is clear
// (bytes with bit 0 set are passed over between records). The high nibble of the class byte
// gives the kind of record. The file starts with framed records: the design header, then the
// thread table when the design has threads; the stitch records follow.
//
// Framed record: 0xF0, the length as a 16-bit big-endian number counting the type byte and
// the body, the type byte, the body.
//
// Stitch records (moves relative to the last point; reading takes y = previous y - dy):
//   0x0_  class, |dx|, |dy|                       a stitch, or a jump with bit 1
//   0x1_  class, dx (16-bit BE), dy (16-bit BE)   the same with long moves
//   0x2_  class, function, parameter              a function without a move
//   0x3_  class, function, parameter, dx, dy      a function with a move (16-bit BE each)
//   0x4_  class, n (16-bit BE), n bytes           a remark, passed over
// In move records bit 3 of the class byte makes dx negative, bit 2 makes dy negative and
// bit 1 marks a jump.
namespace stitchkit::zsk {

// --- Framing -------------------------------------------------------------------------------

inline constexpr std::uint8_t kFramedClass = 0xF0;
inline constexpr std::size_t kFramingSize = 4;  // class, length (2), type
inline constexpr std::uint8_t kHeaderType = 0;
inline constexpr std::uint8_t kThreadTableType = 2;

// --- Design header (445 bytes; numbers little-endian; unlisted bytes are spaces) -----------

inline constexpr std::size_t kHeaderSize = 445;
inline constexpr std::uint16_t kHeaderLength = kHeaderSize + 1;  // length field: type + body

inline constexpr std::size_t kTagOffset = 1;
inline constexpr std::array<std::uint8_t, 10> kTag = {'K', 'O', 'R', 'V', 'A',
                                                      'N', 'H', 'X', 'Q', 'P'};
inline constexpr std::size_t kExtensionOffset = 11;  // two characters after the dot
inline constexpr std::size_t kVersionOffset = 19;    // '1'
inline constexpr std::size_t kNameOffset = 21;
inline constexpr std::size_t kNameSize = 20;
inline constexpr std::size_t kZeroWordOffset = 256;
inline constexpr std::size_t kDateOffsets[] = {258, 273, 288};
inline constexpr std::size_t kDateSize = 15;  // "dd.mm.yyyyHH:MM"
inline constexpr std::size_t kMinRealLengthOffset = 303;
inline constexpr std::size_t kMaxRealLengthOffset = 305;
inline constexpr std::size_t kStitchCountOffset = 307;
inline constexpr std::size_t kMinOffset = 311;  // x, y: signed 16-bit each
inline constexpr std::size_t kMaxOffset = 315;
inline constexpr std::size_t kEndOffset = 319;
inline constexpr std::size_t kTrailingZeroOffset = 323;

// The design header as it stands in the file.
struct ZSKTransportHeader {
  std::array<std::uint8_t, kHeaderSize> bytes;

  ZSKTransportHeader() { bytes.fill(' '); }
  // True when the header carries this writer's tag (its numbers are laid out as above).
  bool hasTag() const;
  std::uint16_t u16(std::size_t at) const {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
  }
  std::int16_t i16(std::size_t at) const { return static_cast<std::int16_t>(u16(at)); }
  std::uint32_t u32(std::size_t at) const {
    return u16(at) | static_cast<std::uint32_t>(u16(at + 2)) << 16;
  }
  void put16(std::size_t at, std::uint16_t v) {
    bytes[at] = static_cast<std::uint8_t>(v);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  void put32(std::size_t at, std::uint32_t v) {
    put16(at, static_cast<std::uint16_t>(v));
    put16(at + 2, static_cast<std::uint16_t>(v >> 16));
  }
};
static_assert(sizeof(ZSKTransportHeader) == kHeaderSize);

// --- Thread table (72 bytes per thread; unlisted bytes are spaces) -------------------------

inline constexpr std::size_t kNeedleSize = 72;
inline constexpr std::size_t kNeedleNumberOffset = 1;  // 1-based, palette order
inline constexpr std::size_t kNeedleColourOffset = 2;  // red, green, blue
inline constexpr std::size_t kNeedleNameOffset = 5;
inline constexpr std::size_t kNeedleNameSize = 15;
inline constexpr std::size_t kNeedleCodeOffset = 20;
inline constexpr std::size_t kNeedleCodeSize = 8;
inline constexpr std::size_t kNeedleMakerOffset = 34;
inline constexpr std::size_t kNeedleMakerSize = 8;
inline constexpr std::size_t kNeedleEndOffset = 50;  // 0
// The thread number is one byte, and a reader keeps no more entries than that.
inline constexpr int kMaxNeedles = 255;

// One thread entry as it stands in the file.
struct ZSKNeedle {
  std::array<std::uint8_t, kNeedleSize> bytes;

  ZSKNeedle() { bytes.fill(' '); }
};
static_assert(sizeof(ZSKNeedle) == kNeedleSize);

// --- Stitch records --------------------------------------------------------------------------

inline constexpr std::uint8_t kKindMask = 0xF0;
inline constexpr std::uint8_t kNegativeX = 0x08;
inline constexpr std::uint8_t kNegativeY = 0x04;
inline constexpr std::uint8_t kJumpBit = 0x02;
inline constexpr std::uint8_t kSkippedBit = 0x01;

inline constexpr std::uint8_t kShortMove = 0x00;
inline constexpr std::uint8_t kLongMove = 0x10;
inline constexpr std::uint8_t kFunction = 0x20;
inline constexpr std::uint8_t kFunctionWithMove = 0x30;
inline constexpr std::uint8_t kRemark = 0x40;

inline constexpr std::size_t kShortMoveSize = 3;
inline constexpr std::size_t kLongMoveSize = 5;
inline constexpr std::size_t kFunctionSize = 3;
inline constexpr std::size_t kFunctionWithMoveSize = 7;
inline constexpr std::size_t kRemarkHeadSize = 3;
inline constexpr int kMaxShortMove = 255;

// Function numbers (the byte after a function class byte).
inline constexpr std::uint8_t kNeedleChange = 0x00;  // parameter: the needle, 1-based
inline constexpr std::uint8_t kStop = 0x01;
inline constexpr std::uint8_t kTrim = 0x02;
inline constexpr std::uint8_t kFunction3 = 0x03;
inline constexpr std::uint8_t kFunction4 = 0x04;
inline constexpr std::uint8_t kMoss = 0x05;
inline constexpr std::uint8_t kChain = 0x06;
inline constexpr std::uint8_t kFunction7 = 0x07;
inline constexpr std::uint8_t kSpeed = 0x09;   // parameter: the speed / 10
inline constexpr std::uint8_t kSequin = 0x0A;  // parameter 0: off
inline constexpr std::uint8_t kBorer = 0x0B;   // parameter 0: out
inline constexpr std::uint8_t kFunction12 = 0x0C;
inline constexpr std::uint8_t kFunction13 = 0x0D;
inline constexpr std::uint8_t kFunction14 = 0x0E;
inline constexpr std::uint8_t kEnd = 0xFF;
// With a move (class 0x3_): function 0 drops a sequin, its parameter naming the head.
inline constexpr std::uint8_t kDrop = 0x00;

inline constexpr std::uint8_t kSlowSpeed = 0x3C;  // as written for a slow down
inline constexpr std::uint8_t kFastSpeed = 0x78;  // as written for a speed up
inline constexpr int kSpeedUnit = 10;
inline constexpr int kInitialSpeed = 10;
inline constexpr std::uint8_t kDropOnHead1 = 2;
inline constexpr std::uint8_t kDropOnOtherHead = 1;
inline constexpr std::uint8_t kDropW = 3;

// The class byte of a move record by (dx, dy), for the writer.
constexpr std::uint8_t moveClass(std::uint8_t kind, int dx, int dy, bool jump) {
  return static_cast<std::uint8_t>(kind | (dx < 0 ? kNegativeX : 0) | (dy >= 0 ? kNegativeY : 0) |
                                   (jump ? kJumpBit : 0));
}

// Writes the record of a stitch (or with `jump` a jump) moving by (dx, dy) into `b` and returns
// its length, or 0 when the move does not fit one byte per axis.
constexpr std::size_t shortMoveRecord(int dx, int dy, bool jump, std::uint8_t* b) {
  const int ax = dx < 0 ? -dx : dx;
  const int ay = dy < 0 ? -dy : dy;
  if (ax > kMaxShortMove || ay > kMaxShortMove) return 0;
  b[0] = moveClass(kShortMove, dx, dy, jump);
  b[1] = static_cast<std::uint8_t>(ax);
  b[2] = static_cast<std::uint8_t>(ay);
  return kShortMoveSize;
}

// --- Reading the leading records ------------------------------------------------------------

// Results of readFramedRecord.
enum class FramedResult { kRead, kNotFramed, kCut };

// Reads the framed record at data[at]: the header (type 0, whose length field is at least
// that of a whole header) fills `header` with its first 445 body bytes, a thread table
// (type 2) appends its whole 72-byte entries to `needles` while they number fewer than
// kMaxNeedles, any other type is passed over. On kRead `at` is moved past the record;
// kCut says the record runs past the data (nothing is taken from it).
FramedResult readFramedRecord(std::span<const std::uint8_t> data, std::size_t& at,
                              ZSKTransportHeader& header, HList<ZSKNeedle>& needles);

// The index of the first byte at or after `at` with bit 0 clear (the next class byte), or the
// data's size when there is none.
std::size_t findNextClass(std::span<const std::uint8_t> data, std::size_t at);

// Reads the framed records at the start of `data` as the decoder does: from the first class
// byte while it is a framed record. Returns the offset of the first record that is not one,
// or of the framed record that the data cuts short.
std::size_t readLeadingRecords(std::span<const std::uint8_t> data, ZSKTransportHeader& header,
                               HList<ZSKNeedle>& needles);

}  // namespace stitchkit::zsk
