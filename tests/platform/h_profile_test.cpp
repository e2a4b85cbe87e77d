#include "stitchkit/platform/h_profile.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include "tests/support/test_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace stitchkit {
namespace {

namespace fs = std::filesystem;

class HProfileTest : public testing_support::TempDirTest {};

// A machine profile with a foreign section, comments of both kinds, blank lines, odd
// spacing, trailing white space and a key that only looks like one of ours.
const std::string kProfile =
    "; machine set-up\n"
    "[Display]\n"
    "MaxLength=999\n"
    "\n"
    "[StitchOptions]\n"
    "# lengths in 0.1 mm\n"
    "MaxLength = 121   \n"
    "TrimsAsJumps=1\n"
    "junk line without equals\n"
    "\n"
    "; trailing comment\n"
    "[Other]\n"
    "x=y\n";

TEST_F(HProfileTest, NewKeysGoAfterTheLastKeyOfTheirSection) {
  struct Case {
    const char* what;
    std::string before;
    const wchar_t* section;
    std::string after;
  };
  // clang-format off
  const Case cases[] = {
      {"after the section's last key, before the comment of the next", "[A]\nk=1\n\n; about B\n[B]\nz=2\n", L"A", "[A]\nk=1\nNew=v\n\n; about B\n[B]\nz=2\n"},
      {"right after a section line without keys", "[A]\n; note\n[B]\n", L"a", "[A]\nNew=v\n; note\n[B]\n"},
      {"last line has no line end", "[A]\nk=1", L"A", "[A]\nk=1\nNew=v"},
      {"new section at the end", "[A]\nk=1\n", L"C", "[A]\nk=1\n[C]\nNew=v\n"},
      {"new section after a last line without line end", "[A]\nk=1", L"C", "[A]\nk=1\n[C]\nNew=v\n"},
      {"new section in CR LF text", "[A]\r\nk=1\r\n", L"C", "[A]\r\nk=1\r\n[C]\r\nNew=v\r\n"},
      {"empty file", "", L"C", "[C]\nNew=v\n"},
      {"byte order mark kept", "\xEF\xBB\xBF[A]\nk=1\n", L"A", "\xEF\xBB\xBF[A]\nk=1\nNew=v\n"},
      {"first of two same-named sections", "[A]\nk=1\n[B]\n[A]\nm=2\n", L"A", "[A]\nk=1\nNew=v\n[B]\n[A]\nm=2\n"},
      {"keys before any section belong to none", "New=old\n[A]\n", L"A", "New=old\n[A]\nNew=v\n"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile("p.ini", c.before);
    HProfile profile(path("p.ini"));
    ASSERT_EQ(profile.setString(c.section, L"New", L"v"), kProfileOk);
    EXPECT_EQ(readFile("p.ini"), c.after);
    EXPECT_EQ(HProfile(path("p.ini")).getString(c.section, L"new", 256, L"-"), L"v");
  }
}

TEST_F(HProfileTest, LookupRules) {
  const HProfile profile = HProfile::fromText(
      "top=level\n"
      "[StitchOptions]\n"
      "  HardLength\t=  \t 45 ; not a comment \t\n"
      "Empty=\n"
      "Quoted=\"q\"\n"
      "HardLength=second\n"
      "=no name\n"
      "[Other]\n"
      "Only=here\n"
      "[STITCHOPTIONS]\n"
      "Later=found\n"
      "[Broken\n"
      "Broken=x\n");
  struct Case {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"StitchOptions", L"HardLength", L"45 ; not a comment"},
      {L"stitchoptions", L"HARDLENGTH", L"45 ; not a comment"},  // first occurrence wins
      {L" StitchOptions ", L" hardlength ", L"45 ; not a comment"},
      {L"StitchOptions", L"Empty", L""},
      {L"StitchOptions", L"Quoted", L"\"q\""},
      {L"StitchOptions", L"Later", L"found"},  // same-named sections act as one
      {L"StitchOptions", L"Only", L"-"},       // key of another section
      {L"Other", L"HardLength", L"-"},
      {L"StitchOptions", L"top", L"-"},  // key before any section
      {L"StitchOptions", L"", L"-"},
      {L"", L"top", L"-"},
      {L"Broken", L"Broken", L"-"},  // "[Broken" without ']' starts no section
      {L"STITCHOPTIONS", L"Broken", L"x"},
      {L"Missing", L"HardLength", L"-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << HString(c.section).getAscii() << "/" << HString(c.key).getAscii());
    EXPECT_EQ(profile.getString(c.section, c.key, 256, L"-"), c.expected);
  }
}

TEST_F(HProfileTest, ReplacedValueKeepsSpacingAroundIt) {
  writeFile("p.ini", "[S]\nkey =  old  \nempty=\n");
  HProfile profile(path("p.ini"));
  ASSERT_EQ(profile.setString(L"s", L"KEY", L"longer value"), kProfileOk);
  ASSERT_EQ(profile.setString(L"S", L"empty", L"now set"), kProfileOk);
  EXPECT_EQ(readFile("p.ini"), "[S]\nkey =  longer value  \nempty=now set\n");
  ASSERT_EQ(profile.setString(L"S", L"key", L""), kProfileOk);
  EXPECT_EQ(readFile("p.ini"), "[S]\nkey =    \nempty=now set\n");
  EXPECT_EQ(profile.getString(L"S", L"key", 256, L"-"), L"");
}

TEST_F(HProfileTest, IllFormedNamesAndValuesChangeNothing) {
  const std::string text = "[S]\nk=1\n";
  writeFile("p.ini", text);
  HProfile profile(path("p.ini"));
  struct Case {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
  };
  const Case cases[] = {
      {L"S", L"k", L"two\nlines"}, {L"S", L"k", L"cr\rinside"}, {L"S", L"a=b", L"1"},
      {L"S", L"[k]", L"1"},        {L"S", L";k", L"1"},         {L"S", L"#k", L"1"},
      {L"S", L"  ", L"1"},         {L"S]", L"k", L"1"},         {L"", L"k", L"1"},
      {L"S\nT", L"k", L"1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(profile.setString(c.section, c.key, c.value), kProfileInvalidArgument);
  }
  EXPECT_EQ(profile.getText(), text);
  EXPECT_EQ(readFile("p.ini"), text);
}

}  // namespace
}  // namespace stitchkit
