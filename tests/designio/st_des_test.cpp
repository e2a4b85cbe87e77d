// The design object's codecs (JEF, XXX, PEC, PES, VP3): the bytes they write for a small design,
// and how broken files are refused.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "stitchkit/designio/jef_codec.h"
#include "stitchkit/designio/pec_codec.h"
#include "stitchkit/designio/pes_codec.h"
#include "stitchkit/designio/st_des.h"
#include "stitchkit/designio/vp3_codec.h"
#include "stitchkit/designio/xxx_codec.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::bytesOf;
namespace T = StDesPointType;

// Stitches, a stitch of 300 units, a jump of 200, a trim, a colour change and the end.
CStDes smallDesign() {
  CStDes design;
  design.points = {{0, 0, 0, T::Normal},     {10, -20, 0, T::Normal},
                   {310, -20, 0, T::Normal}, {310, 180, 0, T::Jump},
                   {300, 170, 0, T::Trim},   {300, 170, 1, T::ColourChange},
                   {305, 165, 1, T::Normal}, {305, 165, 1, T::End}};
  design.threads.Add(jefThreadOfIndex(33));
  design.threads.Add({THREAD::rgb(1, 2, 3), L"", L"", L""});
  return design;
}

std::int64_t number(const std::string& bytes, std::size_t at, int width) {
  std::uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i)
    value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  return width == 2 ? static_cast<std::int16_t>(value) : static_cast<std::int32_t>(value);
}

struct Field {
  std::size_t at;
  int width;
  std::int64_t value;
};

std::vector<std::pair<float, float>> positionsOf(const CStDes& design, std::uint8_t type,
                                                 float shiftY = 0) {
  std::vector<std::pair<float, float>> out;
  for (const StDesPoint& p : design.points)
    if (p.type == type) out.emplace_back(p.x, p.y + shiftY);
  return out;
}

class StDesTest : public testing_support::TempDirTest {};

