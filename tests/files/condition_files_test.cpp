#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stitchkit/files/chenille_condition_file.h"
#include "stitchkit/files/laser_condition_file.h"
#include "stitchkit/platform/console_app.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::TempDirTest;

HStitch command(std::uint8_t flags, unsigned short colour, unsigned short data = 0) {
  HStitch s(0, 0, flags, colour);
  s.setData(data);
  return s;
}

class ChenilleConditionFileTest : public TempDirTest {};

TEST_F(ChenilleConditionFileTest, OneLinePerCommand) {
  struct Case {
    const char* name;
    std::vector<HStitch> stitches;
    HStitch chenille;
    int keepRepeats;
    std::string expected;
  };
  const HStitch n = command(StitchCode::Normal, 0);
  const HStitch chain = command(StitchCode::ChenilleChain, 0, 1);
  // clang-format off
  const Case cases[] = {
      {"chain chenille", {n, n, n}, command(StitchCode::ChenilleChain, 2, 4), 0, "cC4-\r"},
      {"needle chenille", {n, n}, command(StitchCode::Normal, 0), 0, "1---\r"},
      {"repeated chain", {chain, chain}, n, 0, "aC1-\r"},
      {"repeated chain kept", {chain, chain}, n, 1, "aC1-\raC1-\r"},
      {"stitch between chains", {chain, n, chain}, n, 0, "aC1-\raC1-\r"},
      {"moss after chain", {chain, command(StitchCode::ChenilleMoss, 7, 3)}, n, 0, "aC1-\rbL3-\r"},
      {"needles 15 and 16", {command(StitchCode::ChangeNeedle, 14), command(StitchCode::Stop, 15)}, n, 0, "F---\r1---\r"},
      {"height above 9", {command(StitchCode::ChenilleChain, 5, 12)}, n, 0, "fC9-\r"},
      {"silent commands", {command(StitchCode::Jump, 0), command(StitchCode::Trim, 0)}, n, 0, ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HXArray<HStitch> design;
    for (const HStitch& s : c.stitches)
      design.add(s);
    StitchArrayWrapper stitches(design);
    ASSERT_EQ(makeChenilleConditionFile(path("design.dst"), stitches, c.chenille, c.keepRepeats),
              kChenilleFileOk);
    EXPECT_EQ(readFile("design.CC0"), c.expected);
  }
}

class NumberedHost : public ConsoleApp {
 public:
  HostData getHostData() const override { return HostData{1234567890}; }
};

TEST(LaserConditionFile, BlocksListAndHostNumberAtTheirOffsets) {
  HList<LT0LaserBlock> blocks;
  for (int i = 0; i < 60; ++i) {
    LT0LaserBlock block;
    block.bytes.fill(static_cast<unsigned char>(i));
    block.bytes[0] = 255;
    blocks.append(block);
  }
  HList<int> list;
  for (int i = 0; i < 30500; ++i)
    list.append(0x100 + i % 7);
  struct Case {
    ConsoleApp* host;
    int blocks;
    std::string number;
  };
  NumberedHost host;
  for (const Case& c : {Case{nullptr, 60, std::string(7, '\0')}, Case{&host, 3, "1234567"}}) {
    setConsoleApp(c.host);
    HList<LT0LaserBlock> given;
    for (int i = 0; i < c.blocks; ++i)
      given.append(blocks(i));
    auto record = std::make_unique<LT0File>();
    EXPECT_EQ(makeLaserConditionFile(*record, given, list), kLaserFileOk);
    setConsoleApp(nullptr);
    const std::string bytes(record->data.begin(), record->data.end());
    EXPECT_EQ(bytes.substr(0, 16), "KRV-HXQP-VARKO  ");
    EXPECT_EQ(bytes.substr(49, 7), c.number);
    EXPECT_EQ(bytes.substr(60, 10), "1.00630500");
    EXPECT_NE(bytes.substr(56, 4), std::string(4, ' '));
    EXPECT_EQ(bytes.substr(70, 26), std::string(26, ' '));
    // Block 2 is copied (first byte plus one), record 49 comes from a block only when there
    // are 50 or more.
    EXPECT_EQ(bytes.substr(96 + 64, 32),
              std::string(1, '\0') + std::string(22, '\2') + std::string(8, ' ') + "\r");
    EXPECT_EQ(bytes[96 + 49 * 32], c.blocks >= 50 ? '\0' : '\x32');
    EXPECT_EQ(bytes[96 + 49 * 32 + 31], '\r');
    EXPECT_EQ(bytes.substr(1696, 3), std::string("\0\1\2", 3));
    EXPECT_EQ(bytes[31696], '\x1A');
  }
}

}  // namespace
}  // namespace stitchkit
