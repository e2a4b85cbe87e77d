// Real PES, PEC, JEF and XXX designs read in place, and every DST sample written as each of
// them (and as VP3) and read back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "stitchkit/designio/move_plan.h"
#include "stitchkit/designio/pec_codec.h"
#include "stitchkit/designio/st_des.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/formats/file_format_registry.h"
#include "tests/support/stitch_builders.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::sampleFiles;
namespace T = StDesPointType;
using Positions = std::vector<std::pair<float, float>>;

Positions positionsOf(const CStDes& design, std::uint8_t type) {
  Positions out;
  for (const StDesPoint& p : design.points)
    if (p.type == type) out.emplace_back(p.x, p.y);
  return out;
}

Positions shifted(Positions positions, float dx, float dy) {
  for (auto& [x, y] : positions) {
    x += dx;
    y += dy;
  }
  return positions;
}

TEST(DesignSamples, RealFilesHoldWhatTheirBytesSay) {
  // Facts taken from the files' bytes: the thread table or palette (a PES file's PEC colour
  // table, and the threads of its header where it has them), the number of stitch and colour
  // change records, the records that open the design and the version.
  struct Sample {
    const char* file;
    std::vector<std::uint32_t> colours;
    std::vector<const char*> codes;
    int stitches;
    int colourChanges;
    std::vector<StDesPoint> opening;
    int version = 0;
  };
  const Sample samples[] = {
      {"pes/emodder__Embroidermodder.PES",  // "#PES0040", PEC block at 0x3639, colour 1
       {THREAD::rgb(14, 31, 124)},
       {"1"},
       3407,
       0,
       {{9, 119, 0, T::Jump}, {4, 115, 0, T::Normal}, {19, 134, 0, T::Normal}},
       40},
      {"pes/emodder__Star.pes",  // "#PES0070", PEC colours 5 and 29, header threads 800, 001
       {THREAD::rgb(237, 23, 31), THREAD::rgb(240, 240, 240)},
       {"800", "001"},
       2550,
       1,
       {{296, 462, 0, T::Jump}, {296, 462, 0, T::Normal}, {294, 460, 0, T::Normal}},
       70},
      {"pec/emodder__Embroidermodder.PEC",  // opens with a trimming 12-bit move
       {THREAD::rgb(14, 31, 124)},
       {"1"},
       3408,
       0,
       {{-992, 246, 0, T::Trim}, {-992, 246, 0, T::Normal}, {-996, 251, 0, T::Normal}}},
      {"jef/emodder__Star.JEF",
       {THREAD::rgb(227, 49, 31), THREAD::rgb(242, 255, 255)},
       {"33", "51"},
       2540,
       1,
       {{0, 0, 0, T::Jump}, {0, 127, 0, T::Jump}, {1, 151, 0, T::Normal}, {-1, 149, 0, T::Normal}}},
      {"xxx/emodder__Star.XXX",
       {THREAD::rgb(227, 49, 31), THREAD::rgb(247, 243, 247)},
       {},
       2540,
       1,
       {{0, 0, 0, T::Jump}, {1, 151, 0, T::Jump}, {1, 151, 0, T::Normal}, {-1, 149, 0, T::Normal}}},
      {"xxx/emodder__Embroidermodder.XXX",
       {THREAD::rgb(0x18, 0x08, 0x94)},
       {},
       3408,
       0,
       {{0, 0, 0, T::Jump}, {-992, 246, 0, T::Jump}}},
  };
  std::size_t files = sampleFiles("jef").size() + sampleFiles("xxx").size() +
                      sampleFiles("pes").size() + sampleFiles("pec").size();
  ASSERT_EQ(files, std::size(samples)) << "a sample without facts to check";
  std::vector<Positions> stars;
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.file);
    CStDes design;
    STDESSETTINGS settings;
    CSize size;
    const auto file = std::filesystem::path(STITCHKIT_SAMPLES_DIR) / s.file;
    ASSERT_TRUE(design.Load(fromNativePath(file.string()), settings, size, nullptr));
    EXPECT_EQ(settings.version, s.version);
    EXPECT_EQ(HFileFormat::getFileVersionFromFile(fromNativePath(file.string())), s.version);
    ASSERT_EQ(design.threads.GetSize(), static_cast<int>(s.colours.size()));
    for (int i = 0; i < design.threads.GetSize(); ++i) {
      EXPECT_EQ(design.threads.GetAt(i).colour, s.colours[static_cast<std::size_t>(i)]);
      if (!s.codes.empty()) {
        EXPECT_EQ(design.threads.GetAt(i).code, s.codes[static_cast<std::size_t>(i)]);
      }
    }
    EXPECT_EQ(positionsOf(design, T::Normal).size(), static_cast<std::size_t>(s.stitches));
    EXPECT_EQ(positionsOf(design, T::ColourChange).size(),
              static_cast<std::size_t>(s.colourChanges));
    ASSERT_GE(design.points.size(), s.opening.size());
    for (std::size_t i = 0; i < s.opening.size(); ++i)
      EXPECT_EQ(design.points[i], s.opening[i]) << "point " << i;
    EXPECT_EQ(design.points.back().type, T::End);
    EXPECT_EQ(design.points.back().colour, s.colourChanges);
    // The reading entry points turn the points into the same commands.
    HXArray<HStitch> loaded;
    StitchStats loadedStats;
    double loadedScale = 0;
    ASSERT_EQ(decodeFile(fromNativePath(file.string()), loaded, loadedStats, loadedScale, nullptr,
                         nullptr, nullptr, nullptr),
              kReadOk);
    EXPECT_EQ(loadedStats.colourChangeCount, s.colourChanges);
    const std::string name = s.file;
    if (name.find("Star") != std::string::npos && !name.ends_with(".pes"))
      stars.push_back(positionsOf(design, T::Normal));
  }
  // Two makers' files of one design: the same penetrations, the first where the design's DST
  // file has it (y as the stitch records have it).
  ASSERT_EQ(stars.size(), 2u);
  EXPECT_EQ(stars[0], stars[1]);
  HXArray<HStitch> dst;
  StitchStats stats;
  double scale = 0;
  const auto file = std::filesystem::path(STITCHKIT_SAMPLES_DIR) / "dst/emodder__Star.DST";
  ASSERT_EQ(decodeFile(fromNativePath(file.string()), dst, stats, scale, nullptr, nullptr, nullptr,
                       nullptr),
            kReadOk);
  int first = 0;
  while (first < dst.length() && dst[first].getFlags() != StitchCode::Normal)
    ++first;
  ASSERT_LT(first, dst.length());
  EXPECT_EQ(stars[0].front(), std::make_pair(static_cast<float>(dst[first].getPoint().x),
                                             static_cast<float>(dst[first].getPoint().y)));
}

