#include "stitchkit/model/stitch_options_serializer.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/h_profile.h"
#include "stitchkit/platform/h_string.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::TempDirTest;

// How a field reacts to a value: flags hold 0 or 1, numbers hold what they are given.
enum class Kind { kFlag, kNumber };

// One integer option as the option record's documentation lists it, written out here on its
// own so that a row swapped or misnamed in the library is not repeated by the tests.
struct Field {
  int id;
  const wchar_t* name;
  long (*get)(const StitchOptions&);
  Kind kind;
};

// clang-format off
#define FIELD(id, name, stem, kind) \
  Field{id, name, [](const StitchOptions& o) -> long { return o.get##stem(); }, Kind::kind}
const Field kFields[] = {
    FIELD(0, L"AddLeader", AddLeader, kFlag),
    FIELD(1, L"AlternateDropSequinCommands", AlternateSequinDropCommands, kNumber),
    FIELD(2, L"BeadType", GlassBeadType, kNumber),
    FIELD(3, L"BlankAfterDrops", BlankAfterDrops, kFlag),
    FIELD(4, L"BorerNeedle", BorerNeedle, kNumber),
    FIELD(5, L"BorerOffset", BorerOffset, kNumber),
    FIELD(6, L"BorerType", BorerType, kNumber),
    FIELD(7, L"CanDelete", CanDelete, kFlag),
    FIELD(8, L"CleanLength", CleanLength, kNumber),
    FIELD(9, L"CleanShort", CleanShort, kFlag),
    FIELD(10, L"CombineJumpsForNormals", CombineJumpsForNormals, kFlag),
    FIELD(11, L"CombineSequinBead", SupportsCombinedSequinBead, kFlag),
    FIELD(12, L"CombineSequinCommands", CombineSequinCommands, kFlag),
    FIELD(13, L"CopyOriginal", CopyOriginal, kFlag),
    FIELD(14, L"FileFormat", FileFormat, kNumber),
    FIELD(15, L"FilterBlankJumps", FilterBlankJumps, kFlag),
    FIELD(16, L"FilterChangeoverBlankJumps", FilterChangeoverBlankJumps, kFlag),
    FIELD(17, L"ForceFirstColourChange", ForceFirstColourChange, kFlag),
    FIELD(19, L"GNDllWrite", GNDllWrite, kFlag),
    FIELD(20, L"Granularity", Granularity, kNumber),
    FIELD(21, L"HardLength", HardLength, kNumber),
    FIELD(22, L"HasBorerCode", HasBorerCode, kFlag),
    FIELD(23, L"HasBorerNeedle", HasBorerNeedle, kFlag),
    FIELD(24, L"HasChenilleSupport", HasChenilleSupport, kFlag),
    FIELD(25, L"HasNeedleCode", HasNeedleCode, kFlag),
    FIELD(26, L"HasSequinCode", HasSequinCode, kFlag),
    FIELD(27, L"HasTrimCode", HasTrimCode, kFlag),
    FIELD(28, L"IgnoreMissingCodes", IgnoreMissingCodes, kFlag),
    FIELD(29, L"InsertBlankStitchAfterTrim", InsertBlankStitchAfterTrim, kFlag),
    FIELD(30, L"InsertBlankStitchAtBegin", InsertBlankStitchAtBegin, kFlag),
    FIELD(31, L"JumpBeforeEnd", JumpBeforeEnd, kFlag),
    FIELD(32, L"JumpBetweenTwoStops", JumpBetweenTwoStops, kFlag),
    FIELD(33, L"JumpsPerTrim", JumpsPerTrim, kNumber),
    FIELD(34, L"MaxLength", MaxLength, kNumber),
    FIELD(35, L"MaxNeedles", MaxNeedles, kNumber),
    FIELD(36, L"MaxRealLength", MaxRealLength, kNumber),
    FIELD(37, L"Media", Media, kNumber),
    FIELD(38, L"MelcoDiscardEnd", MelcoDiscardEnd, kFlag),
    FIELD(39, L"MelcoNeedleAsStop", MelcoNeedleAsStop, kFlag),
    FIELD(40, L"MinRealLength", MinRealLength, kNumber),
    FIELD(41, L"NumAddLeaderBytes", NumAddLeaderBytes, kNumber),
    FIELD(42, L"PenetrateAtTrims", PenetrateAtTrims, kFlag),
    FIELD(43, L"PenetrationStyle", PenetrationStyle, kNumber),
    FIELD(44, L"PreserveBlanks", PreserveBlanks, kNumber),
    FIELD(45, L"PreserveJumps", PreserveJumps, kFlag),
    FIELD(46, L"ReadBarudanZ", ReadBarudanZ, kFlag),
    FIELD(47, L"ReadChangeoverType", ReadChangeoverType, kNumber),
    FIELD(48, L"RemoveChenilleHeight", RemoveChenilleHeight, kFlag),
    FIELD(49, L"RemoveRedundantChenille", RemoveRedundantChenille, kFlag),
    FIELD(50, L"ReturnToFirstNeedleAtEnd", ReturnToFirstNeedleAtEnd, kFlag),
    FIELD(51, L"SeitID", SEITID, kNumber),
    FIELD(52, L"SeitOffset", SEITOffset, kNumber),
    FIELD(53, L"SequinType", SequinType, kNumber),
    FIELD(54, L"ShortcutAngle", ShortcutAngle, kNumber),
    FIELD(55, L"SkipFirstColourChange", SkipFirstColourChange, kFlag),
    FIELD(56, L"SplitJumpLength", SplitJumpLength, kNumber),
    FIELD(57, L"SplitStitchToJumps", SplitStitchToJumps, kFlag),
    FIELD(58, L"StopBeforeJumps", StopBeforeJumps, kFlag),
    FIELD(59, L"StopsAsNeedles", StopsAsNeedles, kFlag),
    FIELD(60, L"StripBeginEnd", StripBeginEnd, kFlag),
    FIELD(61, L"KorvanMoveDropSequins", KorvanMoveDropSequins, kFlag),
    FIELD(62, L"KorvanOldChenille", KorvanOldChenille, kFlag),
    FIELD(63, L"KorvanPadStop", KorvanPadStop, kFlag),
    FIELD(64, L"KorvanRemoveDoubleStops", KorvanRemoveDoubleStops, kFlag),
    FIELD(65, L"KorvanStartStitchType", KorvanStartStitchType, kNumber),
    FIELD(66, L"TrimJumpLength", TrimJumpLength, kNumber),
    FIELD(67, L"TrimsAsJumps", TrimsAsJumps, kFlag),
    FIELD(68, L"UseNeedleUps", UseNeedleUps, kFlag),
    FIELD(69, L"WriteBarudanZ", WriteBarudanZ, kFlag),
};
#undef FIELD
// clang-format on

// A value that moves `field` of `o` off what it holds, and what the field then holds: flags
// are given 5 (stored as 1) or 0, numbers 100 + id (ShortcutAngle's 154 is within its range,
// and no default of the record has that form).
struct Change {
  int value;
  long expected;
};
Change changeFor(const Field& field, const StitchOptions& o) {
  if (field.kind == Kind::kFlag) return field.get(o) == 0 ? Change{5, 1} : Change{0, 0};
  return Change{100 + field.id, 100 + field.id};
}

// Every readable part of a record, including what equality leaves out and what no option
// stands for.
struct Snapshot {
  std::vector<long> values;
  std::wstring formatType;
  int keepOriginalStitch;

  bool operator==(const Snapshot&) const = default;
};
Snapshot snapshot(const StitchOptions& o) {
  Snapshot s{{}, o.getFormatType().wide(), o.getKeepOriginalStitch()};
  for (const Field& field : kFields)
    s.values.push_back(field.get(o));
  return s;
}

// A record with every option moved off its default through the option's own setter path.
StitchOptions distinctiveRecord() {
  const StitchOptionsSerializer serializer;
  StitchOptions o;
  for (const Field& field : kFields)
    serializer.setOptionIntValue(field.id, o, changeFor(field, o).value);
  o.setFormatType(L"Fine Variant");
  o.setKeepOriginalStitch(1);
  return o;
}

TEST(StitchOptionsSerializer, EveryIdNamesItsFieldAndMovesOnlyThatField) {
  const StitchOptionsSerializer serializer;
  ASSERT_EQ(serializer.numOptions(), 70);
  ASSERT_EQ(std::size(kFields), 69u);  // FormatType is the seventieth, checked below
  for (const Field& field : kFields) {
    SCOPED_TRACE(testing::Message() << "id " << field.id);
    EXPECT_EQ(serializer.getOptionName(field.id), field.name);
    EXPECT_EQ(serializer.getOptionId(field.name), field.id);
    EXPECT_EQ(serializer.isOptionIntValue(field.id), 1);

    StitchOptions o;
    Snapshot expected = snapshot(o);
    const Change change = changeFor(field, o);
    serializer.setOptionIntValue(field.id, o, change.value);
    expected.values[static_cast<std::size_t>(&field - kFields)] = change.expected;
    EXPECT_EQ(snapshot(o), expected);
    EXPECT_EQ(serializer.getOptionIntValue(field.id, o), change.expected);
    EXPECT_EQ(serializer.getOptionValue(field.id, o), std::to_wstring(change.expected));
  }

  EXPECT_EQ(serializer.getOptionName(18), L"FormatType");
  EXPECT_EQ(serializer.getOptionId(L"FormatType"), 18);
  EXPECT_EQ(serializer.isOptionIntValue(18), 0);
  StitchOptions o;
  Snapshot expected = snapshot(o);
  serializer.setOptionValue(18, o, L"Fast 12");
  expected.formatType = L"Fast 12";
  EXPECT_EQ(snapshot(o), expected);
  EXPECT_EQ(serializer.getOptionValue(18, o), L"Fast 12");
  EXPECT_EQ(serializer.getOptionIntValue(18, o), 0);
}

TEST(StitchOptionsSerializer, NamesMatchExactlyAndCaseSensitively) {
  const StitchOptionsSerializer serializer;
  EXPECT_EQ(serializer.getOptionId(L"HardLength"), 21);
  for (const wchar_t* name :
       {L"hardlength", L"HARDLENGTH", L"HardLength ", L" HardLength", L"HardLen", L"",
        L"Invalid Index", L"KeepOriginalStitch", L"AlternateSequinDropCommands", L"SEITID"}) {
    EXPECT_EQ(serializer.getOptionId(name), -1) << HString(name).getAscii();
  }
}

TEST(StitchOptionsSerializer, IdsOutsideTheTableReadAsNothingAndChangeNothing) {
  const StitchOptionsSerializer serializer;
  const HString& invalid = serializer.getOptionName(-1);
  EXPECT_EQ(invalid, L"Invalid Index");
  for (const int id : {-1, 70, 71, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(testing::Message() << "id " << id);
    EXPECT_EQ(&serializer.getOptionName(id), &invalid);  // one shared text
    EXPECT_EQ(serializer.isOptionIntValue(id), 0);

    StitchOptions o = distinctiveRecord();
    const Snapshot before = snapshot(o);
    EXPECT_EQ(serializer.getOptionIntValue(id, o), 0);
    EXPECT_EQ(serializer.getOptionValue(id, o), L"0");
    serializer.setOptionIntValue(id, o, 1);
    serializer.setOptionValue(id, o, L"1");
    EXPECT_EQ(snapshot(o), before);
  }
}

TEST(StitchOptionsSerializer, IntValuesGoThroughTheSetters) {
  struct Case {
    int id;
    int value;
    long stored;
    const char* why;
  };
  const Case cases[] = {
      {54, 99, 120, "ShortcutAngle below 100 is stored as 120"},
      {54, 181, 120, "ShortcutAngle above 180 is stored as 120"},
      {54, 100, 100, "ShortcutAngle 100 is kept"},
      {54, 180, 180, "ShortcutAngle 180 is kept"},
      {0, 7, 1, "a flag stores any non-zero value as 1"},
      {0, -1, 1, "a flag stores a negative value as 1"},
      {1, 7, 7, "AlternateSequinDropCommands keeps its value"},
      {21, 65536 + 100, 100, "a 16-bit field keeps the low 16 bits"},
      {21, 65535, -1, "a 16-bit field reads sign-extended"},
      {43, 0x12345, 0x2345, "a 16-bit enumeration keeps the low 16 bits"},
      {43, 0xFFFE, -2, "a 16-bit enumeration reads sign-extended"},
      {41, 100000, 100000, "NumAddLeaderBytes is a full int"},
      {51, -5, -5, "SeitID keeps a negative value"},
      {14, 1000000, 1000000, "FileFormat is a full int"},
  };
  const StitchOptionsSerializer serializer;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    StitchOptions o;
    serializer.setOptionIntValue(c.id, o, c.value);
    EXPECT_EQ(serializer.getOptionIntValue(c.id, o), c.stored);
    EXPECT_EQ(serializer.getOptionValue(c.id, o), std::to_wstring(c.stored));
  }
}

TEST(StitchOptionsSerializer, FormatTypeFromAnIntIsThatManySpaces) {
  const StitchOptionsSerializer serializer;
  StitchOptions o;
  serializer.setOptionIntValue(18, o, 3);
  EXPECT_EQ(o.getFormatType(), L"   ");
  serializer.setOptionIntValue(18, o, 0);
  EXPECT_EQ(o.getFormatType(), L"");
  o.setFormatType(L"Normal");
  serializer.setOptionIntValue(18, o, -4);
  EXPECT_EQ(o.getFormatType(), L"");
}

TEST(StitchOptionsSerializer, TextValuesAreReadAsALeadingDecimalInteger) {
  struct Case {
    const wchar_t* text;
    long value;
  };
  const Case cases[] = {
      {L"42", 42},
      {L"  42", 42},
      {L"\t\r\n\v\f 9", 9},
      {L"+15", 15},
      {L"-7", -7},
      {L"12abc", 12},
      {L"12 34", 12},
      {L"0x1F", 0},
      {L"abc", 0},
      {L"", 0},
      {L"-", 0},
      {L"- 5", 0},
      {L"--5", 0},
      {L"+-5", 0},
      {L"2147483647", INT_MAX},
      {L"-2147483648", INT_MIN},
      {L"2147483648", INT_MAX},
      {L"-2147483649", INT_MIN},
      {L"99999999999999999999999999", INT_MAX},
      {L"-99999999999999999999999999", INT_MIN},
      {L"000000000000000000000000017", 17},
  };
  const StitchOptionsSerializer serializer;
  for (const Case& c : cases) {
    SCOPED_TRACE(HString(c.text).getAscii());
    StitchOptions o;
    o.setNumAddLeaderBytes(555);
    serializer.setOptionValue(41, o, c.text);  // NumAddLeaderBytes stores any int
    EXPECT_EQ(o.getNumAddLeaderBytes(), c.value);
  }
}

class StitchOptionsProfileTest : public TempDirTest {
 protected:
  static HString read(const HProfile& profile, const wchar_t* key) {
    return profile.getString(L"StitchOptions", key, 256, L"<missing>");
  }
};

TEST_F(StitchOptionsProfileTest, LoadAppliesPresentKeysThroughTheSetters) {
  HProfile profile = HProfile::fromText(
      "[StitchOptions]\n"
      "ShortcutAngle=200\n"
      "AddLeader=7\n"
      "CleanLength=abc\n"
      "MaxLength=...\n"
      "HardLength=99\n"
      "SeitID=-12\n"
      "FormatType=Fast\n"
      "KeepOriginalStitch=1\n"
      "[Other]\n"
      "JumpsPerTrim=9\n");
  StitchOptions o;
  o.setMaxLength(33);
  StitchOptions expected = o;
  expected.setShortcutAngle(120);  // 200 is out of range
  expected.setAddLeader(1);        // a flag
  expected.setCleanLength(0);      // no digits
  // MaxLength: "..." stands for a missing key; JumpsPerTrim: not in the section.
  expected.setHardLength(99);
  expected.setSEITID(-12);
  expected.setFormatType(L"Fast");
  // KeepOriginalStitch is not an option of the profile.

  o.setShortcutAngle(150);
  StitchOptionsProfile options(profile);
  ASSERT_EQ(options.loadOptions(o), 0);
  EXPECT_EQ(snapshot(o), snapshot(expected));
}

TEST_F(StitchOptionsProfileTest, SaveThenLoadRestoresEveryOptionButKeepOriginalStitch) {
  const StitchOptions saved = distinctiveRecord();
  {
    StitchOptionsProfile profile(path("machine.ini"));
    ASSERT_EQ(profile.saveEncoderOptions(saved), 0);
  }
  const std::string text = readFile("machine.ini").value_or("");
  EXPECT_EQ(text.find("[StitchOptions]\nAddLeader=1\nAlternateDropSequinCommands=101\n"), 0u)
      << text;
  EXPECT_NE(text.find("\nFormatType=Fine Variant\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("KeepOriginalStitch"), std::string::npos) << text;

  StitchDecoderOptions loaded;
  StitchOptionsProfile profile(path("machine.ini"));  // reads the file afresh
  ASSERT_EQ(profile.loadDecoderOptions(loaded), 0);
  Snapshot expected = snapshot(saved);
  expected.keepOriginalStitch = loaded.getKeepOriginalStitch();
  EXPECT_EQ(snapshot(loaded), expected);
  EXPECT_EQ(loaded.getKeepOriginalStitch(), 0);
}

TEST_F(StitchOptionsProfileTest, SavedValuesArePrintedAsSignedDecimals) {
  HProfile profile = HProfile::fromText("");
  StitchOptions o;
  o.setSEITID(-1);
  o.setHardLength(-300);
  o.setFilterBlankJumps(1);
  StitchOptionsProfile options(profile);
  ASSERT_EQ(options.saveOptions(o), 0);
  EXPECT_EQ(read(profile, L"SeitID"), L"-1");
  EXPECT_EQ(read(profile, L"HardLength"), L"-300");
  EXPECT_EQ(read(profile, L"FilterBlankJumps"), L"1");
  EXPECT_EQ(read(profile, L"FormatType"), L"Normal");
}

TEST_F(StitchOptionsProfileTest, LongFormatTypeIsCutToWhatTheProfileReads) {
  HProfile profile = HProfile::fromText("");
  StitchOptionsProfile options(profile);
  StitchOptions o;
  o.setFormatType(HString(300, L'x'));
  ASSERT_EQ(options.saveOptions(o), 0);
  StitchOptions loaded;
  ASSERT_EQ(options.loadOptions(loaded), 0);
  EXPECT_EQ(loaded.getFormatType(), HString(255, L'x'));
}

TEST_F(StitchOptionsProfileTest, CopiesShareTheProfileTheyOpenedAndOutliveEachOther) {
  auto first = std::make_unique<StitchOptionsProfile>(path("a.ini"));
  StitchOptionsProfile copy(*first);
  StitchOptionsProfile assigned(path("b.ini"));
  assigned = *first;
  first.reset();  // the copies still hold the profile

  StitchOptions o;
  o.setMaxLength(77);
  ASSERT_EQ(copy.saveOptions(o), 0);
  StitchOptions loaded;
  ASSERT_EQ(assigned.loadOptions(loaded), 0);  // the same profile, not b.ini
  EXPECT_EQ(loaded.getMaxLength(), 77);
  EXPECT_NE(readFile("a.ini").value_or("").find("MaxLength=77"), std::string::npos);
  EXPECT_FALSE(readFile("b.ini").has_value());
}

TEST_F(StitchOptionsProfileTest, CallersProfileOutlivesTheObjectsUsingIt) {
  HProfile profile = HProfile::fromText("");
  {
    StitchOptionsProfile options(profile);
    StitchOptionsProfile copy(options);
    StitchOptions o;
    o.setJumpsPerTrim(6);
    ASSERT_EQ(copy.saveOptions(o), 0);
  }
  EXPECT_EQ(read(profile, L"JumpsPerTrim"), L"6");
}

}  // namespace
}  // namespace stitchkit
