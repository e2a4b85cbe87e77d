// The HSF stitch file: its bytes, what it keeps that a machine file cannot, how a broken file
// is refused, and real designs written as .HSF and read back.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "stitchkit/files/hsf_file.h"
#include "stitchkit/files/hsf_records.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
#include "tests/support/stitch_builders.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::Bytes;
using testing_support::cat;
using testing_support::stitch;

// The file makeHsfStream writes for `stitches`.
Bytes hsfBytes(HXArray<HStitch> stitches, StitchOptions* options = nullptr,
               const ThreadPalette& palette = {}, const HXArray<HString>& names = {},
               double designValue = -1.0) {
  std::stringstream out(std::ios::in | std::ios::out | std::ios::binary);
  StitchArrayWrapper wrapper(stitches);
  EXPECT_EQ(makeHsfStream(out, wrapper, palette, names, designValue, options, 0), kHsfOk);
  const std::string s = out.str();
  return Bytes(s.begin(), s.end());
}

struct Decoded {
  int result = -1;
  HXArray<HStitch> stitches;
  HXArray<HString> names;
  ThreadPalette palette;
  double designValue = 0;
};

// Reads `bytes` as an HSF file with options for `format`.
Decoded decode(const Bytes& bytes, HDiskFileFormat format = kFormatDsb) {
  std::stringstream in(std::string(bytes.begin(), bytes.end()),
                       std::ios::in | std::ios::out | std::ios::binary);
  StitchOptions options;
  setDefaultDecoderOptions(options);
  options.setFileFormat(format);
  Decoded d;
  StitchArrayWrapper wrapper(d.stitches);
  StitchStats stats;
  d.result = decodeHsfStream(in, wrapper, options, stats, d.names, d.designValue, &d.palette);
  return d;
}

