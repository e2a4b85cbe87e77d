#pragma once

#include <cstddef>
#include <cstdint>

// The PES design file, shared by its reader and writer. Numbers are little-endian; a text is a
// length byte and its characters. Every version starts with "#PES", four version digits and
// the offset of its PEC block (32-bit, layout in pec_layout.h), which holds the stitches and
// colour table of every version. The header fields that follow differ by version; those of
// the versions written:
//
//   1 ("#PES0001")  hoop (0 for 100 x 100 mm, 1 for 130 x 180 mm), 1: use the design area
//   2 ("#PES0020")  hoop width and height (mm), rotation (1: turned by 90 degrees), the design
//                   page's eight words (background and foreground colour, grid shown, axes
//                   shown, snap to grid, grid interval, curve kind, entry and exit optimised)
//   4 ("#PES0040")  1 and "01", seven zero bytes (an empty design name and unset options),
//                   then as version 2, then two zero words
//   6 ("#PES0060")  1 and "01", five texts (name, category, author, keywords, comment),
//                   18 words (hoop change optimised, custom page, hoop width and height,
//                   rotation, page width and height and three more page words, then the
//                   design page's eight words), a text (a picture's file name), an affine
//                   transform (six floats), three words, then the thread table: the number of
//                   threads and per thread its code as a text, red, green, blue, a zero byte,
//                   a 32-bit type, its name, its brand and its chart as texts
// Version 7 ("#PES0070") has the header of version 6 and is read, not written: its design
// section holds other blocks.
//
// Then, in every version written, the number of objects (1) and the design section:
//   0xFFFF 0x0000: blocks follow
//   7 "CEmbOne": the design's extents twice (left, top, right, bottom, 16-bit), an affine
//     transform (six floats: 1, 0, 0, 1, then the translation into the hoop), 1, the
//     position (0, 0) and the width and height (16-bit), eight zero bytes, the number of
//     segments, 0xFFFF 0x0000
//   7 "CSewSeg": the segments, each its kind (0 stitches, 1 a jump), colour, number of
//     points and the points (16-bit x and y from the extents' corner), joined by 0x8003;
//     then the colour list: its length and, per change of colour, the number of the segment
//     it starts with and the colour; then 0x0000 0x0000
// A segment's colour is its PEC palette index, or where the header has a thread table the
// number of its thread there (counted from 1). From version 4 on, four zero bytes follow.
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
// The version written when the settings ask for none.
inline constexpr int kDefaultVersion = 10;

// The header fields of each version written, in the order above.
struct WrittenVersion {
  int value;
  const char* digits;
  bool hoopCode;                    // version 1's hoop and design area words
  bool opening;                     // 1 and "01"
  std::size_t zeroBytesBeforeHoop;  // empty texts and unset options
  bool pageSize;                    // version 6's page words after the rotation
  std::size_t zeroWordsAfterPage;
  bool threadTable;  // version 6's picture name, transform, three words and threads
  bool trailer;      // four zero bytes after the design section
};
// Version 6's nine zero bytes are its five empty texts and two unset option words.
inline constexpr WrittenVersion kWrittenVersions[] = {
    {10, "0001", true, false, 0, false, 0, false, false},
    {20, "0020", false, false, 0, false, 0, false, false},
    {40, "0040", false, true, 7, false, 2, false, true},
    {60, "0060", false, true, 9, true, 0, true, true},
};

// Versions whose header carries the thread table, laid out as above.
inline constexpr int kThreadHeaderVersions[] = {60, 70};
inline constexpr std::size_t kThreadHeaderWordsBeforeTexts = 2;
inline constexpr std::size_t kThreadHeaderTexts = 5;
inline constexpr std::size_t kThreadHeaderWords = 18;
inline constexpr std::size_t kAffineLength = 24;
inline constexpr std::size_t kThreadHeaderWordsBeforeThreads = 3;
inline constexpr std::size_t kThreadTypeLength = 4;

// Header values written.
inline constexpr std::int32_t kHoop130x180 = 1;
inline constexpr std::int32_t kHoopWidthMm = 130;
inline constexpr std::int32_t kHoopHeightMm = 180;
inline constexpr std::int32_t kOpening = 1;
inline constexpr char kSubversion[] = "01";
inline constexpr std::int32_t kPageSize[] = {200, 200, 100, 100, 100};
inline constexpr std::int32_t kDesignPage[] = {7, 19, 0, 0, 0, 25, 1, 0};
inline constexpr std::uint32_t kThreadType = 0x0A;
inline constexpr std::size_t kMaxTextLength = 254;  // 255 announces a longer length
inline constexpr std::size_t kTrailerLength = 4;
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
