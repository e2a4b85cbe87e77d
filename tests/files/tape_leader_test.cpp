#include "stitchkit/files/tape_leader.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/platform/h_string.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::TempDirTest;

// The lettering's columns as the design documents give them, written down here on their
// own so that a wrong entry in the library is not repeated by the tests.
const std::map<char, std::vector<int>>& glyphs() {
  static const std::map<char, std::vector<int>> table = {
      {' ', {0, 0, 0, 0, 0}},      {'A', {30, 40, 40, 40, 30}}, {'B', {62, 42, 42, 42, 20}},
      {'C', {28, 34, 34, 34, 34}}, {'D', {62, 34, 34, 34, 28}}, {'E', {62, 42, 42, 42, 34}},
      {'F', {62, 40, 40, 40, 32}}, {'G', {28, 34, 42, 42, 46}}, {'H', {62, 8, 8, 8, 62}},
      {'I', {0, 34, 62, 34, 0}},   {'J', {4, 34, 34, 60, 32}},  {'K', {62, 8, 20, 34, 0}},
      {'L', {62, 2, 2, 2, 2}},     {'M', {62, 16, 8, 16, 62}},  {'N', {62, 16, 8, 4, 62}},
      {'O', {28, 34, 34, 34, 28}}, {'P', {62, 40, 40, 40, 16}}, {'Q', {28, 34, 34, 38, 30}},
      {'R', {62, 40, 40, 44, 18}}, {'S', {18, 42, 42, 42, 36}}, {'T', {32, 32, 62, 32, 32}},
      {'U', {60, 2, 2, 2, 60}},    {'V', {56, 4, 2, 4, 56}},    {'W', {62, 4, 8, 4, 62}},
      {'X', {34, 20, 8, 20, 34}},  {'Y', {32, 16, 14, 16, 32}}, {'Z', {34, 38, 42, 50, 34}},
      {'0', {28, 34, 34, 28, 0}},  {'1', {0, 18, 62, 2, 0}},    {'2', {18, 38, 42, 18, 0}},
      {'3', {20, 34, 42, 20, 0}},  {'4', {56, 8, 30, 8, 0}},    {'5', {58, 42, 42, 36, 0}},
      {'6', {28, 42, 42, 4, 0}},   {'7', {34, 36, 40, 48, 0}},  {'8', {20, 42, 42, 20, 0}},
      {'9', {18, 42, 42, 28, 0}},  {'.', {0, 6, 6, 0, 0}},      {'#', {20, 62, 20, 62, 20}},
      {'%', {50, 52, 8, 22, 38}},  {'(', {0, 28, 34, 0, 0}},    {')', {0, 34, 28, 0, 0}},
      {'/', {2, 4, 8, 16, 32}},    {'-', {0, 8, 8, 8, 0}},      {'!', {0, 0, 58, 0, 0}},
      {',', {0, 10, 12, 0, 0}},    {'=', {20, 20, 20, 20, 20}},
  };
  return table;
}

const char kAlphabet[] = " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.#%()/-!,=";

// The lettering of `text`, which must hold only upper-case alphabet characters: six bytes per
// character, a zero and the five columns.
std::string lettered(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto it = glyphs().find(c);
    if (it == glyphs().end()) throw std::invalid_argument("not in the lettering's alphabet");
    out += '\0';
    for (int column : it->second)
      out += static_cast<char>(column);
  }
  return out;
}

// The leader of a paper-tape format: the lettered texts in order.
std::string letteredLeader(const std::string& name, const std::string& machineWord, int stitches) {
  return lettered(name) + lettered(machineWord) +
         lettered("STITCHES=" + std::to_string(stitches) + "  ") + lettered(std::string(35, ' '));
}

// A design file body with every byte value in it.
std::string designBytes(std::size_t size) {
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i)
    bytes += static_cast<char>((i * 7 + 3) & 0xFF);
  return bytes;
}

// Points $TMPDIR at a directory while it lives.
class TemporaryDirectoryOverride {
 public:
  explicit TemporaryDirectoryOverride(const std::string& dir) {
    if (const char* old = ::getenv("TMPDIR")) old_ = old;
    ::setenv("TMPDIR", dir.c_str(), 1);
  }
  ~TemporaryDirectoryOverride() {
    if (old_) {
      ::setenv("TMPDIR", old_->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
  }
  TemporaryDirectoryOverride(const TemporaryDirectoryOverride&) = delete;
  TemporaryDirectoryOverride& operator=(const TemporaryDirectoryOverride&) = delete;

 private:
  std::optional<std::string> old_;
};

class TapeLeaderTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directory(dir_ / "tmp");
    tmp_.emplace((dir_ / "tmp").string());
  }
  void TearDown() override {
    tmp_.reset();
    TempDirTest::TearDown();
  }

