#include "stitchkit/filter/stitch_filter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "stitchkit/decode/dst_decoder.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/h_array.h"
#include "tests/filter/stitch_filter_test_peer.h"
#include "tests/support/dst_test_records.h"

namespace stitchkit {
namespace {

namespace C = StitchCode;
using testing_support::DstRecords;

// Bytes in memory with a size and position that may be made up: `reportedSize` replaces the
// real size when not negative, and `knowsPosition` false makes the stream unable to tell.
class ReportingStream final : public InputBytestream {
 public:
  ReportingStream(std::vector<unsigned char> bytes, long reportedSize, bool knowsPosition)
      : bytes_(std::move(bytes)), reportedSize_(reportedSize), knowsPosition_(knowsPosition) {}

  int inputByte(unsigned char& byte) override {
    if (at_ >= bytes_.size()) return kStreamEnd;
    byte = bytes_[at_++];
    return kStreamOk;
  }
  long position() const override { return knowsPosition_ ? static_cast<long>(at_) : -1; }
  int seek(long offset) override {
    if (offset < 0) return kStreamFailure;
    at_ = static_cast<std::size_t>(offset);
    return kStreamOk;
  }
  long size() const override {
    return reportedSize_ >= 0 ? reportedSize_ : static_cast<long>(bytes_.size());
  }

 private:
  std::vector<unsigned char> bytes_;
  std::size_t at_ = 0;
  long reportedSize_;
  bool knowsPosition_;
};

StitchOptions dstOptions(HDiskFileFormat format = kFormatDst) {
  StitchOptions options;
  setDefaultDecoderOptions(options);
  options.setFileFormat(format);
  return options;
}

std::vector<int> codesOf(const StitchWrapper& stitches) {
  std::vector<int> codes;
  for (int i = 0; i < stitches.length(); ++i)
    codes.push_back(stitches[i].getFlags());
  return codes;
}

std::vector<std::pair<int, int>> pointsOf(const StitchWrapper& stitches) {
  std::vector<std::pair<int, int>> points;
  for (int i = 0; i < stitches.length(); ++i)
    points.emplace_back(stitches[i].xval(), stitches[i].yval());
  return points;
}

void fill(HXArray<HStitch>& array, int count) {
  for (int i = 0; i < count; ++i)
    array.add(HStitch(static_cast<short>(1000 + i), 0));
}

// --- Construction -------------------------------------------------------------------------------

// --- Decoder choice -----------------------------------------------------------------------------

// --- Pre-sizing ---------------------------------------------------------------------------------

// --- How decoding ends --------------------------------------------------------------------------

TEST(StitchFilterDecode, MalformedRecordFailsOnlyThePlainDecodeAndATruncatedRecordFailsNeither) {
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    int plainResult;
    int hsfResult;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"bad sync bits", DstRecords().stitch(10, 0).stitch(20, 5).raw({0x01, 0x00, 0x00}).data(), kFilterFailure, kFilterOk},
      {"stream ends inside a record", DstRecords().stitch(10, 0).stitch(20, 5).raw({0x01, 0x00}).data(), kFilterOk, kFilterOk},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool asHsf : {false, true}) {
      SCOPED_TRACE(asHsf ? "as HSF" : "plain");
      HXArray<HStitch> array;
      StitchArrayWrapper stitches(array);
      StitchFilter filter(stitches);
      StitchOptions options = dstOptions();
      MemoryInputBytestream stream(c.bytes);
      const int r = asHsf ? filter.decodeStitchesAsHsf(options, {}, {}, 1, stream)
                          : filter.decodeStitches(options, 1, stream);
      EXPECT_EQ(r, asHsf ? c.hsfResult : c.plainResult);
      // The stitches before the bad or cut record are kept either way, and the statistics
      // are the decoder's.
      EXPECT_EQ(codesOf(stitches), (std::vector<int>{C::Normal, C::Normal}));
      EXPECT_EQ(pointsOf(stitches), (std::vector<std::pair<int, int>>{{10, 0}, {20, 5}}));
      EXPECT_EQ(filter.getStitchCount(), 2);
      EXPECT_EQ(filter.getStats().maxX, 20);
      EXPECT_EQ(filter.getStats().maxY, 5);
    }
  }
}

TEST(StitchFilterDecode, StripBeginEndDropsNonSewingStitchesAtBothEnds) {
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    bool strip;
    std::vector<int> codes;
    std::vector<std::pair<int, int>> points;
    int minX;  // of the statistics
  };
  // The statistics are computed from the container: the design starts at its first stitch,
  // not at the origin the decoder started from.
  // clang-format off
  const std::vector<unsigned char> framed = DstRecords().jump(50, 0).jump(100, 0).stitch(110, 0).stitch(120, 10).jump(150, 10).jump(200, 10).end().data();
  const std::vector<Case> cases = {
      {"only jumps and an end", DstRecords().jump(50, 0).jump(60, 10).end().data(), true, {}, {}, 0},
      {"jumps around stitches", framed, true, {C::Normal, C::Normal}, {{110, 0}, {120, 10}}, 110},
      {"jumps around stitches, not stripped", framed, false, {C::Jump, C::Jump, C::Normal, C::Normal, C::Jump, C::Jump, C::DesignEnd}, {{50, 0}, {100, 0}, {110, 0}, {120, 10}, {150, 10}, {200, 10}, {200, 10}}, 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VectorWrapper stitches;
    StitchFilter filter(stitches);
    StitchOptions options = dstOptions();
    options.setStripBeginEnd(c.strip);
    MemoryInputBytestream stream(c.bytes);
    EXPECT_EQ(filter.decodeStitches(options, 1, stream), kFilterOk);
    EXPECT_EQ(codesOf(stitches), c.codes);
    EXPECT_EQ(pointsOf(stitches), c.points);
    EXPECT_EQ(filter.getStitchCount(), stitches.length());
    EXPECT_EQ(filter.getStats().stitchCount, c.strip ? static_cast<int>(c.codes.size())
                                                     : filter.getDecoder()->getStats().stitchCount);
    if (!c.codes.empty()) {
      EXPECT_EQ(filter.getStats().minX, c.minX);
    }
  }
}

