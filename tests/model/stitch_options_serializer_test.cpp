#include "stitchkit/model/stitch_options_serializer.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/h_profile.h"
#include "stitchkit/platform/h_string.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::TempDirTest;

// The profile key of every option, in id order.
const std::vector<std::wstring> kNames = [] {
  std::wistringstream in(
      L"AddLeader AlternateDropSequinCommands BeadType BlankAfterDrops BorerNeedle BorerOffset "
      L"BorerType CanDelete CleanLength CleanShort CombineJumpsForNormals CombineSequinBead "
      L"CombineSequinCommands CopyOriginal FileFormat FilterBlankJumps "
      L"FilterChangeoverBlankJumps ForceFirstColourChange FormatType GNDllWrite Granularity "
      L"HardLength HasBorerCode HasBorerNeedle HasChenilleSupport HasNeedleCode HasSequinCode "
      L"HasTrimCode IgnoreMissingCodes InsertBlankStitchAfterTrim InsertBlankStitchAtBegin "
      L"JumpBeforeEnd JumpBetweenTwoStops JumpsPerTrim MaxLength MaxNeedles MaxRealLength Media "
      L"MelcoDiscardEnd MelcoNeedleAsStop MinRealLength NumAddLeaderBytes PenetrateAtTrims "
      L"PenetrationStyle PreserveBlanks PreserveJumps ReadBarudanZ ReadChangeoverType "
      L"RemoveChenilleHeight RemoveRedundantChenille ReturnToFirstNeedleAtEnd SeitID SeitOffset "
      L"SequinType ShortcutAngle SkipFirstColourChange SplitJumpLength SplitStitchToJumps "
      L"StopBeforeJumps StopsAsNeedles StripBeginEnd KorvanMoveDropSequins KorvanOldChenille "
      L"KorvanPadStop KorvanRemoveDoubleStops KorvanStartStitchType TrimJumpLength TrimsAsJumps "
      L"UseNeedleUps WriteBarudanZ");
  std::vector<std::wstring> names;
  for (std::wstring name; in >> name;)
    names.push_back(name);
  return names;
}();
constexpr int kFormatTypeId = 18;

std::vector<int> values(const StitchOptions& o) {
  const StitchOptionsSerializer s;
  std::vector<int> out;
  for (int id = 0; id < s.numOptions(); ++id)
    out.push_back(s.getOptionIntValue(id, o));
  return out;
}

// Every option moved off its default: flags to their other value, numbers to 100 + id.
StitchOptions distinctiveRecord() {
  const StitchOptionsSerializer s;
  StitchOptions o;
  for (int id = 0; id < s.numOptions(); ++id) {
    const int before = s.getOptionIntValue(id, o);
    s.setOptionIntValue(id, o, 2);
    const bool flag = s.getOptionIntValue(id, o) == 1;
    s.setOptionIntValue(id, o, flag ? (before != 0 ? 0 : 5) : 100 + id);
  }
  o.setFormatType(L"Fine Variant");
  return o;
}

TEST(StitchOptionsSerializer, EveryIdHasItsNameAndMovesOnlyItsOwnOption) {
  const StitchOptionsSerializer s;
  ASSERT_EQ(s.numOptions(), static_cast<int>(kNames.size()));
  for (int id = 0; id < s.numOptions(); ++id) {
    SCOPED_TRACE(testing::Message() << "id " << id);
    EXPECT_EQ(s.getOptionName(id), kNames[id].c_str());
    EXPECT_EQ(s.getOptionId(kNames[id].c_str()), id);
    EXPECT_EQ(s.isOptionIntValue(id), id == kFormatTypeId ? 0 : 1);
    if (id == kFormatTypeId) continue;
    StitchOptions o;
    std::vector<int> expected = values(o);
    s.setOptionIntValue(id, o, 154);  // within ShortcutAngle's range; a flag stores 1
    expected[id] = s.getOptionIntValue(id, o);
    EXPECT_TRUE(expected[id] == 154 || expected[id] == 1);
    EXPECT_EQ(values(o), expected);
    EXPECT_EQ(s.getOptionValue(id, o), std::to_wstring(expected[id]));
  }
  StitchOptions o;
  s.setOptionValue(kFormatTypeId, o, L"Fast 12");
  EXPECT_EQ(o.getFormatType(), L"Fast 12");
  EXPECT_EQ(values(o), values(StitchOptions()));
  EXPECT_EQ(s.getOptionValue(kFormatTypeId, o), L"Fast 12");
  s.setOptionIntValue(kFormatTypeId, o, 3);  // that many spaces
  EXPECT_EQ(o.getFormatType(), L"   ");
  s.setOptionIntValue(kFormatTypeId, o, -4);
  EXPECT_EQ(o.getFormatType(), L"");
}

TEST(StitchOptionsSerializer, UnknownNamesAndIdsFindAndChangeNothing) {
  const StitchOptionsSerializer s;
  for (const wchar_t* name : {L"hardlength", L"HardLength ", L"", L"Invalid Index", L"SEITID"})
    EXPECT_EQ(s.getOptionId(name), -1) << HString(name).getAscii();
  const HString& invalid = s.getOptionName(-1);
  EXPECT_EQ(invalid, L"Invalid Index");
  for (const int id : {-1, 70, INT_MIN, INT_MAX}) {
    EXPECT_EQ(&s.getOptionName(id), &invalid);
    EXPECT_EQ(s.isOptionIntValue(id), 0);
    StitchOptions o;
    s.setOptionIntValue(id, o, 1);
    s.setOptionValue(id, o, L"1");
    EXPECT_EQ(values(o), values(StitchOptions()));
    EXPECT_EQ(s.getOptionValue(id, o), L"0");
  }
}

