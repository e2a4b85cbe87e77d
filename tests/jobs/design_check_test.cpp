#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "stitchkit/files/dst_header.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
#include "stitchkit/jobs/design_check.h"
#include "stitchkit/jobs/sewing_estimate.h"
#include "stitchkit/machine/machine_format_catalogue.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::TempDirTest;

StitchOptions factoryMachine(HDiskFileFormat format) {
  StitchOptions options;
  HString name;
  makeFactoryMachineFormat(format, name, options);
  return options;
}

const CheckFinding* findingOf(const std::vector<CheckFinding>& findings, const std::string& code) {
  const auto it = std::find_if(findings.begin(), findings.end(),
                               [&](const CheckFinding& f) { return f.code == code; });
  return it == findings.end() ? nullptr : &*it;
}

std::string describe(const std::vector<CheckFinding>& findings) {
  std::string text;
  for (const CheckFinding& f : findings) {
    text += std::string(checkSeverityName(f.severity)) + " " + f.code + ": " + f.message + "\n";
  }
  return text;
}

// DST records: a stitch that does not move, and a jump of 12.1 mm along x
// (+1 +9 in the first byte, +3 +27 in the second, +81 and the jump bit in the third).
const std::string kZeroStitch("\x00\x00\x03", 3);
const std::string kJumpRight("\x05\x05\x87", 3);