// --- Opening virtual stitches -------------------------------------------------------------------

// Real stitch k of a virtual stitch sits at (10(k+1), 5(k+1)) with the code its letter names:
// 'J' jump, 'U' needle up, 'N' normal.
HXArray<HStitch> realStitches(const std::string& pattern) {
  HXArray<HStitch> real;
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    const std::uint8_t code = pattern[k] == 'J'   ? C::Jump
                              : pattern[k] == 'U' ? C::NeedleUp
                                                  : C::Normal;
    real.add(HStitch(static_cast<short>(10 * (k + 1)), static_cast<short>(5 * (k + 1)), code));
  }
  return real;
}

TEST(StitchFilterDevirtualize, ReplacesTheRangeByTheStitchOpenedUp) {
  // The container starts as five stitches 'a' to 'e'. In `layout`, a letter is an original
  // stitch, a digit k real stitch k copied out, 'V' the stitch carrying the virtual stitch's
  // command with the real stitches `middle` (digits) and the point of real stitch `pointOf`
  // (-1: its own point).
  struct Case {
    const char* name;
    int first;
    int last;
    std::uint8_t code;
    std::string real;
    std::string layout;
    std::string middle;
    int pointOf;
    int result;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"leading and trailing jumps grow the range", 1, 1, C::Normal, "JJNNJ", "a01V4cde", "23", 3, 4},
      {"no jumps shrink the range to one", 1, 3, C::Normal, "NN", "aVe", "01", -1, 1},
      {"whole container replaced", 0, 4, C::Normal, "JN", "0V", "1", -1, 1},
      {"no real stitches", 1, 3, C::Normal, "", "aVe", "", -1, 1},
      {"no real stitches into an empty range", 2, 1, C::Normal, "", "abVcde", "", -1, 2},
      {"empty range", 2, 1, C::Normal, "JN", "ab0Vcde", "1", -1, 3},
      {"only jumps: the last one stays in the middle", 1, 1, C::Jump, "JJJ", "a01Vcde", "2", -1, 3},
      {"needle ups count as jumps", 1, 2, C::Normal, "UNU", "a0V2de", "1", 1, 3},
      {"trailing jump only", 4, 4, C::Normal, "NJ", "abcdV1", "0", 0, 5},
      {"drop sequin stays whole", 1, 2, C::DropSequin, "JNJ", "aVde", "012", -1, 1},
      {"drop bead stays whole", 1, 1, C::DropBead, "JN", "aVcde", "01", -1, 1},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HXArray<HStitch> array;
    fill(array, 5);
    const HXArray<HStitch> original = array;
    StitchArrayWrapper stitches(array);
    StitchFilter filter(stitches);

    const HXArray<HStitch> real = realStitches(c.real);
    HStitch v(-7, -9, c.code, 4);
    v.setData(33);
    v.setRealStitches(real);
    EXPECT_EQ(filter.devirtualizeStitch(v, c.first, c.last), c.result);

    ASSERT_EQ(array.length(), static_cast<int>(c.layout.size()));
    EXPECT_EQ(filter.getStitchCount(), array.length());
    for (int i = 0; i < array.length(); ++i) {
      SCOPED_TRACE(testing::Message() << "element " << i);
      const HStitch& got = array[i];
      const char what = c.layout[static_cast<std::size_t>(i)];
      if (what >= 'a' && what <= 'e') {
        EXPECT_EQ(got.getPoint(), original[what - 'a'].getPoint());
      } else if (what >= '0' && what <= '9') {
        const HStitch& want = real[what - '0'];
        EXPECT_EQ(got.getPoint(), want.getPoint());
        EXPECT_EQ(got.getFlags(), want.getFlags());
      } else {
        EXPECT_EQ(got.getFlags(), c.code);
        EXPECT_EQ(got.getColor(), 4);
        EXPECT_EQ(got.getData(), 33);
        const HCoord<short> point = c.pointOf < 0 ? v.getPoint() : real[c.pointOf].getPoint();
        EXPECT_EQ(got.getPoint(), point);
        ASSERT_EQ(got.getRealStitchCount(), static_cast<int>(c.middle.size()));
        for (std::size_t k = 0; k < c.middle.size(); ++k) {
          const HStitch& want = real[c.middle[k] - '0'];
          EXPECT_EQ(got.getRealStitches()[static_cast<int>(k)].getPoint(), want.getPoint());
          EXPECT_EQ(got.getRealStitches()[static_cast<int>(k)].getFlags(), want.getFlags());
        }
      }
    }
  }
}

}  // namespace
}  // namespace stitchkit
