#include "stitchkit/files/text_dump.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "stitchkit/encode/stitch_encoder.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/h_array.h"
#include "tests/support/stitch_builders.h"

namespace stitchkit {
namespace {

namespace C = StitchCode;
using Lines = std::vector<std::string>;

using testing_support::design;
using testing_support::stitch;

Lines linesOf(const std::vector<unsigned char>& bytes) {
  Lines lines;
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// The dump of `stitches` with `options`, line by line; the result must be 0.
Lines dumpLines(const std::vector<HStitch>& stitches, const StitchOptions& options = {}) {
  HXArray<HStitch> array = design(stitches);
  const StitchArrayWrapper wrapper(array);
  std::vector<unsigned char> bytes;
  VectorOutputBytestream out(bytes);
  EXPECT_EQ(writeTextDump(wrapper, options, out), kEncodeOk);
  return linesOf(bytes);
}

// Accepts writes and counts the flushes; `flushResult` is what each flush returns.
class FlushCountingStream final : public OutputBytestream {
 public:
  explicit FlushCountingStream(int flushResult) : flushResult_(flushResult) {}
  int outputByte(unsigned char byte) override {
    bytes.push_back(byte);
    return kStreamOk;
  }
  int flush() override {
    ++flushes;
    return flushResult_;
  }

  std::vector<unsigned char> bytes;
  int flushes = 0;

 private:
  int flushResult_;
};

// With InsertBlankStitchAfterTrim the encoder puts a jump in front of the first stitch that
// moves after a trim, so the dump shows whether the "after trim" state reached the encoder.
TEST(TextDump, AfterTrimStateFollowsTheCommandsAsAWriterKeepsIt) {
  struct Case {
    const char* what;
    std::vector<HStitch> before;  // after a stitch at (10,0), before the stitch at (30,0)
    bool blankJump;
  };
  // clang-format off
  const Case cases[] = {
      {"trim", {stitch(10, 0, C::Trim)}, true},
      {"upper trim", {stitch(10, 0, C::UpperTrim)}, true},
      {"jump trim", {stitch(10, 0, C::JumpTrim)}, true},
      {"colour change", {stitch(10, 0, C::ChangeNeedle, 1)}, true},
      {"laser on", {stitch(10, 0, C::LaserOn)}, true},
      {"jump", {stitch(10, 0, C::Jump)}, false},
      {"slow down", {stitch(10, 0, C::SlowDown)}, false},
      {"stop", {stitch(10, 0, C::Stop)}, false},
      {"laser off", {stitch(10, 0, C::LaserOff)}, false},
      {"trim, then a command that does not penetrate", {stitch(10, 0, C::Trim), stitch(10, 0, C::SlowDown)}, true},
      {"trim, then a drop sequin", {stitch(10, 0, C::Trim), stitch(20, 0, C::DropSequin)}, false},
      {"trim, then a stitch variant", {stitch(10, 0, C::Trim), stitch(20, 0, C::FirstStitchVariant)}, false},
  };
  // clang-format on
  StitchOptions options;
  options.setInsertBlankStitchAfterTrim(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<HStitch> stitches = {stitch(0, 0), stitch(10, 0)};
    stitches.insert(stitches.end(), c.before.begin(), c.before.end());
    stitches.push_back(stitch(30, 0, C::Normal, c.before.back().getColor()));
    const Lines lines = dumpLines(stitches, options);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back().rfind("Stitch: X: ", 0), 0u) << lines.back();
    const std::string& previous = lines[lines.size() - 2];
    const bool blankJump =
        previous.rfind("Jump: X: ", 0) == 0 && previous.ends_with("Absolute X: 30, Absolute Y: 0");
    EXPECT_EQ(blankJump, c.blankJump) << previous;
  }

  // Nothing has been sewn before the first stitch: the machine starts trimmed.
  EXPECT_EQ(dumpLines({stitch(5, 0), stitch(10, 0)}, options),
            (Lines{"Jump: X: 5, Y: 0, Absolute X: 5, Absolute Y: 0",
                   "Stitch: X: 5, Y: 0, Absolute X: 5, Absolute Y: 0",
                   "Stitch: X: 10, Y: 0, Absolute X: 10, Absolute Y: 0"}));
}

TEST(TextDump, ReportsAStreamThatRefusesWritesOrFlush) {
  const std::vector<HStitch> stitches = {stitch(0, 0), stitch(10, 0), stitch(20, 0)};
  HXArray<HStitch> array = design(stitches);
  const StitchArrayWrapper wrapper(array);
  const StitchOptions options;

  unsigned char buffer[60];  // room for the first line only
  MemoryOutputBytestream small(buffer, static_cast<int>(sizeof buffer));
  EXPECT_EQ(writeTextDump(wrapper, options, small), kEncodeRefused);

  FlushCountingStream flushFails(kStreamFailure);
  EXPECT_EQ(writeTextDump(wrapper, options, flushFails), kEncodeRefused);
  EXPECT_EQ(flushFails.flushes, 1);
  EXPECT_EQ(linesOf(flushFails.bytes).size(), 3u);  // every line was written before the flush

  FlushCountingStream flushWorks(kStreamOk);
  EXPECT_EQ(writeTextDump(wrapper, options, flushWorks), kEncodeOk);
  EXPECT_EQ(flushWorks.flushes, 1);
}

}  // namespace
}  // namespace stitchkit
