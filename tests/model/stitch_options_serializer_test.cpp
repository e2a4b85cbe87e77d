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

}  // namespace
}  // namespace stitchkit
