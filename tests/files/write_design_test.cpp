#include "stitchkit/files/write_design.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "stitchkit/decode/dst_records.h"
#include "stitchkit/files/read_design.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

class WriteDesignTest : public testing_support::TempDirTest {
 protected:
  // A small design: stitches on needle 1, a long jump that must be split, a colour change
  // and stitches on needle 2.
  static HXArray<HStitch> design() {
    HXArray<HStitch> s;
    s.add(HStitch(0, 0, StitchCode::Normal, 0));
    s.add(HStitch(50, 0, StitchCode::Normal, 0));
    s.add(HStitch(50, 50, StitchCode::Normal, 0));
    s.add(HStitch(350, 50, StitchCode::Jump, 0));
    s.add(HStitch(350, 50, StitchCode::ChangeNeedle, 1));
    s.add(HStitch(380, 80, StitchCode::Normal, 1));
    s.add(HStitch(380, 80, StitchCode::DesignEnd, 1));
    return s;
  }

  int write(const std::string& name, StitchOptions* options = nullptr) {
    HXArray<HStitch> stitches = design();
    HXArray<HString> names;
    return makeStitchFormatFile(path(name), stitches, ThreadPalette(), names, 0.0, options, 0,
                                HeadGrouping());
  }
};

TEST_F(WriteDesignTest, ExtensionChoosesTheFormatOrRefusesTheName) {
  struct Case {
    const char* name;
    int result;
  };
  // The first four characters of the extension decide.
  const Case cases[] = {
      {"a.dst", kWriteOk},
      {"b.DsT", kWriteOk},
      {"c.dst1", kWriteOk},
      {"d.krv", kWriteOk},
      {"e.twn", kWriteUnknownExtension},
      {"f.abc", kWriteUnknownExtension},
      {"noextension", kWriteUnknownExtension},
      {"g.z5", kWriteUnknownExtension},
      {"h.zz1", kWriteUnknownExtension},
      {"i.z05", kWriteOk},
      {"j.hsf", kWriteOk},
      {"k.kvb", kWriteOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(write(c.name), c.result);
    EXPECT_EQ(readFile(c.name).has_value(), c.result == kWriteOk);
  }
}

// A file that cannot be made, or that fills up (a file-size limit) midway, is a failure of
// the file with the system's error, not of the options.
TEST_F(WriteDesignTest, FileFailuresCarryTheSystemError) {
  std::filesystem::create_directory(dir_ / "folder.dst");
  struct Case {
    const char* name;
    rlim_t sizeLimit;
    int error;
  };
  const Case cases[] = {
      {"no-folder/design.dst", RLIM_INFINITY, ENOENT},
      {"folder.dst", RLIM_INFINITY, EISDIR},
      {"limited.dst", 700, EFBIG},
      {"limited.exp", 100, EFBIG},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int error = testing_support::runWithFileSizeLimit(c.sizeLimit, [&] {
      HXArray<HStitch> stitches = design();
      for (int i = 0; i < 200; ++i)
        stitches.add(HStitch(static_cast<short>(i % 40), 0, StitchCode::Normal, 1));
      StitchArrayWrapper wrapper(stitches);
      HXArray<HString> names;
      int systemError = 0;
      const int r =
          makeStitchFormatFile(path(c.name), path(c.name), wrapper, ThreadPalette(), names,
                               ExtraProperties(), 0.0, nullptr, 0, 0, HeadGrouping(),
                               MachineRepeatSettings(), nullptr, nullptr, nullptr, &systemError);
      return r == kWriteFailed ? systemError : -r;
    });
    EXPECT_EQ(error, c.error);
  }
}

TEST_F(WriteDesignTest, DstFileIsHeaderRecordsAndOneEndOfFileMark) {
  HXArray<HStitch> stitches = design();
  HXArray<HString> names;
  ASSERT_EQ(makeStitchFormatFile(path("flower.dst"), stitches, ThreadPalette(), names, 0.0, nullptr,
                                 0, HeadGrouping()),
            kWriteOk);
  // The container holds the design as written: no move longer than one record can carry.
  for (int i = 1; i < stitches.length(); ++i) {
    EXPECT_LE(std::abs(stitches[i].xval() - stitches[i - 1].xval()), dst::kMaxMove) << i;
    EXPECT_LE(std::abs(stitches[i].yval() - stitches[i - 1].yval()), dst::kMaxMove) << i;
  }
  const std::string bytes = *readFile("flower.dst");
  ASSERT_GT(bytes.size(), 512u + 3u);
  EXPECT_EQ((bytes.size() - 512 - 1) % 3, 0u);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.substr(bytes.size() - 4, 3), std::string("\x00\x00\xF3", 3));
  EXPECT_EQ(bytes.substr(0, 3), "LA:");

  // The header is rewritten from what was written: the 300-unit jump needed more than one
  // record, so the stitch count exceeds the seven stitches handed in.
  const std::string header = bytes.substr(0, 512);
  const std::size_t at = header.find("ST:");
  ASSERT_NE(at, std::string::npos);
  EXPECT_GT(std::stoi(header.substr(at + 3, 7)), 7);

  // And the file reads back with the needle change on needle 2.
  HXArray<HStitch> back;
  StitchStats stats;
  ASSERT_EQ(decodeDSTFile(path("flower.dst").c_str(), back, stats), kReadOk);
  EXPECT_EQ(stats.needleCount, 2u);
}

TEST_F(WriteDesignTest, ByFormatHeadersOnlyTheHeadedFamilies) {
  HXArray<HString> names;
  {
    HXArray<HStitch> stitches = design();
    ASSERT_EQ(makeStitchFormatFile(path("h.dst"), kFormatDst, stitches, ThreadPalette(), names, 1,
                                   nullptr),
              kWriteOk);
    EXPECT_EQ(readFile("h.dst")->substr(0, 3), "LA:");
  }
  {
    HXArray<HStitch> stitches = design();
    ASSERT_EQ(makeStitchFormatFile(path("n.dst"), kFormatDst, stitches, ThreadPalette(), names, 0,
                                   nullptr),
              kWriteOk);
    const std::string bytes = *readFile("n.dst");
    EXPECT_EQ(bytes.size() % 3, 0u);  // records only, no header and no end mark
  }
  for (int code : {28, 35}) {
    HXArray<HStitch> stitches = design();
    StitchOptions any;
    any.setFileFormat(HDiskFileFormat(code));
    EXPECT_EQ(makeStitchFormatFile(path("x.out"), HDiskFileFormat(code), stitches, ThreadPalette(),
                                   names, 1, &any),
              kWriteFailed)
        << code;
  }
}

TEST(WriteDesign, FormatOfPath) {
  EXPECT_EQ(writeFormatOfPath(L"x/y.DST"), kFormatDst);
  EXPECT_EQ(writeFormatOfPath(L"y.pes"), HDiskFileFormat(76));
  EXPECT_EQ(writeFormatOfPath(L"y.Z12"), kFormatZskTransport);
  EXPECT_EQ(writeFormatOfPath(L"y.twn"), kFormatNone);
  EXPECT_EQ(writeFormatOfPath(L"y"), kFormatNone);
}

}  // namespace
}  // namespace stitchkit
