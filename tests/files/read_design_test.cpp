#include "stitchkit/files/read_design.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/h_array.h"
#include "tests/support/dst_test_records.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

namespace C = StitchCode;
using testing_support::DstRecords;
using testing_support::TempDirTest;

using Points = std::vector<std::pair<int, int>>;

// A design with a jump and a stop between its stitches.
std::string body() {
  return DstRecords()
      .stitch(10, 0)
      .stitch(10, 10)
      .jump(50, 10)
      .stitch(50, 20)
      .stop()
      .stitch(60, 20)
      .end()
      .bytes();
}

// A header that reads as the end of a design when taken for records: whoever reads it as
// records gets a design of one end stitch.
std::string endHeader() {
  return std::string(512, '\xF3');
}

// What body() decodes to, with the stop read as a needle change (DST options) or as a stop.
const std::vector<int> kBodyWithNeedleChange = {C::Normal,       C::Normal, C::Jump,     C::Normal,
                                                C::ChangeNeedle, C::Normal, C::DesignEnd};
const std::vector<int> kBodyWithStop = {C::Normal, C::Normal, C::Jump,     C::Normal,
                                        C::Stop,   C::Normal, C::DesignEnd};
const Points kBodyPoints = {{10, 0}, {10, 10}, {50, 10}, {50, 20}, {50, 20}, {60, 20}, {60, 20}};
const std::vector<int> kEndOnly = {C::DesignEnd};

std::vector<int> codesOf(const HXArray<HStitch>& stitches) {
  std::vector<int> codes;
  for (const HStitch& s : stitches)
    codes.push_back(s.getFlags());
  return codes;
}

// decodeFile by name with the function's own options.
int readByName(const HString& path, HXArray<HStitch>& stitches, StitchStats& stats,
               StitchOptions* options = nullptr) {
  double scale = 0.0;
  return decodeFile(path, stitches, stats, scale, nullptr, options, nullptr, nullptr);
}

class ReadDesignTest : public TempDirTest {};

// --- decodeFile by name -------------------------------------------------------------------------

