#include "stitchkit/platform/h_file.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include "tests/support/file_size_limit.h"
#include "tests/support/test_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace stitchkit {
namespace {

namespace fs = std::filesystem;

using testing_support::TempDirTest;

class HFileTest : public TempDirTest {};
class HDirectoryTest : public TempDirTest {};
class TemporaryFileManagerTest : public TempDirTest {};

constexpr unsigned kReadWrite = kGenericRead | kGenericWrite;

TEST_F(HFileTest, CreationCodes) {
  struct Case {
    int creation;
    bool exists;                          // the file is there (holding "old") before open
    bool opens;                           // open succeeds
    std::optional<std::string> contents;  // the file afterwards
  };
  const Case cases[] = {
      {kCreateNew, false, true, ""},
      {kCreateNew, true, false, "old"},
      {kCreateAlways, false, true, ""},
      {kCreateAlways, true, true, ""},  // truncated
      {kOpenExisting, false, false, std::nullopt},
      {kOpenExisting, true, true, "old"},
      {kOpenAlways, false, true, ""},
      {kOpenAlways, true, true, "old"},
      {kTruncateExisting, false, false, std::nullopt},
      {kTruncateExisting, true, true, ""},
      {0, true, false, "old"},
      {6, false, false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "creation " << c.creation << (c.exists ? " on" : " without")
                                    << " an existing file");
    fs::remove(dir_ / "f.bin");
    if (c.exists) writeFile("f.bin", "old");
    HFile file;
    EXPECT_EQ(file.open(path("f.bin"), kReadWrite, c.creation, kShareRead | kShareWrite), c.opens);
    EXPECT_EQ(file.isOpen(), c.opens);
    if (!c.opens) {
      EXPECT_NE(file.lastError(), 0);
    } else if (c.contents) {
      EXPECT_EQ(file.length(), static_cast<int>(c.contents->size()));
    }
    file.close();
    EXPECT_EQ(readFile("f.bin"), c.contents);
  }
}

TEST_F(HFileTest, AccessLimitsWhatMoves) {
  writeFile("f.bin", "data");
  char buffer[8] = {};

  HFile reader;
  ASSERT_TRUE(reader.open(path("f.bin"), kGenericRead, kOpenExisting, kShareRead));
  EXPECT_EQ(reader.write("xx", 2), 0);
  EXPECT_EQ(reader.read(buffer, 8), 4);

  HFile writer;
  ASSERT_TRUE(writer.open(path("f.bin"), kGenericWrite, kOpenExisting, 0));
  EXPECT_EQ(writer.read(buffer, 8), 0);
  EXPECT_EQ(writer.write("DA", 2), 2);
  writer.close();
  EXPECT_EQ(readFile("f.bin"), "DAta");

  // Truncating needs write access; no access at all opens nothing.
  HFile file;
  EXPECT_FALSE(file.open(path("f.bin"), kGenericRead, kCreateAlways, 0));
  EXPECT_FALSE(file.open(path("f.bin"), kGenericRead, kTruncateExisting, 0));
  EXPECT_FALSE(file.open(path("f.bin"), 0, kOpenExisting, 0));
  EXPECT_EQ(readFile("f.bin"), "DAta");

  fs::create_directory(dir_ / "sub");
  EXPECT_FALSE(file.open(path("sub"), kGenericRead, kOpenExisting, 0));
  EXPECT_FALSE(file.isOpen());
}

TEST_F(HFileTest, MovingHandsTheOpenFileOver) {
  HFile first;
  ASSERT_TRUE(first.open(path("f.bin"), kReadWrite, kCreateAlways, 0));
  HFile second(std::move(first));
  EXPECT_FALSE(first.isOpen());  // NOLINT(bugprone-use-after-move): checking the moved-from state
  first.close();                 // must not close the file `second` now holds
  EXPECT_EQ(second.write("abc", 3), 3);

  HFile third;
  ASSERT_TRUE(third.open(path("g.bin"), kReadWrite, kCreateAlways, 0));
  third = std::move(second);  // closes g.bin, takes f.bin
  EXPECT_EQ(third.position(), 3);
  EXPECT_EQ(third.write("d", 1), 1);
  third.close();
  EXPECT_EQ(readFile("f.bin"), "abcd");
}

TEST_F(HFileTest, Copy) {
  writeFile("src", "source bytes");
  ::chmod((dir_ / "src").c_str(), 0640);
  writeFile("dst", "old");

  EXPECT_FALSE(HFile::copy(path("src"), path("dst"), false));
  EXPECT_EQ(readFile("dst"), "old");
  EXPECT_TRUE(HFile::copy(path("src"), path("dst"), true));
  EXPECT_EQ(readFile("dst"), "source bytes");

  EXPECT_TRUE(HFile::copy(path("src"), path("new"), false));
  EXPECT_EQ(readFile("new"), "source bytes");
  EXPECT_EQ(fs::status(dir_ / "new").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  // A large file crosses the copy buffer's size.
  std::string large(200 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<char>(i * 31 % 251);
  writeFile("large", large);
  EXPECT_TRUE(HFile::copy(path("large"), path("large-copy"), false));
  EXPECT_EQ(readFile("large-copy"), large);

  EXPECT_FALSE(HFile::copy(path("missing"), path("out"), true));
  EXPECT_EQ(readFile("out"), std::nullopt);
  EXPECT_FALSE(HFile::copy(path("src"), path("src"), true));  // onto itself
  EXPECT_EQ(readFile("src"), "source bytes");
  EXPECT_FALSE(HFile::copy(path("src"), path("no-dir/out"), true));
}

// A name in another encoding than UTF-8 (here Latin-1) is opened, listed and written as the
// bytes it is.
TEST_F(HFileTest, NamesAreBytes) {
  const std::string name = "Bl\xFCte.dst";
  const std::string copy = "Bl\xFCte_out.dst";
  writeFile(name, "design");
  HFile in;
  ASSERT_TRUE(in.open(path(name), kGenericRead, kOpenExisting, kShareRead));
  in.close();
  ASSERT_TRUE(HFile::copy(path(name), path(copy), true));
  EXPECT_EQ(readFile(copy), "design");
  HDirectory directory(path(""));
  directory.setFileSpec(L"*.dst");
  ASSERT_EQ(directory.open(), 2);
  EXPECT_EQ(toNativePath(directory.getEntries()(0)), (dir_ / name).string());
  EXPECT_EQ(toNativePath(directory.getEntries()(1)), (dir_ / copy).string());
}

TEST_F(HFileTest, FileExists) {
  writeFile("here.dst", "x");
  fs::create_directory(dir_ / "folder");
  EXPECT_TRUE(fileExists(path("here.dst")));
  EXPECT_TRUE(fileExists(path("here.dst").c_str()));
  EXPECT_FALSE(fileExists(path("HERE.DST")));  // the file system decides case
  EXPECT_FALSE(fileExists(path("missing.dst")));
  EXPECT_FALSE(fileExists(path("folder")));
  EXPECT_FALSE(fileExists(static_cast<const wchar_t*>(nullptr)));
  EXPECT_FALSE(fileExists(L""));
}

TEST_F(HDirectoryTest, ListsMatchingFilesSortedByName) {
  for (const char* name : {"a.dst", "B.DST", "c.exp", "d.dst.bak", "readme", "x1.dst", "x22.dst"}) {
    writeFile(name, "");
  }
  fs::create_directory(dir_ / "folder.dst");  // directories are never listed

  struct Case {
    const wchar_t* pattern;
    std::vector<std::string> names;  // expected, in order
  };
  const std::vector<Case> cases = {
      {L"*.dst", {"B.DST", "a.dst", "x1.dst", "x22.dst"}},
      {L"*.DsT", {"B.DST", "a.dst", "x1.dst", "x22.dst"}},
      {L"x?.dst", {"x1.dst"}},
      {L"?.*", {"B.DST", "a.dst", "c.exp", "d.dst.bak"}},
      {L"*dst*", {"B.DST", "a.dst", "d.dst.bak", "x1.dst", "x22.dst"}},
      {L"*.*", {"B.DST", "a.dst", "c.exp", "d.dst.bak", "readme", "x1.dst", "x22.dst"}},
      {L"*", {"B.DST", "a.dst", "c.exp", "d.dst.bak", "readme", "x1.dst", "x22.dst"}},
      {L"readme", {"readme"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(HString(c.pattern).getAscii());
    HDirectory directory(utf8ToStr(dir_.string()));
    directory.setFileSpec(c.pattern);
    EXPECT_EQ(directory.open(), static_cast<int>(c.names.size()));
    std::vector<std::string> expected, listed;
    for (const std::string& name : c.names)
      expected.push_back((dir_ / name).string());
    for (const HString& entry : directory.getEntries())
      listed.push_back(toNativePath(entry));
    EXPECT_EQ(listed, expected);
  }
}

TEST_F(HDirectoryTest, NothingToList) {
  writeFile("a.dst", "");
  HDirectory directory(path(""));  // the path ends in '/': no second separator
  directory.setFileSpec(L"*.exp");
  EXPECT_EQ(directory.open(), kDirectoryNoMatch);
  EXPECT_TRUE(directory.getEntries().isEmpty());
  directory.setFileSpec(L"*.DST");
  ASSERT_EQ(directory.open(), 1);
  EXPECT_EQ(directory.getEntries()(0), path("a.dst"));

  HDirectory missing(path("missing"));
  EXPECT_EQ(missing.open(), kDirectoryMissing);
  HDirectory aFile(path("a.dst"));
  EXPECT_EQ(aFile.open(), kDirectoryMissing);

  fs::create_directory(dir_ / "empty");
  EXPECT_EQ(HDirectory(path("empty")).open(), kDirectoryNoMatch);

  if (::geteuid() != 0) {  // permissions do not stop root
    fs::create_directory(dir_ / "locked");
    fs::permissions(dir_ / "locked", fs::perms::none);
    EXPECT_EQ(HDirectory(path("locked")).open(), kDirectoryFailed);
  }
}

}  // namespace
}  // namespace stitchkit
