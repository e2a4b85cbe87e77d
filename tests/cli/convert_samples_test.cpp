// The tool converts every sample this build reads, with no options, to every machine format
// it writes, and the file it writes holds the design: the same needle penetrations in the same
// order, apart from stitches the machine format's short-stitch clean-up removes, and a colour
// change (or a stop, where the format writes colour changes as stops) at the same places.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "stitchkit/files/edf_package.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
#include "stitchkit/machine/machine_format_catalogue.h"
#include "stitchkit/model/stitch.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

#ifdef STITCHKIT_CLI

// The extensions written; a new machine format is one more entry.
constexpr const char* kTargets[] = {".dst", ".exp", ".dsb", ".dsz", ".hsf",
                                    ".kvb", ".kvc", ".edf", ".z00"};

// Reads a written file back: an EDF package through its own reader, anything else by its name.
int readBack(const std::string& path, HXArray<HStitch>& stitches) {
  const HString name = fromNativePath(path);
  StitchStats stats;
  if (path.ends_with(".edf")) {
    StitchOptions options;
    options.setFileFormat(kFormatEdf);
    HXArray<HString> lines;
    HeadGrouping grouping;
    MachineRepeatSettings repeat;
    StitchArrayWrapper wrapper(stitches);
    return decodeEDFFile(name, wrapper, options, stats, lines, grouping, repeat, nullptr, nullptr);
  }
  double scale = 1.0;
  return decodeFile(name, stitches, stats, scale, nullptr, nullptr, nullptr, nullptr);
}

// A design reduced to what a machine does: where the needle goes down, and before which
// penetration the colour changes.
struct Sewing {
  std::vector<HCoord<short>> penetrations;
  // For each colour change or stop, the index of the penetration it precedes.
  std::vector<std::size_t> changesBefore;
  // For each penetration, the point the needle came from.
  std::vector<HCoord<short>> previous;
};

Sewing sewingOf(const HXArray<HStitch>& stitches) {
  Sewing sewing;
  HCoord<short> at;
  for (int i = 0; i < stitches.length(); ++i) {
    const HStitch& s = stitches[i];
    if (s.isNormal()) {
      sewing.penetrations.push_back(s.getPoint());
      sewing.previous.push_back(at);
    } else if (s.isColorChange() || s.isStop()) {
      sewing.changesBefore.push_back(sewing.penetrations.size());
    }
    at = s.getPoint();
  }
  return sewing;
}

double distance(HCoord<short> a, HCoord<short> b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

// Checks `written` against `read`; `cleanLength` is the machine format's. The clean-up takes
// out a stitch shorter than cleanLength: measured from the one before it or, in a cluster of
// short stitches, from the stitch kept on either side of the cluster. Exp machine formats
// write the design end as a blank stitch, a penetration where the needle already is.
void expectSameSewing(const Sewing& read, const Sewing& written, int cleanLength) {
  // Index in `read` of each penetration of `written`.
  std::vector<std::size_t> kept;
  std::vector<std::size_t> removed;
  // The removed ones since the last kept one, checked once the next kept one is known.
  const auto checkRemoved = [&](std::optional<std::size_t> next) {
    for (std::size_t index : removed) {
      const HCoord<short> point = read.penetrations[index];
      const bool shortStitch =
          distance(point, read.previous[index]) < cleanLength ||
          (!kept.empty() && distance(point, read.penetrations[kept.back()]) < cleanLength) ||
          (next && distance(point, read.penetrations[*next]) < cleanLength);
      EXPECT_TRUE(shortStitch) << "penetration " << index << " is missing but is no short stitch";
    }
    removed.clear();
  };
  std::size_t r = 0;
  for (std::size_t w = 0; w < written.penetrations.size(); ++w) {
    const HCoord<short>& point = written.penetrations[w];
    while (r < read.penetrations.size() && !(read.penetrations[r] == point))
      removed.push_back(r++);
    if (r == read.penetrations.size()) {
      ASSERT_TRUE(w > 0 && point == written.previous[w])
          << "penetration " << w << " of the written file was not in the design";
      continue;
    }
    checkRemoved(r);
    kept.push_back(r++);
  }
  for (; r < read.penetrations.size(); ++r)
    removed.push_back(r);
  checkRemoved(std::nullopt);
  // A change before a removed penetration comes before the next one kept.
  std::vector<std::size_t> expected;
  for (std::size_t before : read.changesBefore) {
    const auto next = std::lower_bound(kept.begin(), kept.end(), before);
    const std::size_t place = static_cast<std::size_t>(next - kept.begin());
    if (expected.empty() || expected.back() != place) expected.push_back(place);
  }
  std::vector<std::size_t> found = written.changesBefore;
  found.erase(std::unique(found.begin(), found.end()), found.end());
  EXPECT_EQ(found, expected);
}

class ConvertSamplesTest : public testing_support::TempDirTest {};

TEST_F(ConvertSamplesTest, EverySampleConvertsToEveryMachineFormatAsItIsSewn) {
  // The tool reads its machine formats from here: none installed, so the factory sets.
  ASSERT_EQ(::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1), 0);
  int converted = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(STITCHKIT_SAMPLES_DIR)) {
    const HString in = fromNativePath(entry.path().string());
    if (!entry.is_regular_file() || !readsFileName(in)) continue;
    HXArray<HStitch> design;
    StitchStats stats;
    double scale = 1.0;
    ASSERT_EQ(decodeFile(in, design, stats, scale, nullptr, nullptr, nullptr, nullptr), kReadOk);
    const Sewing read = sewingOf(design);
    for (const char* target : kTargets) {
      const std::string out = (dir_ / (entry.path().stem().string() + target)).string();
      SCOPED_TRACE(entry.path().filename().string() + " to " + target);
      const std::string command = std::string("\"") + STITCHKIT_CLI + "\" convert \"" +
                                  entry.path().string() + "\" \"" + out + "\" > /dev/null";
      ASSERT_EQ(std::system(command.c_str()), 0);

      // The machine format convert chose: the factory set, or the writer's defaults for a
      // format without one.
      HString machine;
      StitchOptions options;
      const int chosen =
          GetBestCompatibleMachineFormat(writeFormatOfPath(fromNativePath(out)), machine, options);
      ASSERT_TRUE(chosen == kMachineFormatOk || chosen == kMachineFormatNotSupported);
      HXArray<HStitch> back;
      ASSERT_EQ(readBack(out, back), kReadOk);
      // A ZSK transport file has no record for a stitch that does not move.
      const int cleanLength = options.getCleanShort() ? options.getCleanLength() : 0;
      expectSameSewing(read, sewingOf(back),
                       std::string(target) == ".z00" ? std::max(cleanLength, 1) : cleanLength);
    }
    ++converted;
  }
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_GE(converted, 30);
}

#endif

}  // namespace
}  // namespace stitchkit
