#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_designs.h"
#include "stitchkit/decode/dst_records.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
#include "stitchkit/machine/head_grouping.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/thread_palette.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

class Rewrite : public testing_support::TempDirTest {
 protected:
  // Reads `from` and writes it to `to` as the command-line tool converts; returns what was
  // written.
  std::string convert(const std::string& from, const std::string& to, StitchOptions* options) {
    HXArray<HStitch> stitches;
    StitchStats stats;
    double scale = 1.0;
    EXPECT_EQ(decodeFile(path(from), stitches, stats, scale, nullptr, nullptr, nullptr, nullptr),
              kReadOk);
    std::filesystem::create_directories((dir_ / to).parent_path());
    const ThreadPalette palette;
    HXArray<HString> names;
    EXPECT_EQ(
        makeStitchFormatFile(path(to), stitches, palette, names, 0.0, options, 0, HeadGrouping()),
        kWriteOk);
    return readFile(to).value_or("");
  }
};

// How many runs of at least `length` jump records a DST file holds.
int jumpRuns(const std::string& file, int length) {
  int runs = 0;
  int run = 0;
  for (std::size_t at = dst::kHeaderSize; at + dst::kRecordSize <= file.size();
       at += dst::kRecordSize) {
    if ((static_cast<unsigned char>(file[at + 2]) & dst::kCommandMask) == dst::kCommandJump) {
      ++run;
      continue;
    }
    if (run >= length) ++runs;
    run = 0;
  }
  return runs;
}

// A machine set to trim on three jumps trims at every run of three jumps in the design, so a
// writer that writes trims as jumps keeps every such run at least that long. And a file this
// library wrote, converted again with the same options, comes out byte for byte the same: a
// split move gets no pieces of no length its legs do not need and no piece longer than the
// longest move, either of which a second pass would cut again.
TEST_F(Rewrite, JumpRunsStayTrimsAndRewritingIsAFixedPoint) {
  const std::vector<unsigned char> records = bench::makeRandomDstRecords(20'000);
  writeFile("in.dst",
            std::string(dst::kHeaderSize, ' ') + std::string(records.begin(), records.end()));
  const int runs = jumpRuns(*readFile("in.dst"), 3);
  ASSERT_GT(runs, 10);
  StitchEncoderOptions trimsAsJumps;
  setDefaultEncoderOptions(trimsAsJumps);
  trimsAsJumps.setFileFormat(kFormatDst);
  trimsAsJumps.setTrimsAsJumps(1);
  trimsAsJumps.setJumpsPerTrim(3);
  for (StitchOptions* options :
       {static_cast<StitchOptions*>(nullptr), static_cast<StitchOptions*>(&trimsAsJumps)}) {
    const std::string first = convert("in.dst", "a/out.dst", options);
    if (options != nullptr) {
      EXPECT_EQ(jumpRuns(first, 3), runs);
    }
    const std::string second = convert("a/out.dst", "b/out.dst", options);
    EXPECT_TRUE(first == second) << "sizes " << first.size() << " and " << second.size();
  }
}

}  // namespace
}  // namespace stitchkit