// A stitch record's command code as a design point's type.
std::uint8_t pointTypeOf(const HStitch& stitch) {
  static const std::pair<int, int> kTypes[] = {
      {0, 0},   {2, 4},   {3, 2},   {12, 2},  {4, 7},   {5, 8},  {6, 3},  {17, 3},
      {64, 3},  {65, 3},  {7, 22},  {8, 5},   {9, 6},   {10, 9}, {18, 9}, {19, 9},
      {15, 15}, {16, 16}, {21, 14}, {26, 10}, {27, 11}, {28, 12}};
  for (const auto& [code, type] : kTypes)
    if (code == stitch.getFlags()) return static_cast<std::uint8_t>(type);
  return T::Jump;
}

class DesignSamplesTest : public testing_support::TempDirTest {};

TEST_F(DesignSamplesTest, DstSamplesKeepPenetrationsAndColourChangesInEveryFormat) {
  const auto dstFiles = sampleFiles("dst");
  ASSERT_FALSE(dstFiles.empty());
  for (const auto& file : dstFiles) {
    SCOPED_TRACE(file.filename().string());
    HXArray<HStitch> stitches;
    StitchStats stats;
    double scale = 0;
    ASSERT_EQ(decodeFile(fromNativePath(file.string()), stitches, stats, scale, nullptr, nullptr,
                         nullptr, nullptr),
              kReadOk);
    CStDes source;
    Positions penetrations;
    Positions colourChanges;
    // PES and PEC read back with the corner of the box around the origin and the design at
    // (0, 0).
    float left = 0;
    float top = 0;
    for (int i = 0; i < stitches.length(); ++i) {
      const HStitch& s = stitches[i];
      const StDesPoint point{static_cast<float>(s.getPoint().x), static_cast<float>(s.getPoint().y),
                             s.getColor(), pointTypeOf(s)};
      source.points.push_back(point);
      left = std::min(left, point.x);
      top = std::min(top, point.y);
      const MoveKind kind = moveKindOfPointType(point.type);
      if (kind == MoveKind::End) break;
      if (kind == MoveKind::Stitch) penetrations.emplace_back(point.x, point.y);
      if (kind == MoveKind::ColourChange) colourChanges.emplace_back(point.x, point.y);
    }
    ASSERT_FALSE(penetrations.empty());
    for (const char* extension : {".pes", ".pec", ".jef", ".vp3", ".xxx"}) {
      SCOPED_TRACE(extension);
      const HString out = path(file.stem().string() + extension);
      STDESSETTINGS settings;
      CSize size;
      ASSERT_TRUE(source.Save(out, settings, size));
      CStDes read;
      ASSERT_TRUE(read.Load(out, settings, size, nullptr));
      const bool pecBlock = std::string(extension).starts_with(".pe");
      const float dx = pecBlock ? -left : 0;
      const float dy = pecBlock ? -top : 0;
      EXPECT_EQ(positionsOf(read, T::Normal), shifted(penetrations, dx, dy));
      EXPECT_EQ(positionsOf(read, T::ColourChange), shifted(colourChanges, dx, dy));
      EXPECT_EQ(read.threads.GetSize(), static_cast<int>(colourChanges.size()) + 1);
    }
    // The PES file's PEC block, handed over from its offset on, reads as the PEC file does.
    const std::string pes = readFile(file.stem().string() + ".pes").value_or("");
    ASSERT_GE(pes.size(), 12u);
    const std::uint32_t offset =
        static_cast<std::uint8_t>(pes[8]) | static_cast<std::uint8_t>(pes[9]) << 8 |
        static_cast<std::uint8_t>(pes[10]) << 16 |
        static_cast<std::uint32_t>(static_cast<std::uint8_t>(pes[11])) << 24;
    ASSERT_LT(offset, pes.size());
    CStDes block;
    ASSERT_TRUE(readPecBlock(std::string_view(pes).substr(offset), block));
    EXPECT_EQ(positionsOf(block, T::Normal), shifted(penetrations, -left, -top));
  }
}

}  // namespace
}  // namespace stitchkit
