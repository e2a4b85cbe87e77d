#pragma once

#include <cstddef>
#include <cstdint>

#include "stitchkit/designio/thread_chart.h"

// The JEF design file, shared by its reader and writer. All numbers are little-endian.
//
// Header (116 bytes), then one 32-bit thread chart index per thread and one 32-bit thread
// type per thread, then the stitch stream at the stitch offset:
//   0    stitch offset (32-bit)          4   flags (32-bit)
//   8    time stamp "YYYYMMDDHHMMSS"     22  two zero bytes
//   24   thread count (32-bit)           28  length of the stitch stream in 2-byte words
//   32   hoop code (32-bit)              36  design extents from the first point: left, top,
//                                            right, bottom (four 32-bit values)
//   52   four hoop records: for each hoop, the distances from the design's extents to the
//        hoop's left, top, right and bottom edges, or four times -1 when the design does not
//        fit (four 32-bit values each)
//   116  thread chart indexes, then thread types
//
// Stitch stream: a stitch is two signed bytes (dx, then dy with y growing upwards). The byte
// 0x80 escapes a command: 0x80 0x01 dx dy changes colour while moving, 0x80 0x02 dx dy jumps,
// 0x80 0x10 ends the design.
namespace stitchkit::jef {

inline constexpr std::size_t kStitchOffsetAt = 0;
inline constexpr std::size_t kFlagsAt = 4;
inline constexpr std::size_t kTimeStampAt = 8;
inline constexpr std::size_t kTimeStampLength = 14;
inline constexpr std::size_t kThreadCountAt = 24;
inline constexpr std::size_t kWordCountAt = 28;
inline constexpr std::size_t kHoopCodeAt = 32;
inline constexpr std::size_t kExtentsAt = 36;
inline constexpr std::size_t kHoopRecordsAt = 52;
inline constexpr std::size_t kHoopRecordCount = 4;
inline constexpr std::size_t kThreadIndexesAt = 116;
inline constexpr std::size_t kHeaderLength = 116;

inline constexpr std::uint32_t kFlags = 10;
inline constexpr std::uint32_t kThreadType = 13;

inline constexpr std::uint8_t kEscape = 0x80;
inline constexpr std::uint8_t kColourChange = 0x01;
inline constexpr std::uint8_t kJump = 0x02;
inline constexpr std::uint8_t kEnd = 0x10;
inline constexpr int kMaxStep = 127;

// More threads than this are not read.
inline constexpr std::int32_t kMaxThreads = 1024;

struct Hoop {
  std::int32_t code;
  std::int32_t halfWidth;  // 0.1 mm
  std::int32_t halfHeight;
};

// Hoops by size, smallest first; the writer picks the first that holds the design.
inline constexpr Hoop kHoops[] = {
    {1, 250, 250},    // 50 x 50 mm
    {0, 550, 550},    // 110 x 110 mm
    {2, 700, 1000},   // 140 x 200 mm
    {4, 1000, 1000},  // 200 x 200 mm
};
// The hoops of the first three hoop records (the fourth describes the hoop written).
inline constexpr std::int32_t kRecordHoops[] = {0, 1, 2};

using ChartColour = stitchkit::ChartColour;

// The thread colour chart that thread indexes refer to.
inline constexpr ChartColour kChart[] = {
    {"Black", 0, 0, 0},  // 0: unused by the maker, read as black
    {"Black", 0, 0, 0},
    {"White", 255, 255, 255},
    {"Yellow", 255, 255, 23},
    {"Orange", 250, 160, 96},
    {"Olive Green", 92, 118, 73},
    {"Green", 64, 192, 48},
    {"Sky", 101, 194, 200},
    {"Purple", 172, 128, 190},
    {"Pink", 245, 188, 203},
    {"Red", 255, 0, 0},
    {"Brown", 192, 128, 0},
    {"Blue", 0, 0, 240},
    {"Gold", 228, 195, 93},
    {"Dark Brown", 165, 42, 42},
    {"Pale Violet", 213, 176, 212},
    {"Pale Yellow", 252, 242, 148},
    {"Pale Pink", 240, 208, 192},
    {"Peach", 255, 192, 0},
    {"Beige", 201, 164, 128},
    {"Wine Red", 155, 61, 75},
    {"Pale Sky", 160, 184, 204},
    {"Yellow Green", 127, 194, 28},
    {"Silver Grey", 185, 185, 185},
    {"Grey", 160, 160, 160},
    {"Pale Aqua", 152, 214, 189},
    {"Baby Blue", 184, 240, 240},
    {"Powder Blue", 54, 139, 160},
    {"Bright Blue", 79, 131, 171},
    {"Slate Blue", 56, 106, 145},
    {"Navy Blue", 0, 32, 107},
    {"Salmon Pink", 229, 197, 202},
    {"Coral", 249, 103, 107},
    {"Burnt Orange", 227, 49, 31},
    {"Cinnamon", 226, 161, 136},
    {"Umber", 181, 148, 116},
    {"Blonde", 228, 207, 153},
    {"Sunflower", 225, 203, 0},
    {"Orchid Pink", 225, 173, 212},
    {"Peony Purple", 195, 0, 126},
    {"Burgundy", 128, 0, 75},
    {"Royal Purple", 160, 96, 176},
    {"Cardinal Red", 192, 64, 32},
    {"Opal Green", 202, 224, 192},
    {"Moss Green", 137, 152, 86},
    {"Meadow Green", 0, 170, 0},
    {"Dark Green", 33, 138, 33},
    {"Aquamarine", 93, 174, 148},
    {"Emerald Green", 76, 191, 143},
    {"Peacock Green", 0, 119, 114},
    {"Dark Grey", 112, 112, 112},
    {"Ivory White", 242, 255, 255},
    {"Hazel", 177, 88, 24},
    {"Toast", 203, 138, 7},
    {"Salmon", 247, 146, 123},
    {"Cocoa Brown", 152, 105, 45},
    {"Sienna", 162, 113, 72},
    {"Sepia", 123, 85, 74},
    {"Dark Sepia", 79, 57, 70},
    {"Violet Blue", 82, 58, 151},
    {"Blue Ink", 0, 0, 160},
    {"Solar Blue", 0, 150, 222},
    {"Green Dust", 178, 221, 83},
    {"Crimson", 250, 143, 187},
    {"Floral Pink", 222, 100, 158},
    {"Wine", 181, 80, 102},
    {"Olive Drab", 94, 87, 71},
    {"Meadow", 76, 136, 31},
    {"Mustard", 228, 220, 121},
    {"Yellow Ocher", 203, 138, 26},
    {"Old Gold", 198, 170, 66},
    {"Honeydew", 236, 176, 44},
    {"Tarnish", 248, 128, 64},
    {"Skintone", 255, 229, 5},
};

}  // namespace stitchkit::jef