TEST_F(StDesTest, WritesTheLayoutOfEachFormatAndReadsItBack) {
  using Chunks = std::vector<std::pair<std::size_t, std::string>>;
  struct Golden {
    const char* name;
    std::vector<Field> fields;
    Chunks chunks;  // bytes at an offset: stitch records, tables, pictures
    std::size_t size;
    std::uint32_t firstColour;  // of the first thread read back
    float shiftY = 0;           // PEC blocks read back with the box's corner at (0, 0)
  };
  const std::string spaces12(12, ' ');
  // The PEC block's label and colour table (red 5 for thread chart 33, black 20 for 1,2,3),
  // its stitch header (thumbnails 0x29 bytes on, 310 x 200) and stitch list.
  const std::string pecHead = "LA:" + std::string(16, ' ') + "\r" + spaces12 +
                              bytesOf({0xFF, 0x00, 0x06, 0x26}) + spaces12 +
                              bytesOf({0x01, 0x05, 0x14, 0x20});
  const std::string pecStitchHeader = bytesOf({0x00, 0x00, 0x29, 0x00, 0x00, 0x31, 0xFF, 0xF0, 0x36,
                                               0x01, 0xC8, 0x00, 0xE0, 0x01, 0xB0, 0x01});
  const std::string pecStitches = bytesOf({0x90, 0x00, 0x90, 0x14,  // from the box's corner
                                           0x00, 0x00, 0x0A, 0x6C,  // 7-bit stitches
                                           0x81, 0x2C, 0x00,        // 12-bit x, 7-bit y
                                           0x90, 0x00, 0x90, 0xC8,  // jump
                                           0xAF, 0xF6, 0xAF, 0xF6,  // trim
                                           0xFE, 0xB0, 0x02, 0x05, 0x7B, 0xFF});
  // Frame rows of every thumbnail, and the second block's one stitch drawn at x 41.
  const std::string frameTop = bytesOf({0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0x1F});
  const std::string stitchRow = bytesOf({0x08, 0x00, 0x00, 0x00, 0x00, 0x12});
  const std::size_t pecThumbnails = 8 + 0x210 + pecStitches.size();
  const std::size_t pesPec = 192;
  // VP3: "stitchkit" as the producer, and big-endian lengths counting the bytes after them.
  std::string producer = bytesOf({0x00, 0x12});
  for (char ch : std::string("stitchkit"))
    producer += std::string(1, '\0') + ch;
  const std::string vp3Jump = bytesOf({0x80, 0x01, 0x00, 0x64, 0x00, 0x00, 0x80, 0x02});
  const Golden cases[] = {
      {"small.jef",
       {{0, 4, 132},  {4, 4, 10},   {24, 4, 2},   {28, 4, 17},   {32, 4, 0},  // offset .. hoop
        {36, 4, 0},   {40, 4, 20},  {44, 4, 310}, {48, 4, 180},               // extents
        {52, 4, 550}, {56, 4, 530}, {60, 4, 240}, {64, 4, 370},               // 110 x 110
        {68, 4, -1},  {84, 4, 700}, {88, 4, 980}, {100, 4, 550},              // 50 x 50, 140 x 200
        {116, 4, 33}, {120, 4, 1},  {124, 4, 13}, {128, 4, 13}},              // threads
       {{132, bytesOf({0x00, 0x00, 0x0A, 0x14,                                // stitches (y up)
                       0x80, 0x02, 0x64, 0x00, 0x80, 0x02, 0x64, 0x00,  // 300 split: two jumps ...
                       0x64, 0x00,                                      // ... and the stitch
                       0x80, 0x02, 0x00, 0x9C, 0x80, 0x02, 0x00, 0x9C,  // jump of 200 split
                       0x80, 0x02, 0xF6, 0x0A,                          // trim as a jump
                       0x80, 0x01, 0x00, 0x00, 0x05, 0x05, 0x80, 0x10})}},
       166,
       THREAD::rgb(227, 49, 31)},
      {"SMALL.XXX",
       {{0x17, 4, 6},
        {0x27, 4, 2},
        {0x2D, 2, 310},
        {0x2F, 2, 200},
        {0x31, 2, 305},
        {0x33, 2, -165},
        {0xFC, 4, 0x118}},
       {{0x100, bytesOf({0x00, 0x00, 0x0A, 0x14, 0x7D, 0x2C, 0x01, 0x00, 0x00,  // long stitch
                         0x7E, 0x00, 0x00, 0x38, 0xFF,                          // long jump
                         0x7F, 0x03, 0xF6, 0x0A, 0x7F, 0x08, 0x00, 0x00, 0x05,
                         0x05, 0x7F, 0x7F, 0x03, 0x14, 0x00, 0x00,                  // end code
                         0x00, 0xE3, 0x31, 0x1F, 0x00, 0x01, 0x02, 0x03, 0x00})}},  // palette
       0x11E + 22 * 4,
       THREAD::rgb(227, 49, 31)},
      {"small.pec",
       {},
       {{0, "#PEC0001" + pecHead},
        {8 + 0x200, pecStitchHeader},
        {8 + 0x210, pecStitches},
        {pecThumbnails + 2 * 6, frameTop},
        {pecThumbnails + 2 * 228 + 26 * 6, stitchRow + stitchRow}},
       pecThumbnails + 3 * 228,
       THREAD::rgb(237, 23, 31),
       20},
      {"small.pes",
       {{8, 4, pesPec},
        {12, 2, 1},
        {14, 2, 1},
        {16, 2, 1},
        {18, 2, -1},
        {77, 2, 310},
        {79, 2, 200},
        {89, 2, 4}},
       {{0, "#PES0001"},
        {22, bytesOf({0x07, 0x00}) + "CEmbOne"},
        {31, bytesOf({0, 0, 0, 0, 0x36, 1, 0xC8, 0, 0, 0, 0, 0, 0x36, 1, 0xC8, 0})},  // extents
        {63, bytesOf({0x00, 0x40, 0x53, 0x44, 0x00, 0x00, 0x61, 0x44})},  // centred: 845, 900
        {95,
         bytesOf({0x07, 0x00}) + "CSewSeg" +
             bytesOf({0,    0,    5,    0, 4,    0, 0,    0,    20,   0, 0,    0, 20,   0, 10,   0,
                      0,    0,    0x36, 1, 0,    0, 0x03, 0x80, 1,    0, 5,    0, 3,    0, 0x36, 1,
                      0,    0,    0x36, 1, 0xC8, 0, 0x2C, 1,    0xBE, 0,  // jump and trim
                      0x03, 0x80, 1,    0, 0x14, 0, 2,    0,    0x2C, 1, 0xBE, 0, 0x2C, 1, 0xBE, 0,
                      0x03, 0x80, 0,    0, 0x14, 0, 2,    0,    0x2C, 1, 0xBE, 0, 0x31, 1, 0xB9, 0,
                      2,    0,    0,    0, 5,    0, 2,    0,    0x14, 0,  // colour list
                      0,    0,    0,    0})},
        {pesPec, pecHead},
        {pesPec + 0x210, pecStitches}},
       pesPec + 0x210 + pecStitches.size() + 3 * 228,
       THREAD::rgb(237, 23, 31),
       20},
      {"small.vp3",
       {},
       {{0, std::string("%vsm%", 5) + std::string(1, '\0') + producer},
        {26, bytesOf({0, 2, 0,    0,    0,    0x01, 0x11, 0,    0,  // extent: 273 bytes on
                      0, 0, 0x79, 0x18, 0,    0,    0x07, 0xD0,     // right 31 mm, top 2 mm
                      0, 0, 0,    0,    0xFF, 0xFF, 0xB9, 0xB0,     // left, bottom -18 mm
                      0, 0, 0,    4,    0,    2,    0x0C, 0,    1,  // 4 stitches, 2 threads
                      0, 3, 0,    0,    0,    0,    0xEF})},        // hoop: 239 bytes on
        {122, "xxPP" + bytesOf({1, 0}) + producer + bytesOf({0, 2})},
        {150,
         bytesOf({0, 5, 0,    0,    0,    0, 0x61, 0, 0, 0,    0, 0,
                  0, 0, 0,  // 97 bytes, from 0, 0
                  1, 0, 0xE3, 0x31, 0x1F, 0, 0,    0, 5, 0x28, 0, 2}) +
             "33" + bytesOf({0, 12}) + "Burnt Orange" +
             bytesOf(
                 {0,    0,    0,    0,   0x75, 0x30, 0xFF, 0xFF, 0xBD, 0x98,  // to 300, 170
                  0,    1,    0,    0,   0,    0,    0x2B, 0x0A, 0xF6, 0,     // 43 bytes of records
                  0x00, 0x00, 0x0A, 0xEC}) +
             vp3Jump + vp3Jump + bytesOf({0x64, 0x00}) +  // 300 split: two jumps, a stitch
             bytesOf({0x80, 0x01, 0x00, 0x00, 0x00, 0xC8, 0x80, 0x02,              // jump
                      0x80, 0x01, 0xFF, 0xF6, 0xFF, 0xF6, 0x80, 0x02, 0x80, 0x03,  // trim
                      0x00})},
        {254, bytesOf({0,    5,    0,    0,    0,    0,    0x2D, 0,    0,    0x75, 0x30,
                       0xFF, 0xFF, 0xBD, 0x98, 1,    0,    1,    2,    3,    0,    0,
                       0,    5,    0x28, 0,    0,    0,    0,    0,    0,  // no texts
                       0,    0,    1,    0xF4, 0,    0,    1,    0xF4, 0,    1,    0,
                       0,    0,    0,    5,    0x0A, 0xF6, 0,    0x05, 0xFB, 0})}},
       306,
       THREAD::rgb(227, 49, 31)},
  };
  for (const Golden& c : cases) {
    SCOPED_TRACE(c.name);
    CStDes design = smallDesign();
    STDESSETTINGS settings;
    CStDes::LoadDefaultSettings(settings);
    settings.saveTime = 0;
    CSize size;
    ASSERT_TRUE(design.Save(path(c.name), settings, size));
    EXPECT_EQ(size, (CSize{310, 200}));
    const std::string bytes = readFile(c.name).value_or("");
    ASSERT_EQ(bytes.size(), c.size);
    for (const Field& f : c.fields)
      EXPECT_EQ(number(bytes, f.at, f.width), f.value) << "at " << f.at;
    for (const auto& [at, chunk] : c.chunks)
      EXPECT_EQ(bytes.substr(at, chunk.size()), chunk) << "at " << at;

    CStDes read;
    ASSERT_TRUE(read.Load(path(c.name), settings, size, nullptr));
    EXPECT_EQ(size, (CSize{310, 200}));
    EXPECT_EQ(positionsOf(read, T::Normal), positionsOf(design, T::Normal, c.shiftY));
    EXPECT_EQ(positionsOf(read, T::ColourChange), positionsOf(design, T::ColourChange, c.shiftY));
    ASSERT_EQ(read.threads.GetSize(), 2);
    EXPECT_EQ(read.threads.GetAt(0).colour, c.firstColour);
    EXPECT_EQ(read.points.back().colour, 1);
    EXPECT_EQ(read.points.back().type, T::End);
  }
  EXPECT_EQ(std::string(readFile("small.jef")->substr(8, 14)), "19700101000000");
  // The PES file's PEC block reads as a PEC block; versions 5 and 7 on are not written.
  CStDes block;
  ASSERT_TRUE(readPecBlock(readFile("small.pes")->substr(pesPec), block));
  EXPECT_EQ(positionsOf(block, T::Normal), positionsOf(smallDesign(), T::Normal, 20));
  for (int version : {30, 50, 55, 70, 110}) {
    STDESSETTINGS later;
    later.version = version;
    CSize size;
    EXPECT_FALSE(smallDesign().Save(path("later.pes"), later, size)) << version;
    EXPECT_FALSE(readFile("later.pes").has_value());
  }
}

