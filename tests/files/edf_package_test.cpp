// EDF packages: the directory and members as packed and extracted, the statistics read from a
// package, and failures that leave nothing behind in the temporary directory.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "stitchkit/files/edf_package.h"
#include "stitchkit/files/edf_package_internal.h"
#include "stitchkit/files/write_design.h"
#include "tests/support/stitch_builders.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::stitch;

// Every test runs with the temporary directory of its own, so that what a call leaves there
// can be seen.
class EdfPackageTest : public testing_support::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directory(dir_ / "tmp");
    if (const char* old = std::getenv("TMPDIR")) saved_ = old;
    ::setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
  }
  void TearDown() override {
    if (saved_) {
      ::setenv("TMPDIR", saved_->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
    TempDirTest::TearDown();
  }
  bool temporaryDirectoryEmpty() const { return std::filesystem::is_empty(dir_ / "tmp"); }
  std::string payload(const std::string& name) const {
    std::vector<unsigned char> bytes;
    if (!detail::decipherEnvelope(path(name), bytes)) return "";
    return std::string(bytes.begin(), bytes.end());
  }

  std::optional<std::string> saved_;
};

// Writes a small design with two needle blocks as the package `name`; `written` receives the
// statistics of what was written.
int writeSmallDesign(const HString& name, StitchStats& written) {
  HXArray<HStitch> design = testing_support::design(
      {stitch(0, 0), stitch(-35, 12), stitch(80, -40), stitch(80, -40, StitchCode::ChangeNeedle, 1),
       stitch(90, -20, 0, 1), stitch(90, -20, StitchCode::DesignEnd, 1)});
  HXArray<HString> names;
  StitchOptions options;
  options.setFileFormat(kFormatEdf);
  StitchArrayWrapper wrapper(design);
  return makeStitchFormatFile(name, HString(L"ignored"), wrapper, ThreadPalette(), names,
                              ExtraProperties(), 0.0, &options, 0, 0, HeadGrouping(),
                              MachineRepeatSettings(), nullptr, nullptr, &written);
}

// The members of a package: a KVB file of `kvb` bytes, a CT0 file, and the texts of the
// optional members (null: no file).
struct Members {
  std::size_t kvb;
  const char* qpf;  // null: no file
  const char* qpt;
  const char* ad0;
};

TEST_F(EdfPackageTest, MembersArePackedAndExtracted) {
  struct Row {
    const char* name;
    Members members;
    const char* graphics;  // the graphics member packed, or null
    int kvbResult;         // extracting the KVB member
  };
  const Row rows[] = {
      {"plain", {400, nullptr, nullptr, nullptr}, nullptr, kEdfFailed},
      {"graphics", {400, "qpf", nullptr, "ad0"}, "qpf", kEdfOk},
      {"QPF before QPT", {400, "qpf", "qpt", nullptr}, "qpf", kEdfOk},
      {"empty QPF", {400, "", "qpt", nullptr}, "qpt", kEdfOk},
      {"header area only", {128, "qpf", nullptr, nullptr}, "qpf", kEdfFailed},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string kvb(row.members.kvb, '\0');
    for (std::size_t i = 0; i < kvb.size(); ++i)
      kvb[i] = static_cast<char>(i * 7);
    const std::string ct0(1936, 'c');
    writeFile("D.KVB", kvb);
    writeFile("D.CT0", ct0);
    for (const auto& [ext, text] :
         {std::pair{"D.QPF", row.members.qpf}, std::pair{"D.QPT", row.members.qpt},
          std::pair{"D.AD0", row.members.ad0}}) {
      std::filesystem::remove(dir_ / ext);
      if (text != nullptr) writeFile(ext, text);
    }
    ASSERT_EQ(makeEDFFromKVBandCT0(path("P.EDF"), path("D")), kEdfOk);

    const std::string envelope = readFile("P.EDF").value_or("");
    ASSERT_GE(envelope.size(), 32u);
    EXPECT_EQ(envelope.substr(0, 8), std::string("EDF\x01\x20\0\0\0", 8));
    const std::string plain = payload("P.EDF");
    EXPECT_EQ(plain.size() + 32, envelope.size());
    EXPECT_NE(plain.substr(144), envelope.substr(176)) << "the payload is enciphered";
    const std::size_t kvbEnd = kvb.size() + 16;
    std::string expected = "2.00EDF" + std::string(17, ' ');
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%07zX  %07zX%07X", kvbEnd, kvbEnd, 1936);
    expected += numbers;
    EXPECT_EQ(plain.substr(0, 47), expected);
    const std::size_t graphicsLength = row.graphics ? std::strlen(row.graphics) : 0;
    EXPECT_EQ(plain.substr(48, 1), row.graphics ? "1" : "0");
    if (row.graphics) {
      std::snprintf(numbers, sizeof numbers, "%07zX%07zX", kvbEnd + 1936, graphicsLength);
      EXPECT_EQ(plain.substr(49, 14), numbers);
    } else {
      EXPECT_EQ(plain.substr(49, 14), std::string(14, ' '));
    }
    EXPECT_EQ(plain.substr(64, 1), row.members.ad0 ? "1" : "0");
    EXPECT_EQ(plain.substr(144), kvb.substr(128) + ct0 + (row.graphics ? row.graphics : "") +
                                     (row.members.ad0 ? row.members.ad0 : ""));

    std::filesystem::remove(dir_ / "X.KVB");
    EXPECT_EQ(makeKVBFromEDFFile(path("P.EDF"), path("X.KVB")), row.kvbResult);
    if (row.kvbResult == kEdfOk) {
      EXPECT_EQ(readFile("X.KVB"), std::string(128, ' ') + kvb.substr(128));
    }
    if (row.graphics) {
      EXPECT_EQ(makeCT0FromEDFFile(path("P.EDF"), path("X.CT0")), kEdfOk);
      EXPECT_EQ(readFile("X.CT0"), ct0);
      EXPECT_EQ(makeIconFromEDFFile(path("P.EDF"), path("X.QPF")), kEdfOk);
      EXPECT_EQ(readFile("X.QPF"), std::string(row.graphics));
    } else {
      // Without design graphics nothing is extracted.
      EXPECT_EQ(makeCT0FromEDFFile(path("P.EDF"), path("Y.CT0")), kEdfFailed);
      EXPECT_FALSE(readFile("Y.CT0"));
    }
    EXPECT_TRUE(temporaryDirectoryEmpty());
  }
}

TEST_F(EdfPackageTest, StatisticsComeFromTheKvbHeader) {
  StitchStats written;
  ASSERT_EQ(writeSmallDesign(path("(Tulip.2).edf"), written), kWriteOk);
  StitchStats stats;
  stats.threadLength = 5.0;  // not changed
  HString name;
  ASSERT_EQ(makeStatsFromEDFFile(path("(Tulip.2).edf"), stats, name), kEdfOk);
  EXPECT_EQ(strToUtf8(name), "Tulip");
  EXPECT_EQ(stats.stitchCount, written.stitchCount);
  EXPECT_EQ(stats.needleCount, 1u);  // the header's colour count: one colour change
  EXPECT_EQ(stats.minX, written.minX);
  EXPECT_EQ(stats.maxX, written.maxX);
  // The header's y runs the other way.
  EXPECT_EQ(stats.minY, -written.maxY);
  EXPECT_EQ(stats.maxY, -written.minY);
  EXPECT_EQ(stats.threadLength, 5.0);
  EXPECT_TRUE(temporaryDirectoryEmpty());
}

TEST_F(EdfPackageTest, FailuresAreReportedAndLeaveNothingBehind) {
  writeFile("D.KVB", std::string(300, 'k'));
  writeFile("D.CT0", std::string(1936, 'c'));
  writeFile("ONLYKVB.KVB", std::string(300, 'k'));
  ASSERT_EQ(makeEDFFromKVBandCT0(path("P.EDF"), path("D")), kEdfOk);
  std::string bytes = readFile("P.EDF").value_or("");
  bytes[3] = '\0';
  writeFile("V0.EDF", bytes);
  writeFile("CUT.EDF", readFile("P.EDF")->substr(0, 100));
  writeFile("PLAIN.TXT", "not a package");
  StitchStats written;
  ASSERT_EQ(writeSmallDesign(path("GOOD.EDF"), written), kWriteOk);

  StitchStats stats;
  HString name;
  struct Row {
    const char* call;
    int result;
    int expected;
  };
  const Row rows[] = {
      {"pack without KVB", makeEDFFromKVBandCT0(path("Q.EDF"), path("NONE")), kEdfMissing},
      {"pack without CT0", makeEDFFromKVBandCT0(path("Q.EDF"), path("ONLYKVB")), kEdfMissing},
      {"extract from nothing", makeKVBFromEDFFile(path("NONE.EDF"), path("X.KVB")), kEdfMissing},
      {"extract version 0", makeKVBFromEDFFile(path("V0.EDF"), path("X.KVB")), kEdfFailed},
      {"extract cut", makeCT0FromEDFFile(path("CUT.EDF"), path("X.CT0")), kEdfFailed},
      {"extract not a package", makeIconFromEDFFile(path("PLAIN.TXT"), path("X.QPF")), kEdfFailed},
      {"stats of nothing", makeStatsFromEDFFile(path("NONE.EDF"), stats, name), kEdfMissing},
      {"stats of version 0", makeStatsFromEDFFile(path("V0.EDF"), stats, name), kEdfCannotOpen},
      {"encipher nothing", EncryptEDFFile(path("NONE"), path("Q.EDF")), 0},
      {"encipher into no folder", EncryptEDFFile(path("PLAIN.TXT"), path("no/Q.EDF")), 0},
  };
  for (const Row& row : rows)
    EXPECT_EQ(row.result, row.expected) << row.call;
  EXPECT_FALSE(readFile("Q.EDF"));
  EXPECT_FALSE(readFile("X.KVB"));

  // The design reader takes packages without design graphics; a bad one is not read.
  for (const auto& [file, expected] :
       {std::pair{"GOOD.EDF", kKvbReadOk}, std::pair{"V0.EDF", kKvbReadShort},
        std::pair{"NONE.EDF", kKvbReadCannotOpen}}) {
    HXArray<HStitch> stitches;
    HXArray<HString> lines;
    HeadGrouping grouping;
    MachineRepeatSettings repeat;
    StitchOptions options;
    options.setFileFormat(kFormatEdf);
    StitchArrayWrapper wrapper(stitches);
    EXPECT_EQ(decodeEDFFile(path(file), wrapper, options, stats, lines, grouping, repeat, nullptr,
                            nullptr),
              expected)
        << file;
    EXPECT_EQ(options.getFileFormat(), kFormatEdf);
  }
  EXPECT_TRUE(temporaryDirectoryEmpty());
}

}  // namespace
}  // namespace stitchkit