std::int32_t int32At(const Bytes& b, int at) {
  std::int32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

void putInt32(Bytes& b, std::size_t at, std::int32_t v) {
  std::memcpy(b.data() + at, &v, 4);
}

Bytes zeros(int n) {
  return Bytes(static_cast<std::size_t>(n), 0);
}

// A design without commands, names or threads has no sections: the file is header, reserved
// bytes, records, reserved bytes. The default record writes DSB records.
TEST(HsfFile, SmallDesignGoldenBytes) {
  const Bytes file =
      hsfBytes(testing_support::design({stitch(0, 0), stitch(10, 5), stitch(20, -3)}));
  // clang-format off
  const Bytes header = {
      'V', '9', '.', '9', '9', 0, 0, 0,    // version
      'A',                                 // kind
      3, 0, 0, 0,                          // stitch count
      20,                                  // encoding: DSB records
      20, 0, 0, 0, 5, 0, 3, 0,             // extents +x, -x, +y, -y
      0, 0,                                // zero, low byte of the command count
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // thread codes, stop table, name list: none
      1, 0,                                // first needle
      0, 0, 0, 0, 0, 0, 0, 0,              // stop comments, thread properties: none
      0, 0, 0, 0, 0, 0, 0, 0,              // design value: none
      0, 0, 0, 0, 0, 0};
  const Bytes records = {
      0xE0, 0x00, 0x00,  // the stitch at the start point
      0xC0, 0x05, 0x0A,  // x +10, y +5
      0x80, 0x08, 0x0A,  // x +10, y -8
  };
  // clang-format on
  EXPECT_EQ(file, cat({header, zeros(200), records, zeros(200)}));
}

// The caller's record writes the records when its moves fit them; otherwise the default DSB
// record does, and the encoding byte names what was written in either case.
TEST(HsfFile, EncodingByteNamesTheRecordsWritten) {
  struct Case {
    HDiskFileFormat format;
    short hardLength;
    int encoding;
  };
  const Case cases[] = {{kFormatDst, 121, 24}, {kFormatDstVariant6, 121, 24},
                        {kFormatDst, 127, 20}, {kFormatExp, 127, 5},
                        {kFormatDsz, 127, 26}, {kFormatKvb, 100, 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format << " " << c.hardLength);
    StitchOptions options;
    setDefaultEncoderOptions(options);
    options.setFileFormat(c.format);
    options.setHardLength(c.hardLength);
    // Exp records take leading zero bytes for padding, so the first stitch moves.
    const Bytes file = hsfBytes(testing_support::design({stitch(20, 10), stitch(300, 40),
                                                         stitch(300, 40, StitchCode::DesignEnd)}),
                                &options);
    EXPECT_EQ(file[hsf::kEncodingAt], c.encoding);
    HchInfoHeader header;
    std::istringstream in(std::string(file.begin(), file.end()));
    ASSERT_EQ(readHchInfoHeader(in, header), kHsfOk);
    const Decoded d = decode(file, convertHchInfoHeaderToFileFormat(header));
    ASSERT_EQ(d.result, kHsfOk);
    EXPECT_EQ(testing_support::penetrations(d.stitches),
              (testing_support::Points{{20, 10}, {300, 40}}));
  }
}

TEST(HsfFile, MalformedInputGivesItsResult) {
  HXArray<HStitch> design = testing_support::design(
      {stitch(0, 0), stitch(20, 0), stitch(20, 0, StitchCode::Trim), stitch(40, 5)});
  design[2].setComment(L"x");
  HXArray<HString> names;
  names.add(L"n");
  const Bytes good = hsfBytes(design, nullptr, {}, names);
  const int stops = int32At(good, hsf::kStopTableAt);
  const int comments = int32At(good, hsf::kStopCommentsAt);
  const int nameList = int32At(good, hsf::kNameListAt);
  ASSERT_GT(stops, 0);
  ASSERT_GT(comments, 0);
  ASSERT_GT(nameList, 0);
  // An old file: 16-byte header of kind 'E', then DST records.
  const Bytes oldDst = cat({{'E', 1, 0, 0, 0, 0}, zeros(10), {0x01, 0x00, 0x03}, {0, 0, 0xF3}});

  struct Case {
    const char* fault;
    std::function<void(Bytes&)> change;
    HDiskFileFormat options;
    int result;
  };
  const Case cases[] = {
      {"none", [](Bytes&) {}, kFormatDsb, kHsfOk},
      {"empty file", [](Bytes& b) { b.clear(); }, kFormatDsb, kHsfBadData},
      {"header cut short", [](Bytes& b) { b.resize(40); }, kFormatDsb, kHsfBadData},
      {"old header cut short",
       [](Bytes& b) {
         b = {'E', 1, 0};
       },
       kFormatDst, kHsfBadData},
      {"old DST file", [&](Bytes& b) { b = oldDst; }, kFormatDst, kHsfOk},
      {"stop count above limit", [&](Bytes& b) { putInt32(b, stops + 2, 10000001); }, kFormatDsb,
       kHsfBadData},
      {"stop table past the end", [&](Bytes& b) { putInt32(b, stops + 2, 100000); }, kFormatDsb,
       kHsfBadData},
      {"negative comment count", [&](Bytes& b) { putInt32(b, comments + 2, -1); }, kFormatDsb,
       kHsfBadData},
      {"comment past the end", [&](Bytes& b) { b[comments + 6] = 0x7F; }, kFormatDsb, kHsfBadData},
      {"name past the end", [&](Bytes& b) { putInt32(b, nameList + 2, 0x7FFFFFFF); }, kFormatDsb,
       kHsfBadData},
      {"negative name count", [&](Bytes& b) { b[nameList + 1] = 0x80; }, kFormatDsb, kHsfBadData},
      {"section offset beyond the file", [](Bytes& b) { putInt32(b, hsf::kNameListAt, 1 << 30); },
       kFormatDsb, kHsfOk},
      {"unknown encoding", [](Bytes& b) { b[hsf::kEncodingAt] = 99; }, kFormatDsb,
       kHsfIncompatible},
      {"options for other records", [](Bytes&) {}, kFormatExp, kHsfIncompatible},
      {"records without a decoder", [](Bytes& b) { b[hsf::kEncodingAt] = 99; }, kFormatNone,
       kHsfNoDecoder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    Bytes bytes = good;
    c.change(bytes);
    EXPECT_EQ(decode(bytes, c.options).result, c.result);
  }
}

class HsfSamples : public testing_support::TempDirTest {};

// Real designs written as .HSF through the writing entry point and read back by name keep
// their penetrations and colour changes.
TEST_F(HsfSamples, KeepPenetrationsAndColourChanges) {
  const auto colourChanges = [](const HXArray<HStitch>& stitches) {
    std::vector<std::size_t> at;
    std::size_t sewn = 0;
    for (const HStitch& s : stitches) {
      if (s.isColorChange()) at.push_back(sewn);
      if (s.isNormal()) ++sewn;
    }
    return at;
  };
  int read = 0;
  for (const char* folder : {"dst", "dsb", "dsz", "exp"}) {
    const auto files = testing_support::sampleFiles(folder);
    for (std::size_t i = 0; i < files.size() && i < 2; ++i) {
      SCOPED_TRACE(files[i].string());
      HXArray<HStitch> stitches;
      StitchStats stats;
      double scale = 0;
      ASSERT_EQ(decodeFile(utf8ToStr(files[i].string()), stitches, stats, scale, nullptr, nullptr,
                           nullptr, nullptr),
                kReadOk);
      const auto penetrations = testing_support::penetrations(stitches);
      const auto changes = colourChanges(stitches);
      HXArray<HString> names;
      ASSERT_EQ(makeStitchFormatFile(path("design.HSF"), stitches, ThreadPalette(), names, 0.0,
                                     nullptr, 0, HeadGrouping()),
                kWriteOk);
      HXArray<HStitch> back;
      ThreadPalette palette;
      ASSERT_EQ(
          decodeFile(path("design.HSF"), back, stats, scale, &palette, nullptr, nullptr, nullptr),
          kReadOk);
      EXPECT_EQ(testing_support::penetrations(back), penetrations);
      EXPECT_EQ(colourChanges(back), changes);
      EXPECT_FALSE(palette.isEmpty());
      ++read;
    }
  }
  EXPECT_GT(read, 0);
}

}  // namespace
}  // namespace stitchkit
