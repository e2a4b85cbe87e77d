#pragma once

#include <cstddef>
#include <cstdint>

// The XXX design file, shared by its reader and writer. All numbers are little-endian.
//
// Header (256 bytes, zero where not listed):
//   0x17  number of stitch records other than colour changes and the end (32-bit)
//   0x27  number of colours (32-bit)
//   0x2D  design width, 0x2F design height (16-bit, 0.1 mm)
//   0x31  x, 0x33 y of the last stitch, from the first point (16-bit)
//   0xFC  offset of the end code (32-bit); the palette follows the 6-byte end code
// Stitch records from 0x100; y grows upwards:
//   dx dy                  a stitch, dx and dy signed bytes (dx never 0x7D to 0x7F)
//   0x7D dx16 dy16         a long stitch (16-bit moves)
//   0x7E dx16 dy16         a long jump
//   0x7F 0x01 dx dy        a jump
//   0x7F 0x03 dx dy        a trim while moving
//   0x7F 0x08 dx dy        a colour change while moving
//   0x7F 0x7F 0x03 0x14 0x00 0x00  the end code
// Palette: one entry per colour (at least 22 entries are written, the rest zero), each a zero
// byte and then red, green and blue.
namespace stitchkit::xxx {

inline constexpr std::size_t kRecordCountAt = 0x17;
inline constexpr std::size_t kColourCountAt = 0x27;
inline constexpr std::size_t kWidthAt = 0x2D;
inline constexpr std::size_t kHeightAt = 0x2F;
inline constexpr std::size_t kLastStitchXAt = 0x31;
inline constexpr std::size_t kLastStitchYAt = 0x33;
inline constexpr std::size_t kEndOffsetAt = 0xFC;
inline constexpr std::size_t kHeaderLength = 0x100;

inline constexpr std::uint8_t kLongStitch = 0x7D;
inline constexpr std::uint8_t kLongJump = 0x7E;
inline constexpr std::uint8_t kCommand = 0x7F;
inline constexpr std::uint8_t kJump = 0x01;
inline constexpr std::uint8_t kTrim = 0x03;
inline constexpr std::uint8_t kColourChange = 0x08;
inline constexpr std::uint8_t kEnd = 0x7F;
inline constexpr std::uint8_t kEndCode[] = {0x7F, 0x7F, 0x03, 0x14, 0x00, 0x00};

inline constexpr int kShortStitchMax = 124;  // a stitch's dx byte must stay below 0x7D
inline constexpr int kByteMoveMax = 127;
inline constexpr int kLongMoveMax = 32767;

inline constexpr std::size_t kPaletteEntryLength = 4;
inline constexpr std::size_t kMinPaletteEntries = 22;
// More colours than this are not read.
inline constexpr std::uint32_t kMaxColours = 1024;

}  // namespace stitchkit::xxx
