#include "stitchkit/model/stitch_options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "stitchkit/model/stitch_options_serializer.h"
#include "stitchkit/platform/console_app.h"

namespace stitchkit {

// Fills fields behind the setters' back, to see what copying makes of values that only a
// record filled by other means could hold.
struct StitchOptionsTestPeer {
  static void setRawShortcutAngle(StitchOptions& o, short angle) { o.shortcutAngle_ = angle; }
  static void setRawAddLeader(StitchOptions& o, std::uint8_t value) { o.addLeader_ = value; }
};

namespace {

// Options are reached by their profile ids; FormatType (18) is the one text option, and
// equality ignores CanDelete (7) and PenetrateAtTrims (42).
constexpr int kFormatTypeId = 18;
bool compared(int id) {
  return id != 7 && id != 42;
}

// A value that moves option `id` of `o` off what it holds and that its setter keeps.
int changed(const StitchOptionsSerializer& s, int id, const StitchOptions& o) {
  const int value = s.getOptionIntValue(id, o);
  return value == 0 ? 1 : value == 1 ? 0 : value + 1;
}

std::vector<int> values(const StitchOptions& o) {
  const StitchOptionsSerializer s;
  std::vector<int> out;
  for (int id = 0; id < s.numOptions(); ++id)
    out.push_back(s.getOptionIntValue(id, o));
  out.push_back(o.getKeepOriginalStitch());
  return out;
}

// A record with every option moved off its default.
StitchOptions changedRecord() {
  const StitchOptionsSerializer s;
  StitchOptions o;
  for (int id = 0; id < s.numOptions(); ++id)
    if (id != kFormatTypeId) s.setOptionIntValue(id, o, changed(s, id, o));
  o.setFormatType(L"Korvan VRZN");
  o.setKeepOriginalStitch(1);
  return o;
}

TEST(StitchOptions, DefaultsWithoutHostApplication) {
  ASSERT_EQ(getConsoleApp(), nullptr);
  // In profile id order (FormatType reads 0 there and is "Normal"), then KeepOriginalStitch.
  const std::vector<int> expected = {0,   0, 0, 0, 0, 0,  0, 0, 5, 0, 0, 0, 0, 0, 90, 1,  0,    0,
                                     0,   0, 1, 0, 1, 0,  0, 1, 1, 1, 0, 0, 0, 0, 1,  3,  0,    0,
                                     0,   2, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0,  -1, 2200, 0,
                                     120, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 1, 4, 0, 0,  0,  0};
  EXPECT_EQ(values(StitchOptions()), expected);
  EXPECT_EQ(StitchOptions().getFormatType(), L"Normal");
}

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

TEST(StitchOptions, HostInBlankStitchModeSetsBothBlankStitchFlagsAndCopiesDoNotAsk) {
  const StitchOptions withoutHost;
  const StitchDecoderOptions decoderWithoutHost;
  for (const bool mode : {false, true}) {
    TestHost host(mode);
    setConsoleApp(&host);
    const StitchOptions o;
    StitchOptions d;
    setDefaultDecoderOptions(d);
    const int asked = host.queries;
    const StitchOptions copy(withoutHost);
    const StitchDecoderOptions decoderCopy(decoderWithoutHost);
    const int askedByCopies = host.queries - asked;
    setConsoleApp(nullptr);
    StitchOptions expected = withoutHost;
    expected.setInsertBlankStitchAfterTrim(mode);
    expected.setInsertBlankStitchAtBegin(mode);
    EXPECT_GE(asked, 1);
    EXPECT_EQ(o, expected);
    EXPECT_EQ(d.getInsertBlankStitchAtBegin(), mode ? 1 : 0);
    EXPECT_EQ(askedByCopies, 0);
    EXPECT_EQ(copy.getInsertBlankStitchAfterTrim(), 0);
    EXPECT_EQ(decoderCopy.getInsertBlankStitchAtBegin(), 0);
  }
}

TEST(StitchOptions, DefaultFunctionsReplaceEverything) {
  const struct {
    void (*apply)(StitchOptions&);
    int copyOriginal;
  } cases[] = {{setDefaultDecoderOptions, 0},
               {SetDefaultDecoderOptions, 0},
               {setDefaultEncoderOptions, 0},
               {setCopyEncoderOptions, 1}};
  for (const auto& c : cases) {
    StitchOptions expected;
    expected.setHardLength(127);
    expected.setCopyOriginal(c.copyOriginal);
    StitchOptions o = changedRecord();
    c.apply(o);
    EXPECT_EQ(values(o), values(expected));
    EXPECT_EQ(o.getFormatType(), L"Normal");
  }
}

TEST(StitchOptions, ShortcutAngleKeepsOnlyHundredToHundredEighty) {
  const short cases[][2] = {{99, 120}, {100, 100}, {180, 180}, {181, 120}, {-150, 120}};
  for (const auto& c : cases) {
    StitchOptions o;
    o.setShortcutAngle(150);
    o.setShortcutAngle(c[0]);
    EXPECT_EQ(o.getShortcutAngle(), c[1]) << c[0];
  }
}

TEST(StitchOptions, EqualityLooksAtEveryOptionButTwo) {
  const StitchOptionsSerializer s;
  const StitchOptions base;
  for (int id = 0; id < s.numOptions(); ++id) {
    if (id == kFormatTypeId) continue;
    StitchOptions other;
    s.setOptionIntValue(id, other, changed(s, id, other));
    EXPECT_EQ(other == base, !compared(id)) << s.getOptionName(id).getAscii();
    EXPECT_EQ(base != other, compared(id)) << s.getOptionName(id).getAscii();
  }
  StitchOptions other;
  other.setKeepOriginalStitch(1);
  EXPECT_NE(other, base);
  other = base;
  other.setFormatType(L"normal");  // case-sensitive
  EXPECT_NE(other, base);
}

// Every way of copying a record carries every option and normalises what a setter would refuse.
TEST(StitchOptions, EveryCopyCarriesEveryOptionAndNormalises) {
  using Copy = std::unique_ptr<StitchOptions> (*)(const StitchOptions&);
  // clang-format off
  const Copy copies[] = {
      [](const StitchOptions& src) { auto p = std::make_unique<StitchOptions>(); *p = src; return p; },
      [](const StitchOptions& src) { return std::make_unique<StitchOptions>(src); },
      [](const StitchOptions& src) -> std::unique_ptr<StitchOptions> { return std::make_unique<StitchDecoderOptions>(StitchDecoderOptions(src)); },
      [](const StitchOptions& src) -> std::unique_ptr<StitchOptions> { StitchEncoderOptions second; second = StitchEncoderOptions(src); return std::make_unique<StitchEncoderOptions>(second); },
  };
  // clang-format on
  const StitchOptions changedOptions = changedRecord();
  for (const Copy copy : copies) {
    EXPECT_EQ(values(*copy(changedOptions)), values(changedOptions));
    EXPECT_EQ(*copy(changedOptions), changedOptions);
    EXPECT_EQ(values(*copy(StitchOptions())), values(StitchOptions()));
    for (const auto& [raw, copied] : {std::pair<short, short>{99, 120}, {100, 100}, {181, 120}}) {
      StitchOptions src;
      StitchOptionsTestPeer::setRawShortcutAngle(src, raw);
      EXPECT_EQ(copy(src)->getShortcutAngle(), copied) << raw;
    }
    StitchOptions src;
    StitchOptionsTestPeer::setRawAddLeader(src, 5);
    EXPECT_EQ(copy(src)->getAddLeader(), 1);
  }
  StitchOptions self = changedOptions;
  StitchOptions& alias = self;
  self = alias;
  EXPECT_EQ(values(self), values(changedOptions));
}

TEST(StitchOptions, CompatibleFileFormats) {
  const struct {
    int own, file;
    bool compatible;
  } cases[] = {
      {81, 81, true}, {0, 81, false},  {90, 81, false}, {90, 34, true}, {-5, 34, true},
      {0, 72, true},  {6, 72, false},  {90, 90, true},  {0, 90, false}, {-1, -1, true},
      {36, 60, true}, {60, 36, false}, {6, 20, true},   {15, 0, true},  {0, 1, false},
      {73, 58, true}, {16, 6, false},  {89, 5, true},   {22, 2, true},  {2, 22, false},
      {17, 3, true},  {8, 7, true},    {36, 71, true},  {52, 52, true}, {0, 52, false},
      {3, 32, true},  {7, 70, true},   {9, 77, true},   {5, 80, true},  {4, 40, false},
  };
  for (const auto& c : cases) {
    StitchOptions o;
    o.setFileFormat(static_cast<HDiskFileFormat>(c.own));
    EXPECT_EQ(o.isCompatible(static_cast<HDiskFileFormat>(c.file)), c.compatible)
        << "file format " << c.file << ", own format " << c.own;
  }
}

}  // namespace
}  // namespace stitchkit
