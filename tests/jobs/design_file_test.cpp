#include "stitchkit/jobs/design_file.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::TempDirTest;

const std::string kFlower = std::string(STITCHKIT_SOURCE_DIR) + "/samples/flower.dst";

class DesignFileTest : public TempDirTest {
 protected:
  std::string out(const std::string& name) const { return strToUtf8(path(name)); }
};

// Every way a request can be wrong gets its result before a byte is written, and a request
// that is right writes a file that reads back with the design's colours (Exp's as stops).
TEST_F(DesignFileTest, RequestsAreCheckedBeforeWriting) {
  using Settings = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* name;
    std::optional<HDiskFileFormat> format;
    const char* machine;
    Settings settings;
    int result;
  };
  const Case cases[] = {
      {"a.dst", std::nullopt, "", {}, kJobOk},
      {"a.exp", std::nullopt, "EXP", {{"MaxNeedles", "7"}}, kJobOk},
      {"a.bin", kFormatDst, "", {{"FormatType", "Normal"}}, kJobOk},
      {"a.xyz", std::nullopt, "", {}, kJobWriteFailed},
      {"a.dst", static_cast<HDiskFileFormat>(28), "", {}, kJobWriteFailed},
      {"a.exp", std::nullopt, "No such machine", {}, kJobBadRequest},
      {"a.dst", std::nullopt, "EXP", {}, kJobBadRequest},
      {"a.dst", std::nullopt, "", {{"MaxLength", "500"}}, kJobBadRequest},
      {"a.dst", std::nullopt, "", {{"MaxLength", "long"}}, kJobBadRequest},
      {"a.dst", std::nullopt, "", {{"NoSuchOption", "1"}}, kJobBadRequest},
      {"a.pes", kFormatDst, "", {}, kJobBadRequest},
      {"a.dst", static_cast<HDiskFileFormat>(41), "", {}, kJobBadRequest},
  };
  DesignFile design;
  ASSERT_EQ(readDesignFile(kFlower, design).result, kJobOk);
  const int colours = design.stats.needles.length();
  int row = 0;
  for (const Case& c : cases) {
    const std::string name = std::to_string(row++) + c.name;
    SCOPED_TRACE(name + " machine '" + c.machine + "'");
    const WriteRequest request{c.format, c.machine, c.settings};
    EXPECT_EQ(checkWriteRequest(out(name), request).result, c.result);
    WriteReport report;
    const JobStatus status = writeDesignFile(out(name), design, request, report);
    EXPECT_EQ(status.result, c.result) << status.message;
    EXPECT_EQ(readFile(name).has_value(), c.result == kJobOk);
    if (c.result == kJobOk) {
      EXPECT_EQ(report.written.needles.length() + report.stops, colours);
    }
  }
}

TEST_F(DesignFileTest, ReadFailuresSayWhy) {
  writeFile("short.pes", "#PES0001");
  writeFile("short.kvb", "KVB");
  DesignFile design;
  for (const char* name : {"missing.dst", "short.pes", "short.kvb"}) {
    const JobStatus status = readDesignFile(out(name), design);
    EXPECT_EQ(status.result, kJobReadFailed) << name;
    EXPECT_FALSE(status.message.empty()) << name;
  }
  // A machine format for reading must exist and read the file's format.
  const std::pair<const char*, int> machines[] = {
      {"DST", kJobOk}, {"EXP", kJobBadRequest}, {"No such machine", kJobBadRequest}};
  for (const auto& [machine, result] : machines) {
    EXPECT_EQ(readDesignFile(kFlower, design, machine).result, result) << machine;
  }
}

// Threads convert separate designs at once into every kind of writer (header, records with
// and without a file-wide state, containers with side files, another maker's layer) and each
// gets the file it would get alone.
TEST_F(DesignFileTest, ThreadsWriteSeparateDesignsAtOnce) {
  const char* targets[] = {"t.dst", "t.exp", "t.kvb", "t.pes"};
  std::vector<int> alone;
  for (const char* target : targets) {
    DesignFile design;
    ASSERT_TRUE(readDesignFile(kFlower, design));
    WriteReport report;
    ASSERT_TRUE(writeDesignFile(out(std::string("alone_") + target), design, {}, report));
    alone.push_back(report.written.stitchCount);
  }
  std::vector<std::vector<int>> counts(std::size(targets));
  std::vector<std::jthread> threads;
  for (std::size_t t = 0; t < std::size(targets); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 10; ++round) {
        DesignFile design;
        WriteReport report;
        const std::string name = std::to_string(round) + "_" + targets[t];
        counts[t].push_back(readDesignFile(kFlower, design) &&
                                    writeDesignFile(out(name), design, {}, report)
                                ? report.written.stitchCount
                                : -1);
      }
    });
  }
  threads.clear();
  for (std::size_t t = 0; t < std::size(targets); ++t)
    EXPECT_EQ(counts[t], std::vector<int>(10, alone[t])) << targets[t];
}

}  // namespace
}  // namespace stitchkit
