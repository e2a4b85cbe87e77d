#pragma once

#include <cstddef>
#include <cstdint>

// The VP3 design file, shared by its reader and writer. Numbers are big-endian; positions
// are in micrometres (100 to the 0.1 mm unit) with y growing upwards. A wide text is its
// length in bytes (16-bit) and UTF-16 characters; a text is its length and ASCII characters.
//
//   "%vsm%" and a zero byte, the producer (wide text)
//   Extent: 00 02 00, the number of bytes after this field to the end of the file (32-bit),
//     settings (wide text), the design's right, top, left and bottom edges, the number of
//     stitches (32-bit), the number of threads (16-bit), 12, 1 (16-bit)
//   Hoop: 00 03 00, the bytes after this field to the end of the file, the hoop's centre
//     (x, y), 00 00 00, the hoop's left, right, bottom and top edges, width and height,
//     settings (wide text), 100, 100, then 4096, 0, 0, 4096 (32-bit)
//   "xxPP" 01 00, the producer (wide text), the number of threads (16-bit), then per thread:
//     00 05 00, the bytes after this field to the next thread (32-bit), the start position
//     from the centre (x, y), 1 colour, 0, the colour (red, green, blue, 0, 0, 0), thread type
//     5, weight 40, the thread's code, name and brand (texts), the move from the first to the
//     last stitch (x, y), 00 01 00, the bytes of the stitch records after this field
//     (32-bit), 10, -10, 0, the stitch records, and a zero byte
// Stitch records, in 0.1 mm with y growing downwards: dx dy (signed bytes), a stitch; 0x80
// 0x01 dx dy (16-bit) 0x80 0x02, a jump; 0x80 0x03, a trim.
namespace stitchkit::vp3 {

inline constexpr char kMagic[] = {'%', 'v', 's', 'm', '%', '\0'};
inline constexpr std::uint8_t kExtentTag[] = {0x00, 0x02, 0x00};
inline constexpr std::uint8_t kHoopTag[] = {0x00, 0x03, 0x00};
inline constexpr std::uint8_t kCanvasTag[] = {0x00, 0x00, 0x00};
inline constexpr std::uint8_t kThreadsMagic[] = {'x', 'x', 'P', 'P', 0x01, 0x00};
inline constexpr std::uint8_t kThreadTag[] = {0x00, 0x05, 0x00};
inline constexpr std::uint8_t kStitchesTag[] = {0x00, 0x01, 0x00};
inline constexpr std::uint8_t kStitchScale[] = {10, 0xF6, 0};
inline constexpr char kProducer[] = "stitchkit";

inline constexpr std::uint8_t kExtentMark = 12;
inline constexpr std::int32_t kHoops = 1;
inline constexpr std::uint8_t kHoopMarks[] = {100, 100};
inline constexpr std::int32_t kHoopWords[] = {4096, 0, 0, 4096};
inline constexpr std::size_t kColourDetailLength = 6;
inline constexpr std::uint8_t kThreadType = 5;
inline constexpr std::uint8_t kThreadWeight = 40;

inline constexpr std::uint8_t kEscape = 0x80;
inline constexpr std::uint8_t kLongMove = 0x01;
inline constexpr std::uint8_t kEndMove = 0x02;
inline constexpr std::uint8_t kTrim = 0x03;
inline constexpr int kShortMax = 127;
inline constexpr int kLongMax = 32767;
inline constexpr int kMicrometresPerUnit = 100;

// A 130 x 180 mm hoop around the design's origin (micrometres).
inline constexpr std::int32_t kHoopHalfWidth = 65000;
inline constexpr std::int32_t kHoopHalfHeight = 90000;

// More threads than this are not read.
inline constexpr std::uint32_t kMaxThreads = 1024;

}  // namespace stitchkit::vp3
