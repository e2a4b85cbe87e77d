// ZSK transport files: the bytes of one small design (header, thread table, stitch records),
// the files the reader refuses and why, and a file written by other software.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "stitchkit/decode/zsk_transport_decoder.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/zsk_transport_file.h"
#include "tests/support/stitch_builders.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::bytesOf;
using testing_support::stitch;
namespace C = StitchCode;

class ZskTransportFileTest : public testing_support::TempDirTest {
 protected:
  static StitchOptions options() {
    StitchOptions o;
    setDefaultEncoderOptions(o);
    o.setFileFormat(kFormatZskTransport);
    o.setMinRealLength(3);
    o.setMaxRealLength(35);
    return o;
  }
  int read(const std::string& name, HXArray<HStitch>& stitches, ThreadPalette* palette) {
    StitchStats stats;
    double scale = 0;
    return decodeFile(path(name), stitches, stats, scale, palette, nullptr, nullptr, nullptr);
  }
};

ThreadPalette twoThreads() {
  ThreadPalette palette;
  palette.add(ThreadProperty(ThreadProperty::rgb(0xC0, 0x10, 0x20), L"Poppy red with a long name",
                             L"1801-long-code", L"Maker and more"));
  palette.add(ThreadProperty(ThreadProperty::rgb(0x00, 0x40, 0xFF), L"Blue", L"1802", L"Maker"));
  return palette;
}

TEST_F(ZskTransportFileTest, SmallDesignIsWrittenByteForByte) {
  HXArray<HStitch> design =
      testing_support::design({stitch(10, 0), stitch(20, -5), stitch(20, -5, C::ChangeNeedle, 1),
                               stitch(-280, -5, C::Normal, 1), stitch(-280, -5, C::DesignEnd, 1)});
  StitchArrayWrapper wrapper(design);
  const StitchOptions o = options();
  ASSERT_EQ(
      makeZSKTransportFile(path("Design.Z01"), path("Design.Z01"), wrapper, twoThreads(), &o, 0),
      kZskWriteOk);
  const std::string file = readFile("Design.Z01").value();
  const std::string spaces(20, ' ');
  struct Field {
    const char* what;
    std::size_t offset;
    std::string bytes;
  };
  // clang-format off
  const Field fields[] = {
      {"header framing, tag", 0, bytesOf({0xF0, 0x01, 0xBE, 0x00, 0x00}) + "KORVANHXQP"},
      {"extension", 4 + 11, "Z0      1 "},
      {"design name", 4 + 21, "Design" + spaces.substr(6) + " "},
      {"zero word", 4 + 256, bytesOf({0, 0})},
      {"real lengths, stitch count", 4 + 303, bytesOf({3, 0, 35, 0, 7, 0, 0, 0})},
      {"min x, y", 4 + 311, bytesOf({0xE8, 0xFE, 0xFB, 0xFF})},
      {"max x, y; end x, y; zero", 4 + 315, bytesOf({20, 0, 0, 0, 0xE8, 0xFE, 0xFB, 0xFF, 0, 0, ' '})},
      {"thread table framing", 449, bytesOf({0xF0, 0x00, 0x91, 0x02})},
      {"thread 1", 453, bytesOf({0, 1, 0xC0, 0x10, 0x20}) + "Poppy red with " + "1801-lon" +
                        "      " + "Maker an" + "        " + bytesOf({0, ' '})},
      {"thread 2", 525, bytesOf({0, 2, 0x00, 0x40, 0xFF}) + "Blue" + std::string(11, ' ') + "1802"},
      {"stitch records", 597, bytesOf({0x04, 0x0A, 0x00,                  // stitch
                                       0x00, 0x0A, 0x05,                  // stitch
                                       0x20, 0x00, 0x02,                  // needle 2
                                       0x0E, 0x64, 0x00, 0x0E, 0x64, 0x00, // jumps
                                       0x0C, 0x64, 0x00,                  // stitch
                                       0x20, 0xFF, 0x00})},               // end
  };
  // clang-format on
  for (const Field& f : fields) {
    SCOPED_TRACE(f.what);
    ASSERT_LE(f.offset + f.bytes.size(), file.size());
    EXPECT_EQ(file.substr(f.offset, f.bytes.size()), f.bytes);
  }
  // The three dates of writing, "dd.mm.yyyyHH:MM".
  for (std::size_t at : zsk::kDateOffsets) {
    EXPECT_EQ(file[4 + at + 2], '.');
    EXPECT_EQ(file[4 + at + 12], ':');
  }
}

// One framed record.
std::string framed(int type, const std::string& body) {
  const std::size_t length = body.size() + 1;
  return bytesOf(
             {0xF0, static_cast<int>(length >> 8 & 0xFF), static_cast<int>(length & 0xFF), type}) +
         body;
}

