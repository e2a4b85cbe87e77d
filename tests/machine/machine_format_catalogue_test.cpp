#include "stitchkit/machine/machine_format_catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "stitchkit/machine/machine_format_table.h"
#include "stitchkit/model/stitch_options_serializer.h"
#include "stitchkit/platform/h_profile.h"
#include "stitchkit/platform/settings_file_host.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

HString idText(int id) {
  HString text;
  text.set(L"id %d", id);
  return text;
}

// Every key of every factory row is an option name, no code has two rows, and each code's
// set is made for that code under the row's name (the one exception per row included).
TEST(FactoryMachineFormats, EveryRowBuildsItsCodesSets) {
  const StitchOptionsSerializer serializer;
  SettingsFileHost host(HString(L"no_such_machine_dir"), HString(L"no_such.ini"), idText);
  setConsoleApp(&host);
  std::set<int> seen;
  for (int row = 0; row < static_cast<int>(std::size(kFactoryMachineFormats)); ++row) {
    std::wstring_view options = kFactoryMachineFormats[row].options;
    while (!options.empty()) {
      const std::size_t end = options.find(L' ');
      const std::wstring_view key = options.substr(0, options.find(L'='));
      EXPECT_GE(serializer.getOptionId(HString(std::wstring(key))), 0) << "row " << row;
      options = end == std::wstring_view::npos ? std::wstring_view() : options.substr(end + 1);
    }
    for (HDiskFileFormat code : factoryMachineFormatCodes(row)) {
      EXPECT_TRUE(seen.insert(code).second) << "code " << code << " in two rows";
      HString name;
      StitchOptions set;
      ASSERT_EQ(makeFactoryMachineFormat(code, name, set), kMachineFormatOk);
      EXPECT_EQ(set.getFileFormat(), code);
      EXPECT_EQ(name, idText(code == kFactoryMachineFormats[row].exceptionCode
                                 ? kFactoryMachineFormats[row].exceptionNameId
                                 : kFactoryMachineFormats[row].nameId));
      EXPECT_EQ(set.getFormatType(), idText(kFactoryFormatTypeNameId));
      EXPECT_FALSE(
          defaultMachineFormatDisplayName(factoryMachineFormatNameId(row, code)).isEmpty());
    }
  }
  setConsoleApp(nullptr);
}

// One installed machine format of a test case.
struct Installed {
  const char* name;
  int fileFormat;
  int canDelete;
  const wchar_t* formatType;
};

struct ChoiceCase {
  const char* what;
  std::vector<Installed> installed;
  const char* defaultName;  // the host's default, or null
  int format;
  int result;
  const char* chosen;  // null: the factory set, named by its display-name id
  std::vector<const char*> compatible;
  const char* best;
};

class MachineFormatCatalogueTest : public testing_support::TempDirTest {
 protected:
  void install(const Installed& m) const {
    StitchOptions options;
    options.setFileFormat(HDiskFileFormat(m.fileFormat));
    options.setCanDelete(m.canDelete);
    options.setFormatType(HString(m.formatType));
    HProfile profile(path(std::string("machines/") + m.name + ".ini"));
    StitchOptionsProfile(profile).saveOptions(options);
  }
};

