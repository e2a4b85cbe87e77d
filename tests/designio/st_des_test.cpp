// The design object's JEF and XXX codecs: the bytes they write for a small design, and how
// broken files are refused.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "stitchkit/designio/jef_codec.h"
#include "stitchkit/designio/st_des.h"
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

std::vector<std::pair<float, float>> positionsOf(const CStDes& design, std::uint8_t type) {
  std::vector<std::pair<float, float>> out;
  for (const StDesPoint& p : design.points)
    if (p.type == type) out.emplace_back(p.x, p.y);
  return out;
}

class StDesTest : public testing_support::TempDirTest {};

TEST_F(StDesTest, WritesTheLayoutOfEachFormatAndReadsItBack) {
  struct Golden {
    const char* name;
    std::vector<Field> fields;
    std::size_t streamAt;
    std::string stream;  // the stitch records, then what follows them
    std::size_t size;
  };
  const Golden cases[] = {
      {"small.jef",
       {{0, 4, 132},  {4, 4, 10},   {24, 4, 2},   {28, 4, 17},   {32, 4, 0},  // offset .. hoop
        {36, 4, 0},   {40, 4, 20},  {44, 4, 310}, {48, 4, 180},               // extents
        {52, 4, 550}, {56, 4, 530}, {60, 4, 240}, {64, 4, 370},               // 110 x 110
        {68, 4, -1},  {84, 4, 700}, {88, 4, 980}, {100, 4, 550},              // 50 x 50, 140 x 200
        {116, 4, 33}, {120, 4, 1},  {124, 4, 13}, {128, 4, 13}},              // threads
       132,
       bytesOf({0x00, 0x00, 0x0A, 0x14,                          // stitches (y up)
                0x80, 0x02, 0x64, 0x00, 0x80, 0x02, 0x64, 0x00,  // 300 split: two jumps ...
                0x64, 0x00,                                      // ... and the stitch
                0x80, 0x02, 0x00, 0x9C, 0x80, 0x02, 0x00, 0x9C,  // jump of 200 split
                0x80, 0x02, 0xF6, 0x0A,                          // trim as a jump
                0x80, 0x01, 0x00, 0x00, 0x05, 0x05, 0x80, 0x10}),
       166},
      {"SMALL.XXX",
       {{0x17, 4, 6},
        {0x27, 4, 2},
        {0x2D, 2, 310},
        {0x2F, 2, 200},
        {0x31, 2, 305},
        {0x33, 2, -165},
        {0xFC, 4, 0x118}},
       0x100,
       bytesOf({0x00, 0x00, 0x0A, 0x14, 0x7D, 0x2C, 0x01, 0x00, 0x00,  // long stitch
                0x7E, 0x00, 0x00, 0x38, 0xFF,                          // long jump
                0x7F, 0x03, 0xF6, 0x0A, 0x7F, 0x08, 0x00, 0x00, 0x05,
                0x05, 0x7F, 0x7F, 0x03, 0x14, 0x00, 0x00,                // end code
                0x00, 0xE3, 0x31, 0x1F, 0x00, 0x01, 0x02, 0x03, 0x00}),  // palette
       0x11E + 22 * 4},
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
    EXPECT_EQ(bytes.substr(c.streamAt, c.stream.size()), c.stream);

    CStDes read;
    ASSERT_TRUE(read.Load(path(c.name), settings, size, nullptr));
    EXPECT_EQ(size, (CSize{310, 200}));
    EXPECT_EQ(positionsOf(read, T::Normal), positionsOf(design, T::Normal));
    EXPECT_EQ(positionsOf(read, T::ColourChange), positionsOf(design, T::ColourChange));
    ASSERT_EQ(read.threads.GetSize(), 2);
    EXPECT_EQ(read.threads.GetAt(0).colour, design.threads.GetAt(0).colour);
    EXPECT_EQ(read.points.back().colour, 1);
    EXPECT_EQ(read.points.back().type, T::End);
  }
  EXPECT_EQ(std::string(readFile("small.jef")->substr(8, 14)), "19700101000000");
}

TEST_F(StDesTest, RefusesBrokenFiles) {
  std::string jef;
  std::string xxx;
  ASSERT_TRUE(writeJef(smallDesign(), {}, jef));
  ASSERT_TRUE(writeXxx(smallDesign(), {}, xxx));
  const auto set32 = [](std::string b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    return b;
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
