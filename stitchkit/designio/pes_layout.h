#pragma once

#include <cstddef>
#include <cstdint>

// The PES design file, shared by its reader and writer. Numbers are little-endian. Every
// version starts with "#PES", four version digits and the offset of its PEC block (32-bit,
// layout in pec_layout.h), which holds the stitches and colour table of every version.
//
// Version 1 ("#PES0001"), the one written:
//   12  hoop (16-bit: 0 for 100 x 100 mm, 1 for 130 x 180 mm)
//   14  1: use the design area        16  number of objects (1)
//   18  0xFFFF 0x0000: blocks follow
//   22  7 "CEmbOne": the design's extents twice (left, top, right, bottom, 16-bit), an
//       affine transform (six floats: 1, 0, 0, 1, then the translation into the hoop), 1,
//       the position (0, 0) and the width and height (16-bit), eight zero bytes, the number
//       of segments, 0xFFFF 0x0000
//       7 "CSewSeg": the segments, each its kind (0 stitches, 1 a jump), palette index, number
//       of points and the points (16-bit x and y from the extents' corner), joined by
//       0x8003; then the colour list: its length and, per change of colour, the number of
//       the segment it starts with and the palette index; then 0x0000 0x0000
//
// Versions 6 and 7 ("#PES0060", "#PES0070") carry the design's threads in the header:
//   12  two 16-bit words, five texts (a length byte and its characters), 18 words, a text,
//       an affine transform (six floats), three words, the number of threads (16-bit), and
//       per thread: its code as a text, red, green, blue, a zero byte, a 32-bit type, its
//       name, its brand and its chart as texts
namespace stitchkit::pes {

inline constexpr char kMagic[] = "#PES";
inline constexpr std::size_t kMagicLength = 4;
inline constexpr std::size_t kVersionDigits = 4;
inline constexpr std::size_t kPecOffsetAt = 8;
inline constexpr std::size_t kHeaderStart = 12;

// The version digits of each version value the settings carry; a file's digits not listed
// read as their number.
struct Version {
  const char* digits;
  int value;
};
inline constexpr Version kVersions[] = {
    {"0001", 10}, {"0020", 20}, {"0030", 30}, {"0040", 40}, {"0050", 50},  {"0055", 55},
    {"0060", 60}, {"0070", 70}, {"0080", 80}, {"0090", 90}, {"0100", 100}, {"0110", 110},
};
// The version written when the settings ask for none, and the only one written.
inline constexpr int kWrittenVersion = 10;

// Versions whose header carries the thread table, laid out as above.
inline constexpr int kThreadHeaderVersions[] = {60, 70};
inline constexpr std::size_t kThreadHeaderWordsBeforeTexts = 2;
inline constexpr std::size_t kThreadHeaderTexts = 5;
inline constexpr std::size_t kThreadHeaderWords = 18;
inline constexpr std::size_t kAffineLength = 24;
inline constexpr std::size_t kThreadHeaderWordsBeforeThreads = 3;
inline constexpr std::size_t kThreadTypeLength = 4;

// Version 1.
inline constexpr std::int32_t kHoop130x180 = 1;
inline constexpr std::int32_t kUseDesignArea = 1;
inline constexpr std::int32_t kObjects = 1;
inline constexpr std::int32_t kBlocksFollow = 0xFFFF;
inline constexpr char kEmbOne[] = "CEmbOne";
inline constexpr char kSewSeg[] = "CSewSeg";
inline constexpr std::size_t kBlockNameLength = 7;
inline constexpr std::int32_t kSegmentStitches = 0;
inline constexpr std::int32_t kSegmentJump = 1;
inline constexpr std::int32_t kSegmentContinues = 0x8003;
inline constexpr std::size_t kZeroBytesAfterSize = 8;
// Where the 130 x 180 mm hoop lies, and its size (0.1 mm): the design is centred in it.
inline constexpr int kHoopLeft = 350;
inline constexpr int kHoopTop = 100;
inline constexpr int kHoopWidth = 1300;
inline constexpr int kHoopHeight = 1800;
// Segments hold a 16-bit count of points; longer runs are split.
inline constexpr std::size_t kMaxSegmentPoints = 0x7FFF;

}  // namespace stitchkit::pes
