#pragma once

#include <cstddef>
#include <cstdint>

#include "stitchkit/designio/thread_chart.h"

// The PEC block, shared by the PEC file (the block after an 8-byte "#PEC0001") and the PES
// file (the block at the offset its header gives). Offsets are from the start of the block;
// numbers are little-endian.
//
//   0x000  "LA:" and the label (16 characters, padded with spaces), then '\r'
//   0x014  12 spaces, then 0xFF 0x00
//   0x022  thumbnail width in bytes (6), 0x023 thumbnail height in rows (38)
//   0x024  12 spaces
//   0x030  number of colours minus one, then one palette index per colour block; spaces
//          pad the table to 0x200
//   0x200  two zero bytes, then the offset of the thumbnails from 0x200 (24-bit), then
//          0x31 0xFF 0xF0
//   0x208  design width, 0x20A design height (16-bit)
//   0x20C  0x01E0, 0x20E 0x01B0 (16-bit)
//   0x210  the stitch list, then the thumbnails: the whole design's, then one per colour
//          block (48 x 38 pixels, 1 bit each, the leftmost pixel in a byte's lowest bit)
//
// Stitch list: dx, then dy (y grows downwards). A coordinate whose first byte has its top bit
// clear is that byte, a 7-bit signed number; with the top bit set it is 12 bits (the low
// nibble and the next byte, signed), and the byte's bits 0x20 and 0x10 mark the move as a
// trim or a jump. 0xFE 0xB0 and a byte alternating 2 and 1 change colour; 0xFF ends the list.
// The list starts at the top left corner of the design's box (the first move is taken from
// there), so a design reads back with that corner at (0, 0).
namespace stitchkit::pec {

inline constexpr char kFileMagic[] = "#PEC0001";
inline constexpr std::size_t kFileMagicLength = 8;

inline constexpr char kLabelPrefix[] = "LA:";
inline constexpr std::size_t kLabelPrefixLength = 3;
inline constexpr std::size_t kLabelLength = 16;
inline constexpr std::size_t kLabelEndAt = 0x13;
inline constexpr std::size_t kFillAt = 0x14;
inline constexpr std::size_t kFillLength = 12;
inline constexpr std::size_t kThumbnailWidthAt = 0x22;
inline constexpr std::size_t kThumbnailHeightAt = 0x23;
inline constexpr std::size_t kSecondFillAt = 0x24;
inline constexpr std::size_t kColourCountAt = 0x30;
inline constexpr std::size_t kColourIndexesAt = 0x31;
inline constexpr std::size_t kStitchHeaderAt = 0x200;
inline constexpr std::size_t kThumbnailOffsetAt = 0x202;
inline constexpr std::size_t kWidthAt = 0x208;
inline constexpr std::size_t kHeightAt = 0x20A;
inline constexpr std::size_t kStitchesAt = 0x210;

inline constexpr std::uint8_t kStitchHeaderMarks[] = {0x31, 0xFF, 0xF0};
inline constexpr std::int32_t kStitchHeaderWords[] = {0x01E0, 0x01B0};

// Colour blocks a colour table holds: the count byte is one less, and 0xFF means none.
inline constexpr std::size_t kMaxColours = 255;
inline constexpr std::uint8_t kNoColours = 0xFF;

inline constexpr std::uint8_t kLongFlag = 0x80;
inline constexpr std::uint8_t kTrimFlag = 0x20;
inline constexpr std::uint8_t kJumpFlag = 0x10;
inline constexpr std::uint8_t kColourChange = 0xFE;
inline constexpr std::uint8_t kColourChangeSecond = 0xB0;
inline constexpr std::uint8_t kEnd = 0xFF;
inline constexpr int kShortMax = 63;   // 7-bit coordinates: -64 to 63
inline constexpr int kLongMax = 2047;  // 12-bit coordinates: -2048 to 2047

inline constexpr int kThumbnailBytesPerRow = 6;
inline constexpr int kThumbnailRows = 38;
inline constexpr std::size_t kThumbnailLength = kThumbnailBytesPerRow * kThumbnailRows;
// Pixels inside the frame the stitches are drawn into, and the frame around them.
inline constexpr int kDrawLeft = 5;
inline constexpr int kDrawTop = 4;
inline constexpr int kDrawWidth = 38;
inline constexpr int kDrawHeight = 30;
inline constexpr int kFrameLeft = 3;
inline constexpr int kFrameTop = 2;
inline constexpr int kFrameRight = 44;
inline constexpr int kFrameBottom = 35;

using PaletteColour = stitchkit::ChartColour;

// The thread palette that colour indexes refer to.
inline constexpr PaletteColour kPalette[] = {
    {"Unknown", 0, 0, 0},  // 0: not a thread, read as black
    {"Prussian Blue", 14, 31, 124},
    {"Blue", 10, 85, 163},
    {"Teal Green", 0, 135, 119},
    {"Cornflower Blue", 75, 107, 175},
    {"Red", 237, 23, 31},
    {"Reddish Brown", 209, 92, 0},
    {"Magenta", 145, 54, 151},
    {"Light Lilac", 228, 154, 203},
    {"Lilac", 145, 95, 172},
    {"Mint Green", 158, 214, 125},
    {"Deep Gold", 232, 169, 0},
    {"Orange", 254, 186, 53},
    {"Yellow", 255, 255, 0},
    {"Lime Green", 112, 188, 31},
    {"Brass", 186, 152, 0},
    {"Silver", 168, 168, 168},
    {"Russet Brown", 125, 111, 0},
    {"Cream Brown", 255, 255, 179},
    {"Pewter", 79, 85, 86},
    {"Black", 0, 0, 0},
    {"Ultramarine", 11, 61, 145},
    {"Royal Purple", 119, 1, 118},
    {"Dark Gray", 41, 49, 51},
    {"Dark Brown", 42, 19, 1},
    {"Deep Rose", 246, 74, 138},
    {"Light Brown", 178, 118, 36},
    {"Salmon Pink", 252, 187, 197},
    {"Vermillion", 254, 55, 15},
    {"White", 240, 240, 240},
    {"Violet", 106, 28, 138},
    {"Seacrest", 168, 221, 196},
    {"Sky Blue", 37, 132, 187},
    {"Pumpkin", 254, 179, 67},
    {"Cream Yellow", 255, 243, 107},
    {"Khaki", 208, 166, 96},
    {"Clay Brown", 209, 84, 0},
    {"Leaf Green", 102, 186, 73},
    {"Peacock Blue", 19, 74, 70},
    {"Gray", 135, 135, 135},
    {"Warm Gray", 216, 204, 198},
    {"Dark Olive", 67, 86, 7},
    {"Flesh Pink", 253, 217, 222},
    {"Pink", 249, 147, 188},
    {"Deep Green", 0, 56, 34},
    {"Lavender", 178, 175, 212},
    {"Wisteria Violet", 104, 106, 176},
    {"Beige", 239, 227, 185},
    {"Carmine", 247, 56, 102},
    {"Amber Red", 181, 75, 100},
    {"Olive Green", 19, 43, 26},
    {"Dark Fuchsia", 199, 1, 86},
    {"Tangerine", 254, 158, 50},
    {"Light Blue", 168, 222, 235},
    {"Emerald Green", 0, 103, 62},
    {"Purple", 78, 41, 144},
    {"Moss Green", 47, 126, 32},
    {"Flesh Pink", 255, 204, 204},
    {"Harvest Gold", 255, 217, 17},
    {"Electric Blue", 9, 91, 166},
    {"Lemon Yellow", 240, 249, 112},
    {"Fresh Green", 227, 243, 91},
    {"Orange", 255, 153, 0},
    {"Cream Yellow", 255, 240, 141},
    {"Applique", 255, 200, 200},
};

}  // namespace stitchkit::pec
