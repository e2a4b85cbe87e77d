#include "stitchkit/model/stitch_options.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "stitchkit/platform/console_app.h"

namespace stitchkit {

// Fills fields behind the setters' back, to see what copying makes of values that only a
// record filled by other means could hold.
struct StitchOptionsTestPeer {
  static void setRawShortcutAngle(StitchOptions& o, short angle) { o.shortcutAngle_ = angle; }
  static void setRawAddLeader(StitchOptions& o, std::uint8_t value) { o.addLeader_ = value; }
};

namespace {

// One option of the record: how to read it, how to move it off its default, the default of a
// record made without a host application, and whether equality looks at it.
struct Field {
  const char* name;
  long (*get)(const StitchOptions&);
  void (*change)(StitchOptions&);
  long defaultValue;
  bool compared;
};

// clang-format off
#define STITCHKIT_FIELD(stem, defaultValue, otherValue, compared)           \
  Field{#stem,                                                              \
        [](const StitchOptions& o) -> long { return o.get##stem(); },       \
        [](StitchOptions& o) {                                              \
          o.set##stem(static_cast<decltype(o.get##stem())>(otherValue));    \
        },                                                                  \
        defaultValue, compared}
#define COMPARED(stem, defaultValue, otherValue) \
  STITCHKIT_FIELD(stem, defaultValue, otherValue, true)
#define NOT_COMPARED(stem, defaultValue, otherValue) \
  STITCHKIT_FIELD(stem, defaultValue, otherValue, false)
// clang-format on

// Every option except FormatType (a string, checked on its own), in declaration order.
const Field kFields[] = {
    COMPARED(StopsAsNeedles, 0, 1),
    COMPARED(StripBeginEnd, 0, 1),
    COMPARED(JumpsPerTrim, 3, 2),
    COMPARED(PenetrationStyle, 0, 2),
    COMPARED(Media, 2, 7),
    COMPARED(SkipFirstColourChange, 0, 1),
    COMPARED(ForceFirstColourChange, 0, 1),
    COMPARED(ReadBarudanZ, 0, 1),
    COMPARED(MaxNeedles, 0, 15),
    COMPARED(UseNeedleUps, 0, 1),
    COMPARED(CleanShort, 0, 1),
    COMPARED(JumpBeforeEnd, 0, 1),
    COMPARED(IgnoreMissingCodes, 0, 1),
    COMPARED(KorvanPadStop, 0, 1),
    COMPARED(BlankAfterDrops, 0, 1),
    COMPARED(CleanLength, 5, 9),
    COMPARED(MaxLength, 0, 100),
    COMPARED(HardLength, 0, 121),
    COMPARED(MaxRealLength, 0, 80),
    COMPARED(SplitJumpLength, 0, 60),
    COMPARED(HasTrimCode, 1, 0),
    COMPARED(TrimsAsJumps, 0, 1),
    COMPARED(CopyOriginal, 0, 1),
    COMPARED(StopBeforeJumps, 0, 1),
    COMPARED(HasNeedleCode, 1, 0),
    COMPARED(MelcoNeedleAsStop, 0, 1),
    COMPARED(KorvanOldChenille, 0, 1),
    COMPARED(RemoveRedundantChenille, 0, 1),
    COMPARED(RemoveChenilleHeight, 0, 1),
    COMPARED(WriteBarudanZ, 0, 1),
    COMPARED(ReturnToFirstNeedleAtEnd, 0, 1),
    COMPARED(InsertBlankStitchAfterTrim, 0, 1),
    COMPARED(InsertBlankStitchAtBegin, 0, 1),
    COMPARED(FilterBlankJumps, 1, 0),
    COMPARED(MelcoDiscardEnd, 0, 1),
    COMPARED(HasBorerCode, 1, 0),
    COMPARED(BorerType, 0, 2),
    COMPARED(HasBorerNeedle, 0, 1),
    COMPARED(BorerNeedle, 0, 6),
    COMPARED(BorerOffset, 0, -40),
    COMPARED(HasChenilleSupport, 0, 1),
    COMPARED(MinRealLength, 0, 3),
    COMPARED(ShortcutAngle, 120, 150),
    COMPARED(HasSequinCode, 1, 0),
    COMPARED(SequinType, 0, 1),
    COMPARED(GlassBeadType, 0, 1),
    COMPARED(SupportsCombinedSequinBead, 0, 1),
    NOT_COMPARED(CanDelete, 0, 1),
    COMPARED(FileFormat, 90, 0),
    COMPARED(Granularity, 1, 5),
    COMPARED(CombineJumpsForNormals, 0, 1),
    COMPARED(PreserveJumps, 0, 1),
    COMPARED(AddLeader, 0, 1),
    COMPARED(NumAddLeaderBytes, 20, 64),
    COMPARED(KorvanStartStitchType, 1, 0),
    COMPARED(ReadChangeoverType, 0, 4),
    COMPARED(TrimJumpLength, 4, 7),
    NOT_COMPARED(PenetrateAtTrims, 0, 1),
    COMPARED(GNDllWrite, 0, 1),
    COMPARED(SEITID, -1, 12),
    COMPARED(SEITOffset, 2200, 1800),
    COMPARED(PreserveBlanks, 0, 3),
    COMPARED(JumpBetweenTwoStops, 1, 0),
    COMPARED(FilterChangeoverBlankJumps, 0, 1),
    COMPARED(KorvanRemoveDoubleStops, 0, 1),
    COMPARED(CombineSequinCommands, 0, 1),
    COMPARED(SplitStitchToJumps, 0, 1),
    COMPARED(KorvanMoveDropSequins, 0, 1),
    COMPARED(AlternateSequinDropCommands, 0, 5),
    COMPARED(KeepOriginalStitch, 0, 1),
};

#undef NOT_COMPARED
#undef COMPARED
#undef STITCHKIT_FIELD

// A flag option through its int accessors.
struct Flag {
  const char* name;
  int (*get)(const StitchOptions&);
  void (*set)(StitchOptions&, int);
};

// clang-format off
#define FLAG(stem)                                           \
  Flag{#stem,                                                \
       [](const StitchOptions& o) { return o.get##stem(); }, \
       [](StitchOptions& o, int v) { o.set##stem(v); }}
// clang-format on

const Flag kFlags[] = {
    FLAG(StopsAsNeedles),
    FLAG(StripBeginEnd),
    FLAG(SkipFirstColourChange),
    FLAG(ForceFirstColourChange),
    FLAG(ReadBarudanZ),
    FLAG(UseNeedleUps),
    FLAG(CleanShort),
    FLAG(JumpBeforeEnd),
    FLAG(IgnoreMissingCodes),
    FLAG(KorvanPadStop),
    FLAG(BlankAfterDrops),
    FLAG(HasTrimCode),
    FLAG(TrimsAsJumps),
    FLAG(CopyOriginal),
    FLAG(StopBeforeJumps),
    FLAG(HasNeedleCode),
    FLAG(MelcoNeedleAsStop),
    FLAG(KorvanOldChenille),
    FLAG(RemoveRedundantChenille),
    FLAG(RemoveChenilleHeight),
    FLAG(WriteBarudanZ),
    FLAG(ReturnToFirstNeedleAtEnd),
    FLAG(InsertBlankStitchAfterTrim),
    FLAG(InsertBlankStitchAtBegin),
    FLAG(FilterBlankJumps),
    FLAG(MelcoDiscardEnd),
    FLAG(HasBorerCode),
    FLAG(HasBorerNeedle),
    FLAG(HasChenilleSupport),
    FLAG(HasSequinCode),
    FLAG(SupportsCombinedSequinBead),
    FLAG(CanDelete),
    FLAG(CombineJumpsForNormals),
    FLAG(PreserveJumps),
    FLAG(AddLeader),
    FLAG(PenetrateAtTrims),
    FLAG(GNDllWrite),
    FLAG(JumpBetweenTwoStops),
    FLAG(FilterChangeoverBlankJumps),
    FLAG(KorvanRemoveDoubleStops),
    FLAG(CombineSequinCommands),
    FLAG(SplitStitchToJumps),
    FLAG(KorvanMoveDropSequins),
};

#undef FLAG

// An option stored exactly as given, set and read through its own type.
struct Stored {
  const char* name;
  long (*roundTrip)(long);  // sets the value on a fresh record and reads it back
  long min;
  long max;
};

// clang-format off
#define STORED(stem, min, max)                                  \
  Stored{#stem,                                                 \
         [](long v) -> long {                                   \
           StitchOptions o;                                     \
           o.set##stem(static_cast<decltype(o.get##stem())>(v)); \
           return o.get##stem();                                \
         },                                                     \
         min, max}
// clang-format on
#define STORED16(stem) STORED(stem, SHRT_MIN, SHRT_MAX)
#define STORED32(stem) STORED(stem, INT_MIN, INT_MAX)

const Stored kStored[] = {
    STORED16(JumpsPerTrim),
    STORED16(PenetrationStyle),
    STORED16(Media),
    STORED16(MaxNeedles),
    STORED16(CleanLength),
    STORED16(MaxLength),
    STORED16(HardLength),
    STORED16(MaxRealLength),
    STORED16(SplitJumpLength),
    STORED16(BorerType),
    STORED16(BorerNeedle),
    STORED16(BorerOffset),
    STORED16(MinRealLength),
    STORED16(SequinType),
    STORED16(GlassBeadType),
    STORED32(FileFormat),
    STORED16(Granularity),
    STORED32(NumAddLeaderBytes),
    STORED16(KorvanStartStitchType),
    STORED16(ReadChangeoverType),
    STORED16(TrimJumpLength),
    STORED32(SEITID),
    STORED32(SEITOffset),
    STORED16(PreserveBlanks),
    STORED32(AlternateSequinDropCommands),
    STORED32(KeepOriginalStitch),
};

#undef STORED32
#undef STORED16
#undef STORED

// A host application whose blank-stitch mode the test chooses; counts how often it is asked.
class TestHost : public ConsoleApp {
 public:
  explicit TestHost(bool blankStitchMode) : blankStitchMode_(blankStitchMode) {}
  bool isBlankStitchMode() const override {
    ++queries;
    return blankStitchMode_;
  }
  mutable int queries = 0;

 private:
  bool blankStitchMode_;
};

// Installs a test host for one test and removes it afterwards, whatever the outcome.
class StitchOptionsHost : public ::testing::Test {
 protected:
  void install(TestHost& host) { setConsoleApp(&host); }
  void TearDown() override { setConsoleApp(nullptr); }
};

// A record with every option moved off its default.
StitchOptions changedRecord() {
  StitchOptions o;
  for (const Field& f : kFields)
    f.change(o);
  o.setFormatType(L"Korvan VRZN");
  return o;
}

TEST(StitchOptionsDefaults, WithoutHostApplication) {
  ASSERT_EQ(getConsoleApp(), nullptr);
  const StitchOptions o;
  for (const Field& f : kFields)
    EXPECT_EQ(f.get(o), f.defaultValue) << f.name;
  EXPECT_TRUE(o.getFormatType() == L"Normal");

  // Of the flags, exactly these six start set.
  const std::set<std::string> setFlags = {"HasTrimCode",  "HasNeedleCode", "FilterBlankJumps",
                                          "HasBorerCode", "HasSequinCode", "JumpBetweenTwoStops"};
  for (const Flag& f : kFlags) {
    EXPECT_EQ(f.get(o), setFlags.count(f.name) ? 1 : 0) << f.name;
  }
}

TEST(StitchOptionsDefaults, TablesCoverEveryOption) {
  // 70 options here plus FormatType; 43 of them are flags.
  EXPECT_EQ(std::size(kFields), 70u);
  EXPECT_EQ(std::size(kFlags), 43u);
  std::set<std::string> names;
  for (const Field& f : kFields)
    EXPECT_TRUE(names.insert(f.name).second) << f.name;
  for (const Flag& f : kFlags)
    EXPECT_TRUE(names.count(f.name)) << f.name;
}

TEST_F(StitchOptionsHost, BlankStitchModeSetsBothBlankStitchFlags) {
  StitchOptions expected;  // made before any host is installed
  expected.setInsertBlankStitchAfterTrim(1);
  expected.setInsertBlankStitchAtBegin(1);

  TestHost host(true);
  install(host);
  const StitchOptions o;
  EXPECT_GE(host.queries, 1);
  EXPECT_EQ(o.getInsertBlankStitchAfterTrim(), 1);
  EXPECT_EQ(o.getInsertBlankStitchAtBegin(), 1);
  EXPECT_EQ(o, expected);  // nothing else depends on the host

  // The default option sets start from a host-dependent record too.
  StitchOptions d;
  setDefaultDecoderOptions(d);
  EXPECT_EQ(d.getInsertBlankStitchAfterTrim(), 1);
  EXPECT_EQ(d.getInsertBlankStitchAtBegin(), 1);
}

TEST_F(StitchOptionsHost, HostOutOfBlankStitchModeKeepsDefaults) {
  const StitchOptions expected;
  TestHost host(false);
  install(host);
  const StitchOptions o;
  EXPECT_GE(host.queries, 1);
  EXPECT_EQ(o.getInsertBlankStitchAfterTrim(), 0);
  EXPECT_EQ(o.getInsertBlankStitchAtBegin(), 0);
  EXPECT_EQ(o, expected);
}

TEST_F(StitchOptionsHost, CopyingDoesNotAskTheHost) {
  const StitchOptions source;  // no host yet: both blank-stitch flags 0
  TestHost host(true);
  install(host);

  const StitchOptions copy(source);
  EXPECT_EQ(host.queries, 0);
  EXPECT_EQ(copy.getInsertBlankStitchAfterTrim(), 0);
  EXPECT_EQ(copy.getInsertBlankStitchAtBegin(), 0);

  const StitchDecoderOptions decoderSource;  // asks the host once
  const int asked = host.queries;
  const StitchDecoderOptions decoderCopy(decoderSource);
  EXPECT_EQ(host.queries, asked);
}

TEST(StitchOptionsDefaultFunctions, ReplaceEverythingWithTheDefaultSet) {
  struct Case {
    const char* name;
    void (*apply)(StitchOptions&);
    int copyOriginal;
  };
  const Case cases[] = {
      {"setDefaultDecoderOptions", setDefaultDecoderOptions, 0},
      {"SetDefaultDecoderOptions", SetDefaultDecoderOptions, 0},
      {"setDefaultEncoderOptions", setDefaultEncoderOptions, 0},
      {"setCopyEncoderOptions", setCopyEncoderOptions, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StitchOptions expected;
    expected.setHardLength(127);
    expected.setCopyOriginal(c.copyOriginal);

    StitchOptions o = changedRecord();
    c.apply(o);
    EXPECT_EQ(o, expected);
    EXPECT_EQ(o.getHardLength(), 127);
    EXPECT_EQ(o.getCopyOriginal(), c.copyOriginal);
    // Equality does not look at these two; they must be reset all the same.
    EXPECT_EQ(o.getCanDelete(), 0);
    EXPECT_EQ(o.getPenetrateAtTrims(), 0);
  }
}

TEST(StitchOptionsSetters, FlagsHoldZeroOrOne) {
  struct Case {
    int argument;
    int stored;
  };
  // 256 and 0x10000 have no bits in the low byte: a setter that truncates before testing
  // would store 0.
  const Case cases[] = {{0, 0}, {1, 1}, {5, 1}, {-1, 1}, {256, 1}, {0x10000, 1}, {INT_MIN, 1}};
  for (const Flag& f : kFlags) {
    for (const Case& c : cases) {
      StitchOptions o;
      f.set(o, 1 - f.get(o));  // start from the value opposite to the default
      f.set(o, c.argument);
      EXPECT_EQ(f.get(o), c.stored) << f.name << " set to " << c.argument;
    }
  }
}

TEST(StitchOptionsSetters, OtherOptionsAreStoredUnchecked) {
  for (const Stored& s : kStored) {
    for (long v : {s.min, -1L, 0L, 1L, 5L, 127L, s.max}) {
      EXPECT_EQ(s.roundTrip(v), v) << s.name << " set to " << v;
    }
  }
  StitchOptions o;
  o.setFormatType(L"");
  EXPECT_TRUE(o.getFormatType().isEmpty());
  o.setFormatType(L"Korvan VRZN");
  EXPECT_TRUE(o.getFormatType() == L"Korvan VRZN");
}

TEST(StitchOptionsSetters, ShortcutAngleKeepsOnlyHundredToHundredEighty) {
  struct Case {
    short argument;
    short stored;
  };
  const Case cases[] = {{99, 120},   {100, 100},      {101, 101},     {150, 150},
                        {179, 179},  {180, 180},      {181, 120},     {0, 120},
                        {-150, 120}, {SHRT_MIN, 120}, {SHRT_MAX, 120}};
  for (const Case& c : cases) {
    StitchOptions o;
    o.setShortcutAngle(150);
    o.setShortcutAngle(c.argument);
    EXPECT_EQ(o.getShortcutAngle(), c.stored) << "argument " << c.argument;
  }
}

TEST(StitchOptionsEquality, EveryOptionButTwoIsCompared) {
  const StitchOptions base;
  for (const Field& f : kFields) {
    StitchOptions other;
    f.change(other);
    ASSERT_NE(f.get(other), f.get(base)) << f.name;
    if (f.compared) {
      EXPECT_FALSE(other == base) << f.name;
      EXPECT_FALSE(base == other) << f.name;
      EXPECT_TRUE(other != base) << f.name;
    } else {
      EXPECT_TRUE(other == base) << f.name;
      EXPECT_FALSE(other != base) << f.name;
    }
  }
  // Records that differ in nothing but the two ignored options are equal too.
  StitchOptions both;
  both.setCanDelete(1);
  both.setPenetrateAtTrims(1);
  EXPECT_EQ(both, base);
}

TEST(StitchOptionsEquality, FormatTypeIsCaseSensitive) {
  StitchOptions a;
  StitchOptions b;
  a.setFormatType(L"Korvan VRZN");
  b.setFormatType(L"Korvan VRZN");
  EXPECT_TRUE(a == b);
  b.setFormatType(L"korvan vrzn");
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a != b);
  b.setFormatType(L"Korvan VRZN ");
  EXPECT_FALSE(a == b);
}

// The ways a record is copied: all of them must carry every option.
struct CopyWay {
  const char* name;
  std::unique_ptr<StitchOptions> (*copy)(const StitchOptions&);
};

const CopyWay kCopyWays[] = {
    {"assignment",
     [](const StitchOptions& src) {
       auto p = std::make_unique<StitchOptions>();
       *p = src;
       return p;
     }},
    {"copy constructor",
     [](const StitchOptions& src) { return std::make_unique<StitchOptions>(src); }},
    {"decoder record from a record",
     [](const StitchOptions& src) -> std::unique_ptr<StitchOptions> {
       return std::make_unique<StitchDecoderOptions>(src);
     }},
    {"decoder record copied",
     [](const StitchOptions& src) -> std::unique_ptr<StitchOptions> {
       const StitchDecoderOptions first(src);
       return std::make_unique<StitchDecoderOptions>(first);
     }},
    {"encoder record assigned a record",
     [](const StitchOptions& src) -> std::unique_ptr<StitchOptions> {
       auto p = std::make_unique<StitchEncoderOptions>();
       *p = src;
       return p;
     }},
    {"encoder record assigned an encoder record",
     [](const StitchOptions& src) -> std::unique_ptr<StitchOptions> {
       const StitchEncoderOptions first(src);
       StitchEncoderOptions second;
       second = first;
       return std::make_unique<StitchEncoderOptions>(second);
     }},
};

TEST(StitchOptionsCopy, CarriesEveryOption) {
  for (const CopyWay& way : kCopyWays) {
    SCOPED_TRACE(way.name);
    for (const Field& f : kFields) {
      StitchOptions src;
      f.change(src);
      const std::unique_ptr<StitchOptions> copy = way.copy(src);
      EXPECT_EQ(f.get(*copy), f.get(src)) << f.name;
      EXPECT_EQ(*copy, src) << f.name;
    }
    const StitchOptions changed = changedRecord();
    const std::unique_ptr<StitchOptions> copy = way.copy(changed);
    EXPECT_EQ(*copy, changed);
    EXPECT_TRUE(copy->getFormatType() == L"Korvan VRZN");
  }
}

TEST(StitchOptionsCopy, OverwritesEveryOptionOfTheTarget) {
  const StitchOptions defaults;
  StitchOptions target = changedRecord();
  target = defaults;
  for (const Field& f : kFields)
    EXPECT_EQ(f.get(target), f.defaultValue) << f.name;
  EXPECT_TRUE(target.getFormatType() == L"Normal");

  StitchOptions self = changedRecord();
  const StitchOptions before = self;
  StitchOptions& alias = self;
  self = alias;
  EXPECT_EQ(self, before);
}

TEST(StitchOptionsCopy, NormalisesWhatTheSettersWouldRefuse) {
  struct Case {
    short raw;
    short copied;
  };
  const Case angles[] = {{99, 120}, {100, 100}, {180, 180}, {181, 120}, {-1, 120}, {0, 120}};
  for (const CopyWay& way : kCopyWays) {
    SCOPED_TRACE(way.name);
    for (const Case& c : angles) {
      StitchOptions src;
      StitchOptionsTestPeer::setRawShortcutAngle(src, c.raw);
      EXPECT_EQ(way.copy(src)->getShortcutAngle(), c.copied) << "raw angle " << c.raw;
    }
    StitchOptions src;
    StitchOptionsTestPeer::setRawAddLeader(src, 5);
    EXPECT_EQ(way.copy(src)->getAddLeader(), 1);
  }
}

// Which own formats accept a file of format f besides a record of format f itself, written
// out per file format.
std::map<int, std::set<int>> acceptingOwnFormats() {
  const std::set<int> dst = {0, 6, 15, 20};
  const std::set<int> barudan = {1, 16, 21, 58, 59, 73};
  const std::set<int> expOwners = {2,  5,  22, 23, 24, 25, 26, 27, 28, 37, 38, 41, 42,
                                   43, 44, 45, 46, 47, 49, 53, 55, 56, 57, 62, 76, 89};
  const std::set<int> dsz = {3, 17};
  const std::set<int> pair78 = {7, 8};
  std::map<int, std::set<int>> accepted = {
      {0, dst},       {6, dst},       {15, dst},      {20, dst},      {1, barudan},
      {16, barudan},  {21, barudan},  {58, barudan},  {59, barudan},  {73, barudan},
      {2, expOwners}, {5, expOwners}, {3, dsz},       {17, dsz},      {7, pair78},
      {8, pair78},    {52, {52}},     {60, {60, 36}}, {71, {71, 36}}, {72, {0}},
  };
  std::set<int> everyFormat;
  for (int own = 0; own < 96; ++own)
    everyFormat.insert(own);
  for (int f : {32, 34, 70, 77, 80})
    accepted[f] = everyFormat;
  return accepted;
}

TEST(StitchOptionsCompatibility, WholeTable) {
  const std::map<int, std::set<int>> accepted = acceptingOwnFormats();
  for (int own = 0; own < 96; ++own) {
    StitchOptions o;
    o.setFileFormat(static_cast<HDiskFileFormat>(own));
    for (int f = 0; f < 96; ++f) {
      const auto row = accepted.find(f);
      const bool expected = f == own || (row != accepted.end() && row->second.count(own) > 0);
      EXPECT_EQ(o.isCompatible(static_cast<HDiskFileFormat>(f)), expected)
          << "file format " << f << ", own format " << own;
    }
  }
}

TEST(StitchOptionsCompatibility, NotedCases) {
  struct Case {
    int own;
    int file;
    bool compatible;
  };
  const Case cases[] = {
      {81, 81, true}, {0, 81, false},  {90, 81, false},  // own format first, then the bound
      {90, 34, true}, {81, 34, true},  {-5, 34, true},   // open to every record
      {0, 72, true},  {72, 72, true},  {6, 72, false},  {36, 72, false},
      {90, 90, true}, {0, 90, false},  {-1, -1, true},  {0, -1, false},
      {36, 60, true}, {60, 36, false},  // KVB records read KVC files, not the other way round
  };
  for (const Case& c : cases) {
    StitchOptions o;
    o.setFileFormat(static_cast<HDiskFileFormat>(c.own));
    EXPECT_EQ(o.isCompatible(static_cast<HDiskFileFormat>(c.file)), c.compatible)
        << "file format " << c.file << ", own format " << c.own;
  }
}

TEST(StitchOptionsList, HoldsIndependentCopiesInOrder) {
  StitchOptions a;
  a.setFileFormat(kFormatDst);
  StitchOptions b;
  b.setFileFormat(kFormatExp);

  HList<StitchOptions> list;
  list.insert(b, 0);
  list.insert(a, 0);
  a.setMaxLength(50);  // the list holds its own copy

  ASSERT_EQ(list.length(), 2);
  EXPECT_EQ(list(0).getFileFormat(), kFormatDst);
  EXPECT_EQ(list(0).getMaxLength(), 0);
  EXPECT_EQ(list(1), b);

  HList<StitchOptions> same;
  same.append(list(0));
  same.append(b);
  EXPECT_TRUE(same == list);

  list.remove(0);
  EXPECT_EQ(list.length(), 1);
  EXPECT_EQ(list(0), b);
  list.empty();
  EXPECT_TRUE(list.isEmpty());
}

}  // namespace
}  // namespace stitchkit