class DesignCheckTest : public TempDirTest {
 protected:
  static std::string flower() {
    std::ifstream in(std::string(STITCHKIT_SOURCE_DIR) + "/samples/flower.dst", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The file `name` holding `bytes`, its header rewritten from what its records read as, so
  // that only the defect made on purpose differs.
  std::string withTrueHeader(const std::string& name, std::string bytes) {
    writeFile(name, bytes);
    HXArray<HStitch> stitches;
    StitchStats stats;
    double scale = 0.0;
    EXPECT_EQ(decodeFile(path(name), stitches, stats, scale, nullptr, nullptr, nullptr, nullptr),
              kReadOk);
    char header[kDstHeaderSize + 1] = {};
    makeDSTHeader(header, path(name), stats, 0);
    bytes.replace(0, kDstHeaderSize, header, kDstHeaderSize);
    writeFile(name, bytes);
    return (dir_ / name).string();
  }
  std::string file(const std::string& name, const std::string& bytes) {
    writeFile(name, bytes);
    return (dir_ / name).string();
  }
};

// Each defect made on purpose, the finding it gives and whether the file would stop the machine.
TEST_F(DesignCheckTest, EachDefectGivesItsFinding) {
  const std::string f = flower();
  const auto patched = [&](std::size_t at, const std::string& text) {
    std::string bytes = f;
    bytes.replace(at, text.size(), text);
    return bytes;
  };
  const auto inserted = [&](std::size_t record, const std::string& records) {
    std::string bytes = f;
    bytes.insert(kDstHeaderSize + 3 * record, records);
    return bytes;
  };
  std::string zeroRun;
  std::string jumpAway;
  for (int i = 0; i < 4; ++i)
    zeroRun += kZeroStitch;
  for (int i = 0; i < 12; ++i)
    jumpAway += kJumpRight;

  struct Row {
    const char* defect;
    std::function<std::string()> makeFile;
    std::function<void(StitchOptions&)> machine;
    CheckLimits limits;
    const char* code;  // "" for a file without findings beyond the machine note
    bool fails;
  };
  const auto dst = [](StitchOptions&) {};
  const Row rows[] = {
      {"the sample as it is", [&] { return file("a.dst", f); }, dst, {}, "", false},
      {"header stitch count",
       [&] { return file("a.dst", patched(23, "   9999")); },
       dst,
       {},
       "header-stitch-count",
       false},
      {"header colour count",
       [&] { return file("a.dst", patched(34, "  9")); },
       dst,
       {},
       "header-colour-count",
       false},
      {"header extents too small",
       [&] { return file("a.dst", patched(41, "  100")); },
       dst,
       {},
       "header-extents",
       true},
      {"header extents too large",
       [&] { return file("a.dst", patched(59, "  900")); },
       dst,
       {},
       "header-extents",
       false},
      {"header end offset",
       [&] { return file("a.dst", patched(77, "-  300")); },
       dst,
       {},
       "header-end-offset",
       false},
      {"no end record",
       [&] { return file("a.dst", f.substr(0, f.size() - 3)); },
       dst,
       {},
       "end-record",
       true},
      {"bytes after the end",
       [&] { return file("a.dst", f + "\x1A\x1A\x1A"); },
       dst,
       {},
       "after-end",
       false},
      {"unreadable", [&] { return (dir_ / "missing.dst").string(); }, dst, {}, "unreadable", true},
      {"move over HardLength",
       [&] { return file("a.dst", f); },
       [](StitchOptions& o) { o.setHardLength(60); },
       {},
       "move-too-long",
       true},
      {"needles folded onto fewer",
       [&] { return file("a.dst", f); },
       [](StitchOptions& o) { o.setMaxNeedles(2); },
       {},
       "needle-limit",
       false},
      {"trim without a trim code",
       [&] { return file("a.dst", f); },
       [](StitchOptions& o) { o.setTrimsAsJumps(0); },
       {},
       "trim-not-expressible",
       false},
      {"machine of another format",
       [&] { return file("a.dst", f); },
       [](StitchOptions& o) { o = factoryMachine(kFormatExp); },
       {},
       "machine-format",
       true},
      {"design larger than the field",
       [&] { return file("a.dst", f); },
       dst,
       {40.0, 40.0},
       "field-size",
       true},
      {"fits the field only when moved",
       [&] { return file("a.dst", f); },
       dst,
       {80.0, 69.0},
       "field-position",
       false},
      {"zero-length run",
       [&] { return withTrueHeader("a.dst", inserted(200, zeroRun)); },
       dst,
       {},
       "zero-length-run",
       false},
      {"start far from the stitches",
       [&] { return withTrueHeader("a.dst", inserted(0, jumpAway)); },
       dst,
       {},
       "start-away",
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.defect);
    StitchOptions machine = factoryMachine(kFormatDst);
    row.machine(machine);
    std::vector<CheckFinding> findings;
    const int result = checkDesignFile(row.makeFile(), &machine, row.limits, findings);
    EXPECT_EQ(result == kReadOk, std::string(row.code) != "unreadable");
    EXPECT_EQ(hasCheckError(findings), row.fails) << describe(findings);
    if (*row.code == '\0') {
      EXPECT_TRUE(findings.empty()) << describe(findings);
    } else {
      const CheckFinding* found = findingOf(findings, row.code);
      ASSERT_NE(found, nullptr) << describe(findings);
      EXPECT_EQ(found->severity == CheckSeverity::kError, row.fails) << found->message;
    }
  }
}

// A format whose records name their needles cannot sew a needle the machine lacks.
TEST_F(DesignCheckTest, NamedNeedleAboveMaxNeedlesIsAnError) {
  HXArray<HStitch> stitches;
  StitchStats stats;
  double scale = 0.0;
  writeFile("a.dst", flower());
  ASSERT_EQ(decodeFile(path("a.dst"), stitches, stats, scale, nullptr, nullptr, nullptr, nullptr),
            kReadOk);
  HXArray<HString> names;
  ASSERT_EQ(makeStitchFormatFile(path("a.dsb"), stitches, ThreadPalette(), names, 0.0, nullptr, 0,
                                 HeadGrouping()),
            kWriteOk);
  StitchOptions machine = factoryMachine(kFormatDsb);
  machine.setMaxNeedles(2);
  std::vector<CheckFinding> findings;
  ASSERT_EQ(checkDesignFile((dir_ / "a.dsb").string(), &machine, {}, findings), kReadOk);
  const CheckFinding* found = findingOf(findings, "needle-limit");
  ASSERT_NE(found, nullptr) << describe(findings);
  EXPECT_EQ(found->severity, CheckSeverity::kError);
  EXPECT_NE(found->message.find("needle 3 on needle 1"), std::string::npos) << found->message;
}

// The real DST files load and sew on the machine format the catalogue picks for them.
TEST(DesignCheckSamplesTest, DstSamplesHaveNoErrors) {
  int checked = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(STITCHKIT_SAMPLES_DIR) + "/dst")) {
    SCOPED_TRACE(entry.path().string());
    std::vector<CheckFinding> findings;
    EXPECT_EQ(checkDesignFile(entry.path().string(), nullptr, {}, findings), kReadOk);
    EXPECT_FALSE(hasCheckError(findings)) << describe(findings);
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

// A hand-made design with known counts: 9 records, 1 trim, 1 colour change, 1 stop.
TEST(SewingEstimateTest, TimeAndThreadOfKnownDesign) {
  HXArray<HStitch> design;
  design.add(HStitch(0, 0, StitchCode::Normal, 0));
  design.add(HStitch(300, 0, StitchCode::Normal, 0));
  design.add(HStitch(300, 400, StitchCode::Normal, 0));
  design.add(HStitch(300, 400, StitchCode::Trim, 0));
  design.add(HStitch(600, 400, StitchCode::Jump, 0));
  design.add(HStitch(600, 400, StitchCode::ChangeNeedle, 1));
  design.add(HStitch(600, 0, StitchCode::Normal, 1));
  design.add(HStitch(600, 0, StitchCode::Stop, 1));
  design.add(HStitch(600, 0, StitchCode::DesignEnd, 1));
  StitchStats stats;
  stats.setupStitchStats(design, 1, 0, 0);
  EstimateRates rates;
  rates.stitchesPerMinute = 60;
  const SewingEstimate e = estimateSewing(stats, design, rates);
  EXPECT_EQ(e.trims, 1);
  EXPECT_EQ(e.colourChanges, 1);
  EXPECT_EQ(e.stops, 1);
  // 9 records at one a second, then 3 s + 5 s + 30 s.
  EXPECT_NEAR(e.minutes, (9.0 + 38.0) / 60.0, 1e-9);
  ASSERT_EQ(e.blocks.size(), 2u);
  EXPECT_EQ(e.blocks[0].needle, 1);
  EXPECT_EQ(e.blocks[1].needle, 2);
  double top = 0.0;
  for (const NeedleBlockThread& block : e.blocks) {
    EXPECT_NEAR(block.bobbinMetres, block.topMetres / 3.0, 1e-12);
    top += block.topMetres;
  }
  EXPECT_NEAR(top, e.topMetres, 1e-9);
  EXPECT_GT(e.blocks[0].topMetres, e.blocks[1].topMetres);  // 70 mm sewn against 40 mm
}

}  // namespace
}  // namespace stitchkit