TEST(StitchOptionsSerializer, ValuesGoThroughTheSettersAndTheFieldsWidth) {
  // id, value set, value read back
  const int cases[][3] = {
      {54, 99, 120},    {54, 181, 120},         {54, 100, 100},  {0, -1, 1},
      {1, 7, 7},        {21, 65536 + 100, 100}, {21, 65535, -1}, {43, 0x12345, 0x2345},
      {43, 0xFFFE, -2}, {41, 100000, 100000},   {51, -5, -5},    {14, 1000000, 1000000}};
  const StitchOptionsSerializer s;
  for (const auto& c : cases) {
    StitchOptions o;
    s.setOptionIntValue(c[0], o, c[1]);
    EXPECT_EQ(s.getOptionIntValue(c[0], o), c[2]) << "id " << c[0] << " set to " << c[1];
  }
}

TEST(StitchOptionsSerializer, TextValuesAreReadAsALeadingDecimalInteger) {
  const struct {
    const wchar_t* text;
    int value;
  } cases[] = {{L"  42", 42},
               {L"\t\r\n\v\f 9", 9},
               {L"+15", 15},
               {L"-7", -7},
               {L"12abc", 12},
               {L"0x1F", 0},
               {L"", 0},
               {L"- 5", 0},
               {L"+-5", 0},
               {L"2147483647", INT_MAX},
               {L"-2147483648", INT_MIN},
               {L"2147483648", INT_MAX},
               {L"-2147483649", INT_MIN},
               {L"-99999999999999999999", INT_MIN},
               {L"000000000000000000000000017", 17}};
  const StitchOptionsSerializer s;
  for (const auto& c : cases) {
    StitchOptions o;
    s.setOptionValue(41, o, c.text);  // NumAddLeaderBytes stores any int
    EXPECT_EQ(o.getNumAddLeaderBytes(), c.value) << HString(c.text).getAscii();
  }
}

class StitchOptionsProfileTest : public TempDirTest {};

TEST_F(StitchOptionsProfileTest, LoadAppliesPresentKeysThroughTheSetters) {
  HProfile profile = HProfile::fromText(
      "[StitchOptions]\nShortcutAngle=200\nAddLeader=7\nCleanLength=abc\nMaxLength=...\n"
      "HardLength=99\nSeitID=-12\nFormatType=Fast\nKeepOriginalStitch=1\n[Other]\nJumpsPerTrim="
      "9\n");
  StitchOptions o;
  o.setMaxLength(33);
  StitchOptions expected = o;
  expected.setAddLeader(1);
  expected.setCleanLength(0);
  expected.setHardLength(99);
  expected.setSEITID(-12);
  expected.setFormatType(L"Fast");
  o.setShortcutAngle(150);  // 200 is out of range: back to 120
  ASSERT_EQ(StitchOptionsProfile(profile).loadOptions(o), 0);
  EXPECT_EQ(values(o), values(expected));
  EXPECT_EQ(o.getFormatType(), L"Fast");
  EXPECT_EQ(o.getKeepOriginalStitch(), 0);
}

TEST_F(StitchOptionsProfileTest, SaveThenLoadRestoresEveryOption) {
  const StitchOptions saved = distinctiveRecord();
  {
    auto first = std::make_unique<StitchOptionsProfile>(path("machine.ini"));
    StitchOptionsProfile copy(*first);
    first.reset();  // the copy keeps the profile it opened
    ASSERT_EQ(copy.saveEncoderOptions(saved), 0);
  }
  const std::string text = readFile("machine.ini").value_or("");
  EXPECT_EQ(text.find("[StitchOptions]\nAddLeader=1\nAlternateDropSequinCommands=101\n"), 0u);
  EXPECT_NE(text.find("\nFormatType=Fine Variant\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nSeitID=151\n"), std::string::npos) << text;

  StitchDecoderOptions loaded;
  ASSERT_EQ(StitchOptionsProfile(path("machine.ini")).loadDecoderOptions(loaded), 0);
  EXPECT_EQ(values(loaded), values(saved));
  EXPECT_EQ(loaded.getFormatType(), L"Fine Variant");

  // Negative values are signed decimals; a long FormatType comes back cut to 255 characters.
  HProfile profile = HProfile::fromText("");
  StitchOptions o;
  o.setHardLength(-300);
  o.setFormatType(HString(300, L'x'));
  ASSERT_EQ(StitchOptionsProfile(profile).saveOptions(o), 0);
  EXPECT_EQ(profile.getString(L"StitchOptions", L"HardLength", 256, L""), L"-300");
  StitchOptions back;
  ASSERT_EQ(StitchOptionsProfile(profile).loadOptions(back), 0);
  EXPECT_EQ(back.getFormatType(), HString(255, L'x'));
}

}  // namespace
}  // namespace stitchkit