  // Files left in the temporary directory.
  std::vector<std::string> temporaryFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_ / "tmp"))
      names.push_back(entry.path().filename().string());
    return names;
  }

  int addLeader(const std::string& file, const HString& designName, int stitches, int format,
                int leaderBytes) {
    return addTapeLeader(path(file), designName, stitches, static_cast<HDiskFileFormat>(format),
                         leaderBytes);
  }

  std::optional<TemporaryDirectoryOverride> tmp_;
};

TEST_F(TapeLeaderTest, PlainFormatsGetZeroBytes) {
  // A body with every byte value in it, across the copy buffer's size.
  const std::string body = designBytes(10000);
  writeFile("a.dst", body);
  ASSERT_EQ(addLeader("a.dst", L"Logo", 100, kFormatDst, 20), kTapeLeaderDone);
  EXPECT_EQ(readFile("a.dst"), std::string(20, '\0') + body);
  EXPECT_TRUE(temporaryFiles().empty());

  // Every format but the paper-tape ones; nothing for a length of zero or less; an empty
  // file gets only the leader; and a leader can be added twice. A plain format does not
  // letter the name, however long.
  const std::string zeros(3, '\0');
  const struct {
    int format;
    int leaderBytes;
    std::string before;
    std::string after;
  } cases[] = {
      {0, 0, "body", "body"},
      {0, -1, "body", "body"},
      {0, -100, "body", "body"},
      {0, 5, "", std::string(5, '\0')},
      {0, 3, zeros + "body", zeros + zeros + "body"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "leader " << c.leaderBytes);
    writeFile("a.x", c.before);
    ASSERT_EQ(addLeader("a.x", utf8ToStr(std::string(1000, 'A')), 100, c.format, c.leaderBytes),
              kTapeLeaderDone);
    EXPECT_EQ(readFile("a.x"), c.after);
  }
  for (int format : {1, 2, 3, 6, 14, 20, 21, 36, 52, 89, -1}) {
    writeFile("a.x", "body");
    ASSERT_EQ(addLeader("a.x", L"Logo", 100, format, 3), kTapeLeaderDone) << format;
    EXPECT_EQ(readFile("a.x"), zeros + "body") << format;
  }
}

TEST_F(TapeLeaderTest, NameIsLetteredUpToTheFirstCharacterOutsideTheAlphabet) {
  const std::string alphabet = kAlphabet;
  ASSERT_EQ(alphabet.size(), 47u);
  ASSERT_EQ(glyphs().size(), 47u);
  std::string lower = alphabet;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  // An underscore or another character outside the alphabet ends the name, and the two
  // spaces after the name go with it; a negative count is lettered with its sign.
  // clang-format off
  const struct {
    HString name;
    int stitches;
    std::string lettered;
  } cases[] = {
      {utf8ToStr(alphabet), 7, alphabet + "  "},
      {utf8ToStr(lower), 7, alphabet + "  "},
      {L"Logo_1", 50, "LOGO"},
      {L"_Logo", 50, ""},
      {L"Rose\u00e9x", 50, "ROSE"}, {L"Rose+x", 50, "ROSE"},
      {L"Rose\u65e5x", 50, "ROSE"}, {L"Rose\tx", 50, "ROSE"},
      {L"", -12, "  "},
      {utf8ToStr(std::string(253, 'A')), 1, std::string(253, 'A') + "  "},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lettered);
    writeFile("a.dsb", "B");
    ASSERT_EQ(addLeader("a.dsb", c.name, c.stitches, 16, 0), kTapeLeaderDone);
    EXPECT_EQ(readFile("a.dsb"), letteredLeader(c.lettered, "BARUDAN  ", c.stitches) + "B");
  }
  // With its two spaces a name of 254 characters makes a text of 256: too long.
  writeFile("a.dst", "body");
  EXPECT_EQ(addLeader("a.dst", utf8ToStr(std::string(254, 'A')), 1, 15, 0),
            kTapeLeaderInvalidArgument);
  EXPECT_EQ(readFile("a.dst"), "body");
  EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(TapeLeaderTest, EmptyPathOrNoFormatIsRejectedAndAMissingFileCannotBeOpened) {
  writeFile("a.dst", "body");
  EXPECT_EQ(addTapeLeader(HString(), L"Logo", 1, kFormatDst, 20), kTapeLeaderInvalidArgument);
  EXPECT_EQ(addLeader("a.dst", L"Logo", 1, kFormatNone, 20), kTapeLeaderInvalidArgument);
  EXPECT_EQ(addLeader("a.dst", L"Logo", 1, 1000, 20), kTapeLeaderInvalidArgument);
  EXPECT_EQ(readFile("a.dst"), "body");
  EXPECT_EQ(addLeader("missing.dst", L"Logo", 1, kFormatDst, 20), kTapeLeaderCannotOpen);
  EXPECT_FALSE(readFile("missing.dst").has_value());
  std::filesystem::create_directory(dir_ / "folder.dst");
  EXPECT_EQ(addLeader("folder.dst", L"Logo", 1, kFormatDst, 20), kTapeLeaderCannotOpen);
  EXPECT_TRUE(temporaryFiles().empty());
}

}  // namespace
}  // namespace stitchkit
