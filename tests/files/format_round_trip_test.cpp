// Machine files read, written and read again through the file entry points keep the sewn
// path: the same needle penetrations (normal stitch positions, in order) and the colour changes
// at the same places. The needles themselves come back unchanged whenever the format can hold
// every needle the design uses; Exp records hold needles 1 to 7, Zangs records 1 to 14, and
// Barudan records fold needles above their machine's count, so designs with more needles come
// back folded. A ZSK transport file also brings back the colours of its threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

namespace fs = std::filesystem;

struct SewnPath {
  std::vector<std::pair<int, int>> penetrations;
  std::vector<std::size_t> colourChanges;  // penetrations sewn before each colour change
  std::vector<int> colours;                // colour of each run of normal stitches
  int highestColour = -1;
};

SewnPath sewnPath(const HXArray<HStitch>& stitches) {
  SewnPath path;
  for (const HStitch& s : stitches) {
    if (s.isColorChange()) path.colourChanges.push_back(path.penetrations.size());
    if (!s.isNormal()) continue;
    path.penetrations.emplace_back(s.xval(), s.yval());
    if (path.colours.empty() || path.colours.back() != s.getColor()) {
      path.colours.push_back(s.getColor());
    }
    path.highestColour = std::max(path.highestColour, static_cast<int>(s.getColor()));
  }
  return path;
}

std::vector<std::uint32_t> coloursOf(const ThreadPalette& palette) {
  std::vector<std::uint32_t> colours;
  for (const ThreadProperty& thread : palette)
    colours.push_back(thread.colour);
  return colours;
}

