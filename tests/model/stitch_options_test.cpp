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

}  // namespace
}  // namespace stitchkit
