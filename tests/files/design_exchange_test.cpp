// Designs through the design-I/O layer (written and read back, missing and unreadable files),
// and the preview picture of an EMB file: found in a real file's compound-file structure, and
// refused, without reading outside the file, when that structure is damaged.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "stitchkit/files/design_exchange.h"
#include "stitchkit/platform/compound_file.h"
#include "tests/support/stitch_builders.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

const std::filesystem::path kSample =
    std::filesystem::path(STITCHKIT_SAMPLES_DIR) / "emb" / "emodder__Star.EMB";

std::vector<std::uint8_t> sampleBytes() {
  std::ifstream in(kSample, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

class DesignExchange : public testing_support::TempDirTest {};

TEST_F(DesignExchange, DesignsGoThroughTheLayerAndBack) {
  using testing_support::stitch;
  HXArray<HStitch> design =
      testing_support::design({stitch(0, 0), stitch(30, -20), stitch(400, 10, StitchCode::Jump),
                               stitch(410, 30), stitch(410, 30, StitchCode::ChangeNeedle, 1),
                               stitch(380, 60, 0, 1), stitch(380, 60, StitchCode::DesignEnd, 1)});
  ThreadPalette palette;
  palette.add(ThreadProperty(ThreadProperty::rgb(200, 10, 20), L"Red", L"1", L"madeira 40"));
  palette.add(ThreadProperty(ThreadProperty::rgb(5, 100, 250), L"", L"", L""));
  // The format written with, the version the settings hold, and the format read back (a PES
  // version's, else the one given).
  // PES and PEC read back with the corner of the design's box at (0, 0).
  struct Case {
    const char* name;
    std::int32_t format;
    int version;
    std::int32_t read;
    int shiftY;
  };
  for (const Case& c : {Case{"d.xxx", 0, 0, 0, 0}, Case{"d.jef", 0, 0, 0, 0},
                        Case{"d.pec", 26, 0, 26, 20}, Case{"d.pes", 41, 10, 41, 20}}) {
    const std::string name = c.name;
    SCOPED_TRACE(name);
    auto format = static_cast<HDiskFileFormat>(c.format);
    CSize size;
    int version = -1;
    ASSERT_EQ(makeGNFile(path(name), format, design, palette, StitchOptions(), size, &version),
              kExchangeOk);
    EXPECT_EQ(version, c.version);
    HXArray<HStitch> back;
    StitchStats stats;
    ThreadPalette threads;
    StitchOptions options;
    ASSERT_EQ(decodeGNFile(path(name), back, stats, threads, options, 0, format, size),
              kExchangeOk);
    EXPECT_EQ(format, c.read);
    auto expected = testing_support::penetrations(design);
    for (auto& point : expected)
      point.second += c.shiftY;
    EXPECT_EQ(testing_support::penetrations(back), expected);
    EXPECT_EQ(testing_support::colourSequence(back), testing_support::colourSequence(design));
    EXPECT_EQ(stats.colourChangeCount, 1);
    if (name == "d.xxx") {
      ASSERT_GE(threads.length(), 2);
      EXPECT_EQ(threads[0].colour, palette[0].colour);
      EXPECT_EQ(threads[1].colour, palette[1].colour);
    }
  }
  // A later PES version is not written.
  HDiskFileFormat later = static_cast<HDiskFileFormat>(89);
  CSize laterSize;
  int version = -1;
  EXPECT_EQ(
      makeGNFile(path("later.pes"), later, design, palette, StitchOptions(), laterSize, &version),
      kExchangeFailed);
  EXPECT_EQ(version, 110);
  HXArray<HStitch> none;
  StitchStats stats;
  ThreadPalette threads;
  StitchOptions options;
  HDiskFileFormat format = kFormatDst;
  CSize size;
  writeFile("bad.jef", "not a design");
  EXPECT_EQ(decodeGNFile(path("missing.jef"), none, stats, threads, options, 0, format, size),
            kExchangeNoFile);
  EXPECT_EQ(decodeGNFile(path("bad.jef"), none, stats, threads, options, 0, format, size),
            kExchangeFailed);
  // The design data of an EMB file is not readable here: a clear failure.
  CStDes emb;
  EXPECT_EQ(decodeEMBFile(fromNativePath(kSample.string()), emb, threads, size), kExchangeFailed);
}

TEST(EmbIcon, TheDesignIconStreamOfARealFile) {
  HXArray<unsigned char> icon;
  ASSERT_EQ(readEmbFileIcon(fromNativePath(kSample.string()), icon), kEmbIconOk);
  // 573 bytes in the mini stream, from mini sector 65 on: a 32-bit length, then zlib data.
  ASSERT_EQ(icon.length(), 573);
  EXPECT_EQ(icon[0], 0x46);
  EXPECT_EQ(icon[1], 0x2B);
  EXPECT_EQ(icon[4], 0x78);
  EXPECT_EQ(icon[5], 0x9C);
  EXPECT_EQ(icon[572], 0xA8);

  // A stream above the mini-stream cutoff comes through the regular sectors.
  std::vector<std::uint8_t> contents;
  ASSERT_EQ(readCompoundStream(sampleBytes(), u"contents", contents), kCompoundOk);
  EXPECT_EQ(contents.size(), 9153u);
}

TEST(EmbIcon, DamagedFilesAreRefused) {
  const std::vector<std::uint8_t> good = sampleBytes();
  ASSERT_EQ(good.size(), 46080u);
  struct Row {
    const char* name;
    std::size_t at;  // where a 32-bit value is put
    std::uint32_t value;
    int expected;
  };
  // The FAT is sector 3 (file offset 2048); the directory sectors 2 and 4 (entries 0-3 at
  // 1536, 4-7 at 2560); the icon is entry 6, whose left neighbour in the tree is entry 7.
  const Row rows[] = {
      {"signature", 0, 0, kCompoundNotCompound},
      {"sector shift", 0x1C, 0x000AFFFE, kCompoundNotCompound},
      {"mini sector shift", 0x20, 7, kCompoundNotCompound},
      {"FAT sector past the end", 0x4C, 5000, kCompoundBroken},
      {"FAT sector count", 0x2C, 100000, kCompoundBroken},
      {"directory past the end", 0x30, 90, kCompoundBroken},
      {"FAT chain of the directory loops", 2048 + 4 * 2, 2, kCompoundBroken},
      {"icon size beyond the file", 2816 + 120, 1u << 30, kCompoundBroken},
      {"icon mini sector past the mini stream", 2816 + 116, 4000, kCompoundBroken},
      {"icon renamed", 2816, 0x00580058, kCompoundNoStream},
      {"root without children", 1536 + 76, 0xFFFFFFFF, kCompoundNoStream},
      {"sibling cycle", 2944 + 68, 2, kCompoundNoStream},
  };
  for (const Row& row : rows) {
    std::vector<std::uint8_t> bytes = good;
    put32(bytes, row.at, row.value);
    std::vector<std::uint8_t> icon = {1, 2, 3};
    EXPECT_EQ(readCompoundStream(bytes, u"DESIGN_ICON", icon), row.expected) << row.name;
    EXPECT_EQ(icon, (std::vector<std::uint8_t>{1, 2, 3})) << row.name;
  }
  std::vector<std::uint8_t> icon;
  EXPECT_EQ(readCompoundStream(std::span(good).subspan(0, 511), u"DESIGN_ICON", icon),
            kCompoundNotCompound);
  HXArray<unsigned char> unchanged;
  unchanged.add(7);
  EXPECT_EQ(readEmbFileIcon(HString(L"/no/such/file.emb"), unchanged), kEmbIconFailed);
  EXPECT_EQ(unchanged.length(), 1);
}

}  // namespace
}  // namespace stitchkit
