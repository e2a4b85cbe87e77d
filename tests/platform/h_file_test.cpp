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

TEST_F(HFileTest, ReadWriteSeekAndLength) {
  HFile file;
  ASSERT_TRUE(file.open(path("f.bin"), kReadWrite, kCreateAlways, 3));
  EXPECT_EQ(file.length(), 0);
  EXPECT_EQ(file.write("0123456789", 10), 10);
  EXPECT_EQ(file.position(), 10);
  EXPECT_EQ(file.length(), 10);

  char buffer[16] = {};
  EXPECT_TRUE(file.seekToBegin());
  EXPECT_EQ(file.read(buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(file.position(), 4);

  EXPECT_TRUE(file.seek(8));
  EXPECT_EQ(file.read(buffer, 16), 2);  // only two bytes left
  EXPECT_EQ(std::string(buffer, 2), "89");
  EXPECT_EQ(file.read(buffer, 16), 0);  // at the end
  EXPECT_FALSE(file.seek(-1));
  EXPECT_EQ(file.position(), 10);

  // Writing past the end fills the gap with zero bytes.
  EXPECT_TRUE(file.seek(12));
  EXPECT_EQ(file.write("Z", 1), 1);
  EXPECT_EQ(file.length(), 13);
  EXPECT_EQ(file.read(nullptr, 4), 0);
  EXPECT_EQ(file.write(buffer, 0), 0);
  EXPECT_TRUE(file.close());
  EXPECT_EQ(readFile("f.bin"), std::string("0123456789\0\0Z", 13));

  // A closed file moves nothing and knows no position.
  EXPECT_EQ(file.read(buffer, 4), 0);
  EXPECT_EQ(file.write("x", 1), 0);
  EXPECT_EQ(file.position(), -1);
  EXPECT_EQ(file.length(), -1);
  EXPECT_FALSE(file.seekToBegin());
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

// A copy over an existing file that fails midway (here at a file-size limit) leaves that
// file as it was, and nothing else behind in its directory.
TEST_F(HFileTest, FailedCopyKeepsTheFileItWouldReplace) {
  writeFile("design.dst", std::string(100, 'o'));
  writeFile("longer", std::string(5000, 'n'));
  const int copied = testing_support::runWithFileSizeLimit(
      1000, [&] { return HFile::copy(path("longer"), path("design.dst"), true) ? 1 : 0; });
  EXPECT_EQ(copied, 0);
  EXPECT_EQ(readFile("design.dst"), std::string(100, 'o'));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
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

TEST_F(TemporaryFileManagerTest, PathsAreFreshReservedAndInTmpdir) {
  const char* old = ::getenv("TMPDIR");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("TMPDIR", dir_.c_str(), 1);

  HTemporaryFileManager manager(L"sk/", 0);
  ASSERT_TRUE(manager.isOK());
  std::set<HString> paths;
  for (int i = 0; i < 5; ++i) {
    const HString p = manager.getFilePath();
    ASSERT_FALSE(p.isEmpty());
    paths.insert(p);
    const fs::path native = toNativePath(p);
    EXPECT_EQ(native.parent_path(), dir_);
    EXPECT_EQ(native.filename().string().rfind("sk_", 0), 0u);  // prefix, '/' made harmless
    EXPECT_TRUE(fs::is_regular_file(native));
    EXPECT_EQ(fs::file_size(native), 0u);
  }
  EXPECT_EQ(paths.size(), 5u);

  ::setenv("TMPDIR", (dir_ / "missing").c_str(), 1);  // falls back to /tmp
  HTemporaryFileManager fallback(L"sk", 0);
  const HString p = fallback.getFilePath();
  EXPECT_EQ(toNativePath(p).rfind("/tmp/sk", 0), 0u);
  fs::remove(toNativePath(p));

  if (saved) {
    ::setenv("TMPDIR", saved->c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

TEST(PathSplit, SplitsIntoDriveDirNameAndExtension) {
  struct Case {
    const wchar_t* path;
    const wchar_t* drive;
    const wchar_t* dir;
    const wchar_t* name;
    const wchar_t* ext;
  };
  const Case cases[] = {
      {L"C:\\designs\\rose.dst", L"C:", L"\\designs\\", L"rose", L".dst"},
      {L"/home/u/rose.dst", L"", L"/home/u/", L"rose", L".dst"},
      {L"d:/mixed\\seps/rose.DST", L"d:", L"/mixed\\seps/", L"rose", L".DST"},
      {L"C:rose.dst", L"C:", L"", L"rose", L".dst"},
      {L"a/b.c/d", L"", L"a/b.c/", L"d", L""},  // a dot in a folder is no extension
      {L"rose.tar.gz", L"", L"", L"rose.tar", L".gz"},
      {L"rose", L"", L"", L"rose", L""},
      {L"rose.", L"", L"", L"rose", L"."},
      {L"dir/.ini", L"", L"dir/", L".ini", L""},  // leading dots belong to the name
      {L"..x", L"", L"", L"..x", L""},
      {L".a.b", L"", L"", L".a", L".b"},
      {L"dir/", L"", L"dir/", L"", L""},
      {L"1:/x", L"", L"1:/", L"x", L""},  // only letters make a drive
      {L"", L"", L"", L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(HString(c.path).getAscii());
    HString drive(L"?"), dir(L"?"), name(L"?"), ext(L"?");
    StringUtils::splitPath(c.path, drive, dir, name, ext);
    EXPECT_EQ(drive, c.drive);
    EXPECT_EQ(dir, c.dir);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(ext, c.ext);
  }
}

TEST(PathFixname, ReplacesOrAddsTheExtension) {
  struct Case {
    const wchar_t* name;
    const wchar_t* ext;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"a/b.c/d.dst", L".EXP", L"a/b.c/d.EXP"},
      {L"a/b.c/d", L".EXP", L"a/b.c/d.EXP"},
      {L"C:\\x\\rose.tar.dst", L".ct0", L"C:\\x\\rose.tar.ct0"},
      {L"rose.dst", L"ksm", L"rose.ksm"},  // the dot is supplied
      {L"rose.dst", L"", L"rose"},
      {L"rose.dst", nullptr, L"rose"},
      {L"dir/.ini", L".bak", L"dir/.ini.bak"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(HString(c.name).getAscii());
    HString name(c.name);
    fixname(name, c.ext);
    EXPECT_EQ(name, c.expected);
  }
}

}  // namespace
}  // namespace stitchkit