TEST_F(StDesTest, WritesEachPesVersionAndReadsItBack) {
  // The design page words, and the header's threads: code, red, green, blue, 0, type 10,
  // name, brand and chart (thread chart 33, then 1,2,3 without texts).
  const std::string page =
      bytesOf({130, 0, 180, 0, 0, 0, 7, 0, 19, 0, 0, 0, 0, 0, 0, 0, 25, 0, 1, 0, 0, 0});
  const std::string threads = bytesOf({2, 0, 2}) + "33" +
                              bytesOf({227, 49, 31, 0, 10, 0, 0, 0, 12}) + "Burnt Orange" +
                              bytesOf({0, 0, 0, 1, 2, 3, 0, 10, 0, 0, 0, 0, 0, 0});
  const std::string blocks = bytesOf({1, 0, 0xFF, 0xFF, 0, 0, 7, 0}) + "CEmbOne";
  struct Golden {
    int version;
    std::string header;  // up to the design section, the PEC offset as 0
    std::vector<Field> fields;
    std::string tail;  // the colour list (palette indexes or header threads) to the PEC block
  };
  const std::string paletteColours = bytesOf({2, 0, 0, 0, 5, 0, 2, 0, 20, 0, 0, 0, 0, 0});
  const Golden cases[] = {
      {10, "#PES0001" + bytesOf({0, 0, 0, 0, 1, 0, 1, 0}) + blocks, {{8, 4, 192}}, paletteColours},
      {20, "#PES0020" + bytesOf({0, 0, 0, 0}) + page + blocks, {{8, 4, 210}}, paletteColours},
      // The hoop and the blocks where the "#PES0040" sample has them.
      {40,
       "#PES0040" + bytesOf({0, 0, 0, 0, 1, 0}) + "01" + std::string(7, '\0') + page +
           bytesOf({0, 0, 0, 0}) + blocks,
       {{8, 4, 229}, {0x17, 2, 130}, {0x19, 2, 180}, {0x31, 2, 1}, {0x33, 2, -1}},
       paletteColours + std::string(4, '\0')},
      // The thread count where the "#PES0070" sample has it; segments name threads 1 and 2.
      {60,
       "#PES0060" + bytesOf({0, 0, 0, 0, 1, 0}) + "01" + std::string(9, '\0') + page.substr(0, 6) +
           bytesOf({200, 0, 200, 0, 100, 0, 100, 0, 100, 0}) + page.substr(6) +
           bytesOf({0,    0, 0, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80,
                    0x3F, 0, 0, 0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0}) +
           threads + blocks,
       {{8, 4, 308}, {0x58, 2, 2}},
       bytesOf({2, 0, 0, 0, 1, 0, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
  };
  for (const Golden& c : cases) {
    SCOPED_TRACE(c.version);
    const CStDes design = smallDesign();
    STDESSETTINGS settings;
    settings.version = c.version;
    std::string bytes;
    ASSERT_TRUE(writePes(design, settings, bytes));
    std::string header = bytes.substr(0, c.header.size());
    if (header.size() > 11) header.replace(8, 4, 4, '\0');
    EXPECT_EQ(header, c.header);
    for (const Field& f : c.fields)
      EXPECT_EQ(number(bytes, f.at, f.width), f.value) << "at " << f.at;
    const auto pecOffset = static_cast<std::size_t>(number(bytes, 8, 4));
    ASSERT_GE(pecOffset, c.tail.size());
    EXPECT_EQ(bytes.substr(pecOffset - c.tail.size(), c.tail.size()), c.tail);

    CStDes block;
    ASSERT_TRUE(readPecBlock(std::string_view(bytes).substr(pecOffset), block));
    EXPECT_EQ(positionsOf(block, T::Normal), positionsOf(design, T::Normal, 20));
    CStDes read;
    STDESSETTINGS readSettings;
    ASSERT_TRUE(readPes(bytes, read, readSettings));
    EXPECT_EQ(readSettings.version, c.version);
    EXPECT_EQ(positionsOf(read, T::Normal), positionsOf(design, T::Normal, 20));
    EXPECT_EQ(positionsOf(read, T::ColourChange), positionsOf(design, T::ColourChange, 20));
    // Version 6 reads its threads from the header; the others the PEC palette's.
    ASSERT_EQ(read.threads.GetSize(), 2);
    const THREAD& second = read.threads.GetAt(1);
    if (c.version == 60) {
      EXPECT_EQ(read.threads.GetAt(0).code, design.threads.GetAt(0).code);
      EXPECT_EQ(read.threads.GetAt(0).name, design.threads.GetAt(0).name);
      EXPECT_EQ(read.threads.GetAt(0).manufacturer, design.threads.GetAt(0).manufacturer);
      EXPECT_EQ(second.colour, THREAD::rgb(1, 2, 3));
    } else {
      EXPECT_EQ(second.colour, pecThreadOfIndex(20).colour);
    }
  }
}

TEST_F(StDesTest, RefusesBrokenFiles) {
  std::string jef;
  std::string xxx;
  std::string pec;
  std::string pes;
  std::string vp3;
  ASSERT_TRUE(writeVp3(smallDesign(), {}, vp3));
  ASSERT_TRUE(writeJef(smallDesign(), {}, jef));
  ASSERT_TRUE(writeXxx(smallDesign(), {}, xxx));
  ASSERT_TRUE(writePec(smallDesign(), {}, pec));
  ASSERT_TRUE(writePes(smallDesign(), {}, pes));
  const auto set32 = [](std::string b, std::size_t at, std::uint32_t v) {
    const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8),
                           static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
    return b.replace(at, 4, bytes, 4);
  };
  const auto put = [](std::string b, std::size_t at, const std::string& bytes) {
    return b.replace(at, bytes.size(), bytes);
  };
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"cut.jef", jef.substr(0, 115)},
      {"offset-past-end.jef", set32(jef, 0, 167)},
      {"offset-in-threads.jef", set32(jef, 0, 120)},
      {"negative-threads.jef", set32(jef, 24, 0xFFFFFFFF)},
      {"many-threads.jef", set32(jef, 24, 100000)},
      {"unknown-command.jef", put(jef, 132, bytesOf({0x80, 0x05}))},
      {"cut-command.jef", jef.substr(0, 139)},
      {"no-end.jef", jef.substr(0, 164)},
      {"cut.xxx", xxx.substr(0, 0xFF)},
      {"many-colours.xxx", set32(xxx, 0x27, 0x7FFFFFFF)},
      {"palette-past-end.xxx", set32(xxx, 0x27, 60)},
      {"end-offset-in-header.xxx", set32(xxx, 0xFC, 0x20)},
      {"end-offset-past-end.xxx", set32(xxx, 0xFC, 0xFFFFFFF0)},
      {"unknown-command.xxx", put(xxx, 0x104, bytesOf({0x7F, 0x05}))},
      {"cut-long-move.xxx", set32(set32(xxx.substr(0, 0x107), 0xFC, 0x100), 0x27, 0)},
      {"no-end.xxx", put(xxx, 0x118, bytesOf({0x00, 0x00}))},
      {"other-magic.pec", put(pec, 0, "#PES")},
      {"no-label.pec", put(pec, 8, "XY:")},
      {"cut-block.pec", pec.substr(0, 8 + 0x20F)},
      {"cut-long-move.pec", pec.substr(0, 8 + 0x219)},
      {"unknown-command.pec", put(pec, 8 + 0x210, bytesOf({0xFE, 0x00, 0x02}))},
      {"no-end.pec", pec.substr(0, 8 + 0x228)},
      {"cut.pes", pes.substr(0, 11)},
      {"no-digits.pes", put(pes, 4, "00A1")},
      {"offset-in-header.pes", set32(pes, 8, 11)},
      {"offset-past-end.pes", set32(pes, 8, static_cast<std::uint32_t>(pes.size() + 1))},
      {"offset-not-block.pes", set32(pes, 8, 100)},
      {"other-magic.vp3", put(vp3, 0, "%vsn%")},
      {"cut.vp3", vp3.substr(0, 100)},
      {"missing-thread.vp3", put(vp3, 148, bytesOf({0, 3}))},
      {"records-past-end.vp3", put(vp3, 206, bytesOf({0, 0, 1, 0}))},
      {"unknown-command.vp3", put(vp3, 213, bytesOf({0x80, 0x05}))},
      {"no-thread-tag.vp3", put(vp3, 254, bytesOf({0, 4, 0}))},
      {"cut-thread-header.pes", "#PES0060" + bytesOf({16, 0, 0, 0, 1, 0, 0, 0}) + pec.substr(8)},
      {"empty.jef", ""},
      {"other-format.dst", xxx},
      {"no-extension", xxx},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(c.name, c.bytes);
    CStDes design = smallDesign();
    STDESSETTINGS settings;
    CSize size{7, 7};
    EXPECT_FALSE(design.Load(path(c.name), settings, size, nullptr));
    EXPECT_TRUE(design.points.empty());
    EXPECT_EQ(design.threads.GetSize(), 0);
    EXPECT_EQ(size, (CSize{7, 7}));
  }
  CStDes design;
  STDESSETTINGS settings;
  CSize size;
  EXPECT_FALSE(design.Load(path("missing.jef"), settings, size, nullptr));
  EXPECT_FALSE(design.Save(path("no-such-dir/out.jef"), settings, size));
}

}  // namespace
}  // namespace stitchkit
