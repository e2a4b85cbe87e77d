#include "stitchkit/machine/ct1_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace stitchkit {
namespace {

void put(std::string& block, std::size_t offset, const std::string& text) {
  block.replace(offset, text.size(), text);
}

// `text` as 256 UTF-16 little-endian characters, blank-filled.
std::string utf16(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < 256; ++i) {
    out += i < text.size() ? text[i] : ' ';
    out += '\0';
  }
  return out;
}

// Three colour blocks: the design-begin stitch carries the design comment, the second block a
// speed of its own, the third its thread's comment; the second thread has presser-foot
// settings.
struct SmallDesign {
  SmallDesign() {
    HStitch begin(0, 0, StitchCode::DesignStart, 0);
    begin.setComment("Logo");
    HStitch second(0, 0, StitchCode::ChangeNeedle, 1);
    second.setIndividualSpeed(1234);
    for (const HStitch& s :
         {begin, HStitch(1, 1), second, HStitch(2, 2, StitchCode::Normal, 1),
          HStitch(2, 2, StitchCode::ChangeNeedle, 2), HStitch(3, 3, StitchCode::Normal, 2)})
      stitches.add(s);
    palette.add(ThreadProperty(0xFF0000, "Red", "1001", "Mk"));
    ThreadProperty blue(0x0000FF, "Blue", "1002", "Mk");
    blue.presserFoot = {true, true, 10, 42, 99, 30};
    palette.add(blue);
    ThreadProperty gold(0xFFD700, "Gold", "1003", "Mk");
    gold.comment = "gold";
    palette.add(gold);
    properties.speedEnabled = 1;
    properties.machineSpeed = 1234;
    properties.text1Enabled = 1;
    properties.text1 = "Hi";
    properties.text2Enabled = 1;  // empty, so not written
    CT1Record record;
    record.fill(' ');
    std::memcpy(record.data(), "08001", 5);
    properties.records.add(record);
    const StitchArrayWrapper design(stitches);
    needles.setNeedleBarData(design, options, nullptr, -1);
  }

  CT1Block block() const {
    CT1Block out;
    HXArray<HStitch> copy = stitches;
    out.build(StitchArrayWrapper(copy), palette, options, properties, needles);
    return out;
  }

  HXArray<HStitch> stitches;
  ThreadPalette palette;
  StitchOptions options;
  CT1Properties properties;
  NeedleBarData needles;
};

// The block SmallDesign must give, written down from the layout.
std::string goldenBlock() {
  std::string b(256, ' ');
  const std::vector<std::pair<std::size_t, std::string>> lines = {
      {0, "FR1:   \r"},        {16, "NS5:  3\r"},       {32, "RM1:10000100\r"},
      {48, "PF1:10000111\r"},  {64, "CO1:10000146\r"},  {80, "TH1:0       \r"},
      {96, "TH2:     \r"},     {112, "RM3:1250\r"},     {128, "CO3:1000074b\r"},
      {144, "CO5:0       \r"}, {160, "AB1:10000950\r"}, {176, "TD1:10000b55\r"},
      {192, "TD2:003803\r"},   {203, "NS6:0    \r"},    {213, "NS7:0       \r"},
      {226, "NS9:0       \r"}, {239, "NSB:0       \r"},
  };
  for (const auto& [offset, text] : lines)
    put(b, offset, text);
  b += "RM2:999912509999\r";
  b += "PF2:0               1101 409925     0               \r";
  b += "CO2:" + utf16("Logo") + utf16("") + utf16("gold") + "\r";
  b += "CO4:" + utf16("Hi") + "\r";
  b += "AB2:08001" + std::string(27, ' ');
  for (int i = 1; i < 16; ++i)
    b += "99990" + std::string(27, ' ');
  b += "\r";
  b += "TD3:Mk,Red,1001,Mk,Blue,1002,Mk,Gold,1003\r";
  b += '\x1A';
  return b;
}

TEST(CT1Block, DesignGivesTheGoldenBlockByteForByte) {
  const std::vector<unsigned char> written = SmallDesign().block().bytes();
  const std::string golden = goldenBlock();
  ASSERT_EQ(written.size(), golden.size());
  for (std::size_t i = 0; i < golden.size(); ++i)
    ASSERT_EQ(static_cast<char>(written[i]), golden[i]) << "at offset " << i;
}

TEST(CT1Block, GoldenBlockReadsBackIntoTheProperties) {
  const SmallDesign design;
  const std::vector<unsigned char> bytes = design.block().bytes();
  CT1Block read;
  ConditionBlockFault fault;
  ASSERT_EQ(read.read(bytes.data(), bytes.size(), fault), kConditionOk) << fault.offset;
  CT1Properties properties;
  read.getProperties(properties);
  EXPECT_EQ(properties.speedEnabled, 1);
  EXPECT_EQ(properties.machineSpeed, 1250);
  EXPECT_EQ(properties.text1, HString("Hi"));
  EXPECT_EQ(properties.text2Enabled, 0);
  EXPECT_EQ(properties.comments, (HXArray<HString>(), [] {
              HXArray<HString> c;
              c.add("Logo");
              c.add("");
              c.add("gold");
              return c;
            }()));
  ASSERT_EQ(properties.speeds.length(), 3);
  EXPECT_EQ(properties.speeds[1], 1250);
  ASSERT_EQ(properties.presserFoot.length(), 3);
  EXPECT_EQ(properties.presserFoot[1], makeCT1PresserFootRecord({true, true, 10, 40, 99, 25}));
  ASSERT_EQ(properties.threads.length(), 3);
  EXPECT_EQ(properties.threads[2], (CT1ThreadEntry{"Mk", "Gold", "1003"}));
  ASSERT_EQ(properties.records.length(), 16);
  EXPECT_EQ(properties.records[0], design.properties.records[0]);
  NeedleBarData needles;
  read.getNeedleBarData(needles);
  EXPECT_EQ(needles.count, 3);
}

// Each row: a change to the golden block, the size read, and the offset the fault must name.
TEST(CT1Block, ReadNamesTheOffsetOfTheFirstFault) {
  struct Case {
    const char* name;
    std::size_t at;
    const char* bytes;
    std::size_t size;  // 0: the whole block
    std::size_t offset;
  };
  const Case cases[] = {
      {"short header", 0, "", 200, 200}, {"header key", 113, "X", 0, 112},
      {"flag", 36, "2", 0, 36},          {"offset digits", 40, "x", 0, 37},
      {"section key", 256, "X", 0, 256}, {"section beyond the end", 0, "", 300, 277},
      {"speed", 260, "99x9", 0, 260},    {"thread text length", 196, "9999", 0, 2905},
      {"block count", 21, "A", 0, 20},
  };
  const std::vector<unsigned char> valid = SmallDesign().block().bytes();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> bytes = valid;
    std::memcpy(bytes.data() + c.at, c.bytes, std::strlen(c.bytes));
    CT1Block block;
    ConditionBlockFault fault;
    EXPECT_EQ(block.read(bytes.data(), c.size == 0 ? bytes.size() : c.size, fault),
              kConditionMalformed);
    EXPECT_EQ(fault.offset, c.offset);
    EXPECT_FALSE(fault.expected.empty());
  }
}

}  // namespace
}  // namespace stitchkit