std::string threadTable(int threads) {
  std::string body;
  for (int i = 0; i < threads; ++i)
    body += bytesOf({0, i + 1, 10, 20, 30}) + std::string(zsk::kNeedleSize - 5, ' ');
  return framed(zsk::kThreadTableType, body);
}

TEST_F(ZskTransportFileTest, MalformedFilesAreRefusedOrReadAsFarAsTheyHold) {
  const std::string header = framed(zsk::kHeaderType, std::string(zsk::kHeaderSize, ' '));
  const std::string records = bytesOf({0x00, 0x01, 0x01, 0x20, 0xFF, 0x00});
  struct Case {
    const char* name;
    std::string bytes;
    int result;
    int threads;  // in the palette read
  };
  const Case cases[] = {
      {"whole file", header + threadTable(1) + records, kReadOk, 1},
      {"no header or threads", records, kReadOk, 0},
      {"empty", "", kReadFailed, -1},
      {"no end function", header + records.substr(0, 3), kReadFailed, -1},
      {"header longer than the file", header.substr(0, 40), kReadFailed, -1},
      {"thread table of part entries",
       header + framed(2, std::string(2 * zsk::kNeedleSize + 10, 'x')) + records, kReadOk, 2},
      {"thread table of one byte", header + framed(2, "x") + records, kReadOk, 0},
      {"threads beyond the numbering", header + threadTable(200) + threadTable(100) + records,
       kReadOk, zsk::kMaxNeedles},
      {"record of no known kind", header + bytesOf({0x60, 0, 0}) + records, kReadFailed, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile("case.Z00", c.bytes);
    HXArray<HStitch> stitches;
    ThreadPalette palette = twoThreads();
    EXPECT_EQ(read("case.Z00", stitches, &palette), c.result);
    EXPECT_EQ(palette.length(), c.threads < 0 ? 2 : c.threads);
  }

  // Files that cannot be opened, and one above the loading cap (not read at all).
  std::filesystem::create_directory(dir_ / "folder.Z01");
  writeFile("huge.Z02", header + records);
  std::filesystem::resize_file(dir_ / "huge.Z02", ZSKTransportStitchDecoder::kMaxLoadedBytes + 1);
  HXArray<HStitch> stitches;
  EXPECT_EQ(read("missing.Z03", stitches, nullptr), kReadCannotOpen);
  EXPECT_EQ(read("folder.Z01", stitches, nullptr), kReadCannotOpen);
  EXPECT_EQ(read("huge.Z02", stitches, nullptr), kReadFailed);
  zsk::ZSKTransportHeader read;
  HList<zsk::ZSKNeedle> needles;
  EXPECT_EQ(readZSKTransportDescription(path("huge.Z02"), read, needles), kZskReadDecodeFailed);
  EXPECT_EQ(readZSKTransportDescription(path("folder.Z01"), read, needles), kZskReadCannotOpen);
}

// A file written by other software: its header is laid out otherwise (no tag, big-endian
// numbers), each thread has a table of its own and threads are numbered from 0.
TEST_F(ZskTransportFileTest, FileOfOtherSoftwareIsRead) {
  const HString sample = utf8ToStr(std::string(STITCHKIT_SAMPLES_DIR) + "/z01/emodder__Star.Z01");
  HXArray<HStitch> stitches;
  StitchStats stats;
  double scale = 0;
  ThreadPalette palette;
  ASSERT_EQ(decodeFile(sample, stitches, stats, scale, &palette, nullptr, nullptr, nullptr),
            kReadOk);
  EXPECT_EQ(stats.stitchCount, 2515);
  EXPECT_EQ(testing_support::colourSequence(stitches), (std::vector<int>{0, 1}));
  ASSERT_EQ(palette.length(), 3);
  EXPECT_EQ(palette[0].colour, ThreadProperty::rgb(0xEB, 0xE9, 0xDC));
  EXPECT_EQ(palette[1].code, L"005");
  EXPECT_TRUE(stitches[stitches.length() - 1].isEndRewind());

  zsk::ZSKTransportHeader header;
  HList<zsk::ZSKNeedle> needles;
  ASSERT_EQ(readZSKTransportDescription(sample, header, needles), kZskReadOk);
  const ZSKTransportDesignInfo info = describeZSKTransportHeader(header);
  EXPECT_FALSE(info.tagged);
  EXPECT_EQ(info.name, "Star");
  EXPECT_EQ(info.written, "17.09.201322:08");
  EXPECT_EQ(needles.length(), 3);
}

}  // namespace
}  // namespace stitchkit
