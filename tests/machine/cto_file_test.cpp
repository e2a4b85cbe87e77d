#include "stitchkit/machine/cto_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace stitchkit {
namespace {

constexpr long kTime = 1600000000;  // 0x5F5E1000

// `text` written at `offset` of `block`.
void put(std::string& block, std::size_t offset, const std::string& text) {
  block.replace(offset, text.size(), text);
}

HXArray<HString> listOf(std::initializer_list<const char*> elements) {
  HXArray<HString> list;
  for (const char* element : elements)
    list.add(HString(element));
  return list;
}

NeedleBarData threeBlocks() {
  NeedleBarData needles;
  needles.count = 3;
  needles.ns1[0] = {'1', '1'};
  needles.ns1[1] = {'2', '5'};
  needles.ns1[2] = {'A', 'I'};
  needles.ns2[0] = '0';
  needles.ns2[1] = '1';
  needles.ns2[2] = '0';
  needles.ns3[1] = {'L', '4'};
  return needles;
}

HeadGrouping twoFreeHeads() {
  HeadGrouping grouping;
  grouping.type = kHeadGroupTypeFreePattern;
  grouping.headCount = 2;
  grouping.patterns[0].elements[0] = 1;
  grouping.patterns[0].elements[9] = 1;
  grouping.patterns[1].elements[63] = 1;
  return grouping;
}

MachineRepeatSettings repeatedGrid() {
  MachineRepeatSettings repeat;
  repeat.enabled = 1;
  repeat.firstCount = 3;
  repeat.secondCount = 12;
  repeat.firstOffset = 120.7;
  repeat.secondOffset = -45.2;
  repeat.direction = 1;
  repeat.firstAxisFlag = 1;
  repeat.secondAxisFlag = 1;
  return repeat;
}

CTOFile blockOf(const HXArray<HString>& lines, const HeadGrouping& grouping,
                const NeedleBarData& needles, const MachineRepeatSettings& repeat) {
  CTOFile block;
  block.setCTOFile(lines, grouping, needles, repeat);
  block.setTimeDate(kTime);
  return block;
}

// The block the records below must give, written down offset by offset from the layout.
std::string goldenBlock() {
  std::string b(1936, ' ');
  put(b, 0,
      "KRV-HXQP-VARKO  1-1A 2060(550.0\x81\x7E"
      "400.0)S");
  put(b, 49, "2.00");
  put(b, 56, std::string("\x00\x10\x5E\x5F", 4));
  // clang-format off
  const std::vector<std::pair<std::size_t, std::string>> lines = {
      {96, "DC1:150"}, {104, "DC2:100"}, {112, "DC3: 90"}, {120, "DC4:N"}, {126, "DC5:S"},
      {782, "RP0:U"}, {788, "RP1: 3"}, {795, "RP2:12"}, {802, "RP3:+  120"}, {813, "RP4:-   45"},
      {824, "RP5:Y"}, {830, "RP6:J"}, {836, "RP7:Z"}, {842, "ST1:+  250-    7"}, {1076, "ST0:1"},
      {1082, "AO1:0"}, {1088, "AO2:1"}, {1094, "AO3:0"}, {1100, "OF1:+00012-00034"}, {1117, "OF2:"},
      {1134, "OF3:"},
  };
  // clang-format on
  for (const auto& [offset, text] : lines)
    put(b, offset, text);
  // Each line's CR after its data: DC lines 3 or 1 wide, RP0 1, RP1/RP2 2, RP3/RP4 6, RP5-7 1,
  // ST1 and OF 12, ST0 and AO 1.
  for (const std::size_t cr : {103, 111, 119, 125,  131,  787,  794,  801,  812,  823, 829,
                               835, 841, 858, 1081, 1087, 1093, 1099, 1116, 1133, 1150})
    b[cr] = '\r';
  put(b, 264, "NS1:91125AI");
  b[781] = '\r';
  put(b, 859, "NS4:");
  put(b, 863, std::string(160, '\0'));
  b[863] = '\x01';
  b[864] = '\x02';
  b[863 + 15] = '\x80';
  b[1023] = '\r';
  put(b, 1151, "NS2:010");
  b[1411] = '\r';
  put(b, 1412, "NS3:  L4");
  b[1928] = '\r';
  b[1929] = '\x1A';
  return b;
}

TEST(CTOFile, RecordsGiveTheGoldenBlockByteForByte) {
  const HXArray<HString> lines =
      listOf({"KVB", "ignored header", "DC1:150", "DC3: 90", "AO2:1", "OF1:+00012-00034"});
  CTOFile block = blockOf(lines, twoFreeHeads(), threeBlocks(), repeatedGrid());
  block.setProperties({1, 250, -7});
  const std::string golden = goldenBlock();
  const std::string written(block.data, sizeof block.data);
  for (std::size_t i = 0; i < golden.size(); ++i)
    ASSERT_EQ(written[i], golden[i]) << "at offset " << i;
  ConditionBlockFault fault;
  EXPECT_EQ(checkCTOBlock(reinterpret_cast<const unsigned char*>(block.data), 1936, fault),
            kConditionOk)
      << fault.offset;
}

// Each row: the record written, and what reading the block gives back (starting from a record
// of -1s, so that a field that does not parse shows as -1).
struct HTFCase {
  const char* name;
  CT0HTFData written;
  CT0HTFData read;
};

TEST(CTOFile, ConditionRecordsRoundTripWithinTheirFields) {
  // clang-format off
  const HTFCase cases[] = {
      {"in range", {150, 60, 90, 0, 1, 1, 5, 99, -123, 4567, 1, 0, 2, 1, -2, 3, -4, 5, -6}, {150, 60, 90, 0, 1, 1, 5, 99, -123, 4567, 1, 0, 2, 1, -2, 3, -4, 5, -6}},
      {"clamped", {10, 900, -5, 7, 9, 9, 0, -3, 123456, -654321, 5, 7, 8, 0, 100000, 0, 0, 0, 0}, {50, 200, 0, 1, 0, 0, 1, 1, 99999, -99999, 0, 1, 0, 0, 99999, 0, 0, 0, 0}},
      {"infinite counts, turn past 359", {100, 100, 400, 1, 0, 2, 150, 100, 0, 0, 0, 1, 3, 0, 0, 0, 0, 0, 0}, {100, 100, 359, 1, 0, 2, -1, -1, 0, 0, 0, 1, 3, 0, 0, 0, 0, 0, 0}},
  };
  // clang-format on
  for (const HTFCase& c : cases) {
    SCOPED_TRACE(c.name);
    CTOFile block = blockOf(listOf({"KVB", ""}), {}, {}, {});
    block.setHTFData(c.written);
    CT0HTFData read{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    block.getHTFData(read);
    EXPECT_EQ(read, c.read);
    ConditionBlockFault fault;
    EXPECT_EQ(checkCTOBlock(reinterpret_cast<const unsigned char*>(block.data), 1936, fault),
              kConditionOk)
        << "offset " << fault.offset << ": " << fault.expected;
  }
}

TEST(CTOFile, PropertiesAreReadOnlyWhenSwitchedOn) {
  CTOFile block = blockOf(listOf({"KVB", ""}), {}, {}, {});
  block.setProperties({1, -100000, 42});
  CT0Properties read{0, -1, -1};
  block.getProperties(read);
  EXPECT_EQ(read, (CT0Properties{1, -99999, 42}));
  block.setProperties({0, 5, 6});
  read = {1, -1, -1};
  block.getProperties(read);
  EXPECT_EQ(read, (CT0Properties{0, -1, -1}));
}

// Each row: a change to a valid block and the offset the check must name.
TEST(CTOFile, CheckNamesTheOffsetOfTheFirstFault) {
  struct Case {
    const char* name;
    std::size_t size;
    std::size_t at;
    const char* bytes;
    std::size_t offset;
  };
  const Case cases[] = {
      {"short block", 1935, 0, "", 1935},
      {"missing key", 1936, 104, "DX2", 104},
      {"letters in a number", 1936, 100, "1O0", 100},
      {"sign missing", 1936, 1104, "*", 1104},
      {"second of a pair", 1936, 1110, "+1234x", 1110},
      {"lost CR", 1936, 794, "3", 794},
      {"NS4 key", 1936, 860, "X", 859},
  };
  const CTOFile valid = blockOf(listOf({"KVB", "", "RP0:U", "RP1:12", "OF1:+00001+00002"}),
                                twoFreeHeads(), threeBlocks(), {});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CTOFile block = valid;
    std::memcpy(block.data + c.at, c.bytes, std::strlen(c.bytes));
    ConditionBlockFault fault;
    EXPECT_EQ(checkCTOBlock(reinterpret_cast<const unsigned char*>(block.data), c.size, fault),
              kConditionMalformed);
    EXPECT_EQ(fault.offset, c.offset);
    EXPECT_FALSE(fault.expected.empty());
  }
}

}  // namespace
}  // namespace stitchkit