TEST_F(ReadDesignTest, ExtensionChoosesTheReader) {
  // With its own options every recognised name is read in its format (DST records named as
  // a ZSK transport file do not decode: 4); names that go to the general loader give 6 while
  // it is not part of the library, and so does an .HSF file whose header names no records.
  // A caller's record for
  // Exp files tells the routes apart: formats chosen from the name, or from an HSF file's
  // header, are checked against it (4), names for the general loader are not.
  struct Case {
    const char* name;
    int withOwnOptions;
    int withExpOptions;
  };
  const std::vector<Case> cases = {
      {"a.DST", 0, 4}, {"a.dst", 0, 4}, {"a.DSTX", 0, 4}, {"a.dSt1", 0, 4}, {"a.KRV", 0, 4},
      {"a.krv", 0, 4}, {"a.Z07", 4, 4}, {"a.z15", 4, 4},  {"a.Z7", 6, 6},   {"a.Z007", 6, 6},
      {"a.ZA7", 6, 6}, {"a.KVB", 4, 4}, {"a.KVC", 4, 4},  {"a.HSF", 6, 4},  {"a.PES", 6, 6},
      {"a", 6, 6},     {"a.DS", 6, 6},  {".DST", 6, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(c.name, endHeader() + body());
    HXArray<HStitch> stitches;
    StitchStats stats;
    EXPECT_EQ(readByName(path(c.name), stitches, stats), c.withOwnOptions);

    StitchOptions exp;
    setDefaultDecoderOptions(exp);
    exp.setFileFormat(kFormatExp);
    EXPECT_EQ(readByName(path(c.name), stitches, stats, &exp), c.withExpOptions);
    EXPECT_EQ(exp.getFileFormat(), kFormatExp);
  }
}

TEST_F(ReadDesignTest, MissingFileOrDirectoryCannotBeOpened) {
  // Every entry point says so, and the one that asks is told the system's error.
  std::filesystem::create_directory(dir_ / "folder.DST");
  const std::pair<const char*, int> cases[] = {{"missing.DST", ENOENT}, {"folder.DST", EISDIR}};
  for (const auto& [name, error] : cases) {
    SCOPED_TRACE(name);
    const HString file = path(name);
    HXArray<HStitch> stitches;
    StitchStats stats;
    HXArray<HString> names;
    EXPECT_EQ(readByName(file, stitches, stats), kReadCannotOpen);
    EXPECT_EQ(decodeDSTFile(file.c_str(), stitches, stats), kReadCannotOpen);
    EXPECT_EQ(
        decodeFile(file, kFormatDst, stitches, stats, names, nullptr, 1, nullptr, nullptr, nullptr),
        kReadCannotOpen);
    double scale = 0;
    int systemError = 0;
    EXPECT_EQ(
        decodeFile(file, stitches, stats, scale, nullptr, nullptr, nullptr, nullptr, &systemError),
        kReadCannotOpen);
    EXPECT_EQ(systemError, error);
  }
  StitchStats stats;
  HXArray<HStitch> stitches;
  EXPECT_EQ(decodeDSTFile(nullptr, stitches, stats), kReadCannotOpen);
}

// --- decodeFile with a format -------------------------------------------------------------------

TEST_F(ReadDesignTest, GivenFormatDecidesHeaderAndStops) {
  writeFile("design.any", endHeader() + body());
  struct Case {
    HDiskFileFormat format;
    int skipHeader;
    int result;
    std::vector<int> codes;
  };
  const std::vector<Case> cases = {
      {kFormatDst, 1, kReadOk, kBodyWithNeedleChange},
      {kFormatDstVariant15, 1, kReadOk, kBodyWithNeedleChange},
      {kFormatDstVariant20, 1, kReadOk, kBodyWithNeedleChange},
      {kFormatDstVariant6, 1, kReadOk, kBodyWithStop},
      {kFormatDst, 0, kReadOk, kEndOnly},
      {kFormatHsf, 1, kReadNoReader, {}},
      {kFormatNone, 1, kReadNoReader, {}},
      {kFormatKvb, 1, kReadFailed, {}},  // a DST file is no KVB container
      {kFormatKvc, 1, kReadFailed, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << " skip " << c.skipHeader);
    HXArray<HStitch> stitches;
    StitchStats stats;
    HXArray<HString> names;
    ASSERT_EQ(decodeFile(path("design.any"), c.format, stitches, stats, names, nullptr,
                         c.skipHeader, nullptr, nullptr, nullptr),
              c.result);
    if (c.result == kReadOk) {
      EXPECT_EQ(codesOf(stitches), c.codes);
    }
  }

  // A caller's record must be able to read the format.
  StitchOptions exp;
  setDefaultDecoderOptions(exp);
  exp.setFileFormat(kFormatExp);
  HXArray<HStitch> stitches;
  StitchStats stats;
  HXArray<HString> names;
  EXPECT_EQ(decodeFile(path("design.any"), kFormatDst, stitches, stats, names, nullptr, 1, &exp,
                       nullptr, nullptr),
            kReadFailed);
}

// --- decodeDSTFile ------------------------------------------------------------------------------

// --- Sample files -------------------------------------------------------------------------------

// What a DST file's records say, walked here without the library: the position after each
// record (the empty start record skipped, the end record not moving) and its command bits.
struct WalkedRecord {
  int x;
  int y;
  int command;  // b2 & 0xC0; -1 for the end record
};

std::vector<WalkedRecord> walkDstRecords(const std::string& file) {
  std::vector<WalkedRecord> records;
  int x = 0;
  int y = 0;
  for (std::size_t at = 512; at + 3 <= file.size(); at += 3) {
    const auto b0 = static_cast<std::uint8_t>(file[at]);
    const auto b1 = static_cast<std::uint8_t>(file[at + 1]);
    const auto b2 = static_cast<std::uint8_t>(file[at + 2]);
    EXPECT_EQ(b2 & 0x03, 0x03) << "record at " << at;
    if (at == 512 && b0 == 0 && b1 == 0 && (b2 == 0x03 || b2 == 0x83)) continue;
    if (b2 == 0xF3) {
      records.push_back({x, y, -1});
      break;
    }
    int dx = 0;
    int dy = 0;
    testing_support::dstMove(b0, b1, b2, dx, dy);
    x += dx;
    y += dy;
    records.push_back({x, y, b2 & 0xC0});
  }
  return records;
}

struct Extents {
  int minX = 1 << 30;
  int maxX = -(1 << 30);
  int minY = 1 << 30;
  int maxY = -(1 << 30);

  void add(int x, int y) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
  bool operator==(const Extents&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Extents& e) {
  return out << "x " << e.minX << ".." << e.maxX << ", y " << e.minY << ".." << e.maxY;
}

TEST(ReadDesignSamples, NormalStitchesAreTheNormalRecordsAndExtentsAreThoseOfAllRecords) {
  // The decoder may merge, pair or re-code commands, but every normal record is delivered as a
  // normal stitch at its position and nothing else is, and no stitch moves off the records'
  // positions: the design spans exactly what the records span. The statistics add the
  // origin the design starts from.
  const std::filesystem::path dir = std::filesystem::path(STITCHKIT_SAMPLES_DIR) / "dst";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    SCOPED_TRACE(entry.path().filename().string());
    ++files;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::vector<WalkedRecord> records = walkDstRecords(content);
    ASSERT_FALSE(records.empty());

    HXArray<HStitch> stitches;
    StitchStats stats;
    ASSERT_EQ(readByName(utf8ToStr(entry.path().string()), stitches, stats), kReadOk);

    Points normalRecords;
    Extents recordExtents;
    for (const WalkedRecord& r : records) {
      if (r.command == 0x00) normalRecords.emplace_back(r.x, r.y);
      recordExtents.add(r.x, r.y);
    }
    Points normalStitches;
    Extents stitchExtents;
    for (const HStitch& s : stitches) {
      if (s.getFlags() == C::Normal) normalStitches.emplace_back(s.xval(), s.yval());
      stitchExtents.add(s.xval(), s.yval());
    }
    EXPECT_EQ(normalStitches, normalRecords);
    EXPECT_EQ(stitchExtents, recordExtents);

    Extents withOrigin = recordExtents;
    withOrigin.add(0, 0);
    EXPECT_EQ((Extents{stats.minX, stats.maxX, stats.minY, stats.maxY}), withOrigin);

    if (records.back().command == -1) {
      ASSERT_GT(stitches.length(), 0);
      const HStitch& last = stitches[stitches.length() - 1];
      EXPECT_EQ(last.getFlags(), C::DesignEnd);
      EXPECT_EQ(last.getPoint(), (HCoord<short>{static_cast<short>(records.back().x),
                                                static_cast<short>(records.back().y)}));
    }
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace stitchkit
