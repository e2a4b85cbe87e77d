#include <gtest/gtest.h>

#include <string>

#include "stitchkit/files/read_design.h"
#include "tests/support/dst_test_records.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::dstRecord;
using testing_support::kDstJump;
using testing_support::kDstNormal;

class ReadEnding : public testing_support::TempDirTest {};

std::string repeated(const std::string& record, int times) {
  std::string out;
  for (int i = 0; i < times; ++i)
    out += record;
  return out;
}

// Malformed and hostile stitch data: the result, how the records ended and, for a record that
// stopped reading, where it starts.
TEST_F(ReadEnding, ReadingSaysHowTheRecordsEnded) {
  const std::string header(512, ' ');
  const std::string stitch = dstRecord(10, 10, kDstNormal);
  const std::string end = testing_support::bytesOf({0x00, 0x00, 0xF3});
  const std::string badSync = testing_support::bytesOf({0x00, 0x00, 0x00});
  // Exp: a stitch of +127 on x; a jump (escape, 0x04) of +127 on x.
  const std::string expStitch = testing_support::bytesOf({0x7F, 0x00});
  const std::string expJump = testing_support::bytesOf({0x80, 0x04, 0x7F, 0x00});
  const struct {
    const char* name;
    const char* file;
    std::string bytes;
    int result;
    DataEnding how;
    long offset;
  } cases[] = {
      {"end record", "a.dst", header + stitch + end, kReadOk, DataEnding::kEndRecord, -1},
      {"no end record", "a.dst", header + stitch + stitch, kReadOk, DataEnding::kEndOfData, -1},
      {"cut inside a record", "a.dst", header + stitch + stitch.substr(0, 2), kReadOk,
       DataEnding::kEndOfData, -1},
      {"no records", "a.dst", header, kReadOk, DataEnding::kEndOfData, -1},
      {"bad sync bits", "a.dst", header + stitch + badSync + end, kReadFailed,
       DataEnding::kBrokenRecord, 515},
      // 271 moves of +121 pass x = 32,767.
      {"wider than a stitch holds", "a.dst", header + repeated(dstRecord(121, 0, kDstJump), 400),
       kReadFailed, DataEnding::kOutOfRange, 512 + 270 * 3},
      {"Exp stitches past the range", "a.exp", repeated(expStitch, 300), kReadFailed,
       DataEnding::kOutOfRange, 258 * 2},
      {"Exp jumps past the range", "a.exp", repeated(expJump, 300), kReadFailed,
       DataEnding::kOutOfRange, 258 * 4},
  };
  for (const auto& c : cases) {
    writeFile(c.file, c.bytes);
    HXArray<HStitch> stitches;
    StitchStats stats;
    double scale = 0;
    DecodeEnding ending;
    EXPECT_EQ(decodeFile(path(c.file), stitches, stats, scale, nullptr, nullptr, nullptr, nullptr,
                         nullptr, &ending),
              c.result)
        << c.name;
    EXPECT_EQ(ending.how, c.how) << c.name;
    EXPECT_EQ(ending.offset, c.offset) << c.name;
  }
}

}  // namespace
}  // namespace stitchkit