TEST_F(MachineFormatCatalogueTest, ChoosesByDefaultFactoryFamilyThenUser) {
  const ChoiceCase cases[] = {
      {"empty directory: the factory set", {}, nullptr, 0, 0, nullptr, {}, ""},
      {"no factory set for HSF", {}, nullptr, 31, 50, "", {}, ""},
      {"code out of range", {}, nullptr, 90, 87, "", {}, ""},
      {"only an incompatible one installed",
       {{"exp", 2, 0, L"Normal"}},
       nullptr,
       0,
       0,
       nullptr,
       {},
       ""},
      {"factory before user, though listed later",
       {{"a_user", 2, 1, L"Normal"}, {"b_factory", 2, 0, L"Normal"}},
       nullptr,
       2,
       0,
       "b_factory",
       {"a_user", "b_factory"},
       "b_factory"},
      {"user when no factory one fits",
       {{"a_user", 15, 1, L"Normal"}, {"b_factory", 2, 0, L"Normal"}},
       nullptr,
       0,
       0,
       "a_user",
       {"a_user"},
       "a_user"},
      {"preferred family wins over an earlier factory one",
       {{"a", 0, 0, L"Normal"}, {"b", 6, 0, L"Korvan"}},
       nullptr,
       0,
       0,
       "b",
       {"a", "b"},
       "a"},
      {"without the family, the earliest factory one",
       {{"a", 6, 0, L"Normal"}, {"b", 20, 0, L"Normal"}},
       nullptr,
       0,
       0,
       "a",
       {"a", "b"},
       "a"},
      {"a machine named as the family is preselected",
       {{"Korvan", 0, 1, L"Normal"}, {"b", 0, 0, L"Normal"}},
       nullptr,
       0,
       0,
       "b",
       {"Korvan", "b"},
       "Korvan"},
      {"the host's default first",
       {{"a", 2, 0, L"Normal"}, {"mine", 2, 1, L"Normal"}},
       "mine",
       2,
       0,
       "mine",
       {"a", "mine"},
       "a"},
      {"a default of another format is passed over",
       {{"a", 2, 0, L"Normal"}, {"mine", 0, 1, L"Normal"}},
       "mine",
       2,
       0,
       "a",
       {"a"},
       "a"},
      {"a default that is not installed is passed over",
       {{"a", 2, 0, L"Normal"}},
       "gone",
       2,
       0,
       "a",
       {"a"},
       "a"},
  };
  for (const ChoiceCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(dir_ / "machines");
    std::filesystem::remove(dir_ / "stitchkit.ini");
    std::filesystem::create_directories(dir_ / "machines");
    for (const Installed& m : c.installed)
      install(m);
    SettingsFileHost host(path("machines"), path("stitchkit.ini"), idText);
    if (c.defaultName != nullptr) host.setDefaultMachineFormat(HString(c.defaultName));
    setConsoleApp(&host);

    HString name;
    StitchOptions options;
    EXPECT_EQ(GetBestCompatibleMachineFormat(HDiskFileFormat(c.format), name, options), c.result);
    if (c.chosen == nullptr) {
      HString factoryName;
      StitchOptions factory;
      makeFactoryMachineFormat(HDiskFileFormat(c.format), factoryName, factory);
      EXPECT_EQ(name, factoryName);
      EXPECT_EQ(options, factory);
    } else {
      EXPECT_EQ(name, HString(c.chosen));
    }
    HList<HString> list;
    HString best;
    EXPECT_EQ(GetCompatibleMachineFormats(HDiskFileFormat(c.format), list, best), 0);
    std::vector<std::string> names;
    for (const HString& each : list)
      names.push_back(strToUtf8(each));
    EXPECT_EQ(names, std::vector<std::string>(c.compatible.begin(), c.compatible.end()));
    EXPECT_EQ(best, HString(c.best));
    setConsoleApp(nullptr);
  }
}

TEST_F(MachineFormatCatalogueTest, FactorySetOfFormatZeroWithoutHost) {
  HString name = L"stale";
  StitchOptions options;
  ASSERT_EQ(GetBestCompatibleMachineFormat(kFormatDst, name, options), kMachineFormatOk);
  EXPECT_EQ(name, HString());  // no host: no display names
  EXPECT_EQ(options.getMaxLength(), 121);
  EXPECT_EQ(options.getKorvanPadStop(), 1);
  EXPECT_EQ(GetDefaultMachineFormat(name, options), kMachineFormatInvalidParameter);

  // For a file: the current machine format when it is made for the file's format.
  StitchOptions current;
  current.setFileFormat(kFormatDst);
  current.setMaxLength(77);
  ASSERT_EQ(
      GetBestCompatibleMachineFormat(HString(L"a/x.dst"), HString(L"mine"), current, name, options),
      kMachineFormatOk);
  EXPECT_EQ(name, HString(L"mine"));
  EXPECT_EQ(options.getMaxLength(), 77);
  current.setFileFormat(kFormatDstVariant15);
  ASSERT_EQ(
      GetBestCompatibleMachineFormat(HString(L"a/x.dst"), HString(L"mine"), current, name, options),
      kMachineFormatOk);
  EXPECT_EQ(options.getMaxLength(), 121);
  EXPECT_EQ(GetBestCompatibleMachineFormat(HString(), HString(L"mine"), current, name, options),
            kMachineFormatInvalidParameter);
}

}  // namespace
}  // namespace stitchkit