std::vector<fs::path> samples(const char* folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::path(STITCHKIT_SAMPLES_DIR) / folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct Target {
  const char* extension;
  int neededWithoutFolding;  // needles the written file holds as they are (0: all)
  std::function<void(StitchOptions&)> options;
  bool keepsThreads = false;          // the file lists the palette's threads
  bool dropsStitchesInPlace = false;  // a stitch that does not move has no record
};

// clang-format off
const Target kTargets[] = {
    {".dst", 0, [](StitchOptions& o) { o.setFileFormat(kFormatDst); }},
    // Fourteen needles, higher ones folded onto them.
    {".dsz", 14, [](StitchOptions& o) { o.setFileFormat(kFormatDsz); o.setMaxNeedles(14); }},
    {".dsb", 7, [](StitchOptions& o) { o.setFileFormat(kFormatDsb); }},
    // Seven needles, higher ones folded onto them.
    {".exp", 7, [](StitchOptions& o) { o.setFileFormat(kFormatExp); o.setMaxNeedles(7); }},
    {".Z00", 0, [](StitchOptions& o) { o.setFileFormat(kFormatZskTransport); }, true, true},
};
// clang-format on

const Target& target(const std::string& extension) {
  for (const Target& t : kTargets) {
    if (extension == t.extension) return t;
  }
  return kTargets[0];
}

class FormatRoundTrip : public testing_support::TempDirTest {
 protected:
  // Reads `file`, writes it as `t`, reads that back and compares the sewn paths.
  void expectSameSewnPath(const fs::path& file, const Target& t) {
    HXArray<HStitch> stitches;
    StitchStats stats;
    double scale = 0;
    ASSERT_EQ(decodeFile(utf8ToStr(file.string()), stitches, stats, scale, nullptr, nullptr,
                         nullptr, nullptr),
              kReadOk);
    const SewnPath before = sewnPath(stitches);
    ASSERT_FALSE(before.penetrations.empty());

    // A design goes to a machine with its end, as the converter gives it one (Exp files have
    // none, and a ZSK transport file without it does not read).
    if (const HStitch last = stitches[stitches.length() - 1]; !last.isEndRewind()) {
      stitches.add(HStitch(last.xval(), last.yval(), StitchCode::DesignEnd, last.getColor()));
    }
    const std::string name = file.stem().string() + t.extension;
    StitchOptions options;
    setDefaultEncoderOptions(options);
    t.options(options);
    HXArray<HString> names;
    ThreadPalette palette;
    for (int i = 0; i <= before.highestColour; ++i)
      palette.add(ThreadProperty(ThreadProperty::rgb(40 * i, 255 - 20 * i, 7 * i), L"", L"", L""));
    ASSERT_EQ(makeStitchFormatFile(path(name), stitches, palette, names, 0.0, &options, 0,
                                   HeadGrouping()),
              kWriteOk);
    HXArray<HStitch> back;
    ThreadPalette threadsBack;
    ASSERT_EQ(decodeFile(path(name), back, stats, scale, &threadsBack, nullptr, nullptr, nullptr),
              kReadOk);
    if (t.keepsThreads) {
      EXPECT_EQ(coloursOf(threadsBack), coloursOf(palette));
    }
    const SewnPath after = sewnPath(back);
    if (t.dropsStitchesInPlace) {
      // The design as written, without the stitches that did not move.
      HXArray<HStitch> moved;
      HCoord<short> at;
      for (const HStitch& s : stitches) {
        if (!(s.isNormal() && s.getPoint() == at)) moved.add(s);
        at = s.getPoint();
      }
      const SewnPath expected = sewnPath(moved);
      EXPECT_EQ(after.penetrations, expected.penetrations);
      EXPECT_EQ(after.colourChanges, expected.colourChanges);
      return;
    }

    EXPECT_EQ(after.penetrations, before.penetrations);
    EXPECT_EQ(after.colourChanges, before.colourChanges);
    if (t.neededWithoutFolding == 0 || before.highestColour < t.neededWithoutFolding) {
      EXPECT_EQ(after.colours, before.colours);
    }
  }
};

TEST_F(FormatRoundTrip, SamplesKeepTheirPenetrationsAndColourChanges) {
  // Each sample in its own format, and the DST samples in every other one.
  const std::pair<const char*, std::vector<const char*>> routes[] = {
      {"dst", {".dst", ".exp", ".dsb", ".dsz", ".Z00"}},
      {"dsb", {".dsb", ".Z00"}},
      {"dsz", {".dsz", ".Z00"}},
      {"exp", {".exp", ".Z00"}}};
  for (const auto& [folder, extensions] : routes) {
    for (const fs::path& file : samples(folder)) {
      for (const char* extension : extensions) {
        SCOPED_TRACE(file.filename().string() + " as " + extension);
        expectSameSewnPath(file, target(extension));
      }
    }
  }
}

// A design of a few hundred short stitches on two needles, with a colour change; the first
// stitch moves away from the origin.
HXArray<HStitch> twoNeedleDesign() {
  HXArray<HStitch> s;
  for (int i = 1; i <= 300; ++i) {
    const unsigned short colour = i <= 150 ? 0 : 1;
    if (i == 151) s.add(HStitch(s[149].xval(), s[149].yval(), StitchCode::ChangeNeedle, 1));
    s.add(HStitch(static_cast<short>(i * 7 % 90), static_cast<short>(i * 3 % 70),
                  StitchCode::Normal, colour));
  }
  s.add(HStitch(s[s.length() - 1].xval(), s[s.length() - 1].yval(), StitchCode::DesignEnd, 1));
  return s;
}

// Every extension of the format table that this build writes reads back with the stitches
// that were written: the reader skips a machine header exactly where the writer put one.
TEST_F(FormatRoundTrip, EveryWritableExtensionReadsBackWhatWasWritten) {
  const SewnPath expected = sewnPath(twoNeedleDesign());
  int written = 0;
  for (const DiskFormatInfo& row : diskFormatTable()) {
    std::vector<std::string_view> extensions(row.readFrom.begin(), row.readFrom.end());
    extensions.push_back(row.writtenAs);
    for (std::string_view ext : extensions) {
      const HString name = path("design" + std::string(ext));
      // EDF packages are not read by name (edf_package_test.cpp reads them).
      if (ext.size() < 2 || !writesFileName(name) || !readsFileName(name)) continue;
      SCOPED_TRACE(std::string(ext));
      HXArray<HStitch> stitches = twoNeedleDesign();
      HXArray<HString> names;
      ASSERT_EQ(makeStitchFormatFile(name, stitches, ThreadPalette(), names, 0.0, nullptr, 0,
                                     HeadGrouping()),
                kWriteOk);
      HXArray<HStitch> back;
      StitchStats stats;
      double scale = 0;
      ASSERT_EQ(decodeFile(name, back, stats, scale, nullptr, nullptr, nullptr, nullptr), kReadOk);
      EXPECT_EQ(sewnPath(back).penetrations, expected.penetrations);
      EXPECT_EQ(sewnPath(back).colourChanges, expected.colourChanges);
      ++written;
    }
  }
  EXPECT_GT(written, 0);
}

}  // namespace
}  // namespace stitchkit
