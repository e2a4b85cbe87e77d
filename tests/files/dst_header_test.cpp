#include "stitchkit/files/dst_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <string>

#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {
namespace {

namespace C = StitchCode;

// A buffer prefilled with a byte that never appears in a header, so that every byte the
// function leaves alone shows.
constexpr char kFill = '\xAA';

struct Header {
  int result = -1;
  std::array<char, 512> bytes{};
  std::string text() const { return std::string(bytes.begin(), bytes.end()); }
  // The field at `offset` of `length` bytes.
  std::string field(int offset, int length) const { return text().substr(offset, length); }
  std::string label() const { return field(3, 16); }
};

Header dstHeader(const HString& name, StitchStats stats, int ansiLabel = 0) {
  Header h;
  h.bytes.fill(kFill);
  h.result = makeDSTHeader(h.bytes.data(), name, stats, ansiLabel);
  return h;
}

struct InternalHeader {
  int result = -1;
  std::array<char, 600> bytes{};
  std::string text(int length) const { return std::string(bytes.begin(), bytes.begin() + length); }
};

InternalHeader internalHeader(const HString& name, const StitchStats& stats, int asciiLabel = 0,
                              int size = 138) {
  InternalHeader h;
  h.bytes.fill(kFill);
  h.result = makeInternalDSTHeader(h.bytes.data(), size, name, stats, asciiLabel);
  return h;
}

// Statistics with the given figures, as a finished design would have them.
StitchStats statsWith(int stitches, short colourChanges, short startX, short startY, short minX,
                      short maxX, short minY, short maxY, short endX, short endY) {
  StitchStats s;
  s.stitchCount = stitches;
  s.colourChangeCount = colourChanges;
  s.startX = startX;
  s.startY = startY;
  s.minX = minX;
  s.maxX = maxX;
  s.minY = minY;
  s.maxY = maxY;
  s.endX = endX;
  s.endY = endY;
  return s;
}

// A small two-colour design starting at (10, 20): x from -40 to 110, y from -35 to 60, ending
// at (-5, 33). Six stitches are counted (the jump and the needle change included) and one
// colour change.
StitchStats smallDesign() {
  HXArray<HStitch> design;
  design.add(HStitch(10, 20, C::Normal, 0));
  design.add(HStitch(110, 20, C::Normal, 0));
  design.add(HStitch(110, -35, C::Normal, 0));
  design.add(HStitch(-40, 60, C::Jump, 0));
  design.add(HStitch(-40, 60, C::ChangeNeedle, 1));
  design.add(HStitch(-5, 33, C::Normal, 1));
  StitchStats stats;
  stats.setupStitchStats(design, 1, 0, 0);
  return stats;
}

// The header of smallDesign() named Rose, written out byte by byte.
const std::string kRoseHeader = std::string(
                                    "LA:Rose            \r"
                                    "ST:      6\r"
                                    "CO:  1\r"
                                    "+X:  100\r"
                                    "-X:   50\r"
                                    "+Y:   55\r"
                                    "-Y:   40\r"
                                    "AX:-   15\r"
                                    "AY:+   13\r"
                                    "MX:+    0\r"
                                    "MY:+    0\r"
                                    "PD:******\r"
                                    "\x1A") +
                                std::string(387, ' ');

TEST(DstHeaderTest, SmallDesignGivesTheGoldenHeader) {
  const StitchStats stats = smallDesign();
  ASSERT_EQ(stats.stitchCount, 6);
  ASSERT_EQ(stats.colourChangeCount, 1);
  const Header h = dstHeader(L"C:\\designs\\Rose.dst", stats);
  ASSERT_EQ(h.result, kDstHeaderOk);
  ASSERT_EQ(kRoseHeader.size(), 512u);
  EXPECT_EQ(h.text(), kRoseHeader);
}

TEST(DstHeaderTest, CountsExtentsAndEndPointFitTheirFields) {
  // Statistics (stitches, colour changes, start, min/max x, min/max y, end) and the header
  // from ST to AY.
  const struct {
    StitchStats stats;
    const char* fields;
  } rows[] = {
      // clang-format off
      {statsWith(9999999, 999, 0, 0, 0, 0, 0, 0, 0, 0), "ST:9999999\rCO:999\r+X:    0\r-X:    0\r+Y:    0\r-Y:    0\rAX:+    0\rAY:+    0"},
      {statsWith(10000000, 1000, 0, 0, 0, 0, 0, 0, 0, 0), "ST:9999999\rCO:999\r+X:    0\r-X:    0\r+Y:    0\r-Y:    0\rAX:+    0\rAY:+    0"},
      {statsWith(INT_MAX, 32767, 0, 0, 0, 0, 0, 0, 0, 0), "ST:9999999\rCO:999\r+X:    0\r-X:    0\r+Y:    0\r-Y:    0\rAX:+    0\rAY:+    0"},
      {statsWith(-5, -32768, 0, 0, 0, 0, 0, 0, 0, 0), "ST:      0\rCO:  0\r+X:    0\r-X:    0\r+Y:    0\r-Y:    0\rAX:+    0\rAY:+    0"},
      // +X is maxX - startX, -X startX - minX, +Y startY - minY, -Y maxY - startY.
      {statsWith(5, 7, 0, 0, -10, 30, -70, 20, 0, 0), "ST:      5\rCO:  7\r+X:   30\r-X:   10\r+Y:   70\r-Y:   20\rAX:+    0\rAY:+    0"},
      {statsWith(5, 0, 100, 100, 0, 200, 0, 200, 60, 75), "ST:      5\rCO:  0\r+X:  100\r-X:  100\r+Y:  100\r-Y:  100\rAX:-   40\rAY:-   25"},
      {statsWith(5, 0, 100, 100, 0, 200, 0, 200, 160, 175), "ST:      5\rCO:  0\r+X:  100\r-X:  100\r+Y:  100\r-Y:  100\rAX:+   60\rAY:+   75"},
      {statsWith(2, 0, -32768, -32768, -32768, 32767, -32768, 32767, 32767, 32767), "ST:      2\rCO:  0\r+X:65535\r-X:    0\r+Y:    0\r-Y:65535\rAX:+65535\rAY:+65535"},
      {statsWith(2, 0, 32767, 32767, -32768, 32767, -32768, 32767, -32768, -32768), "ST:      2\rCO:  0\r+X:    0\r-X:65535\r+Y:65535\r-Y:    0\rAX:-65535\rAY:-65535"},
      // Unfinished default statistics: maxX = maxY = -32768, minX = minY = 32767.
      {StitchStats(), "ST:      0\rCO:  0\r+X:32768\r-X:32767\r+Y:32767\r-Y:32768\rAX:+    0\rAY:+    0"},
      // clang-format on
  };
  for (const auto& row : rows) {
    const Header h = dstHeader(L"a", row.stats);
    ASSERT_EQ(h.result, kDstHeaderOk);
    EXPECT_EQ(h.field(20, 73), row.fields);
    EXPECT_EQ(h.text().substr(93), kRoseHeader.substr(93));
  }
  HXArray<HStitch> still;
  for (int i = 0; i < 4; ++i)
    still.add(HStitch(25, -40, C::Normal, 0));
  StitchStats stats;
  stats.setupStitchStats(still, 1, 0, 0);
  EXPECT_EQ(dstHeader(L"a", stats).field(20, 73),
            "ST:      4\rCO:  0\r+X:    0\r-X:    0\r+Y:    0\r-Y:    0\rAX:+    0\rAY:+    0");
}

TEST(DstHeaderTest, LabelIsTheFileNameWithoutFolderAndExtensionInSixteenBytes) {
  const std::wstring longName(1000, L'x');
  // clang-format off
  const struct {
    std::wstring name;
    int ansi;
    std::string label;
  } rows[] = {
      {L"Logo.DST", 0, "Logo            "},
      {L"C:\\designs\\Logo.DST", 1, "Logo            "},
      {L"D:Logo.DST", 0, "Logo            "},
      {L"/home/shop/2024/Logo.DST", 1, "Logo            "},
      {L"..\\a.b\\Logo.DST", 0, "Logo            "},
      {L"\\\\server\\share\\Logo.DST", 0, "Logo            "},
      {L"x/y\\Logo.dst", 1, "Logo            "},
      {L"C:\\a\\Rose.v2.dst", 0, "Rose.v2         "},
      {L"", 0, std::string(16, ' ')},
      {L"C:\\designs\\", 1, std::string(16, ' ')},
      {L"/tmp/", 0, std::string(16, ' ')},
      {L"C:", 1, std::string(16, ' ')},
      {L"C:\\" + longName + L".DST", 0, std::string(16, 'x')},
      {L"C:\\" + longName + L".DST", 1, std::string(16, 'x')},
      {L"ABCDEFGHIJKLMNOPQRSTUVWXYZ.DST", 0, "ABCDEFGHIJKLMNOP"},
      // UTF-8 loses whole characters only.
      {L"\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9", 0, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"},
      {L"ABCDEFGHIJKLMNO\u00d6.DST", 0, "ABCDEFGHIJKLMNO "},
      {L"ABCDEFGHIJKLMN\u20ac.DST", 0, "ABCDEFGHIJKLMN  "},
      {L"ABCDEFGHIJKLM\U0001F33C.DST", 0, "ABCDEFGHIJKLM   "},
      {L"AB\U00100000.DST", 0, "AB\xF4\x80\x80\x80          "},
      {L"ABCDEFGHIJKLMN\u00d6.DST", 0, "ABCDEFGHIJKLMN\xC3\x96"},
      {L"\u65e5\u65e5\u65e5\u65e5\u65e5\u65e5", 0, "\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5 "},
      {L"\u03a9\u20ac\u00e9", 0, "\xCE\xA9\xE2\x82\xAC\xC3\xA9         "},
      // ANSI: Windows-1252, one byte a character.
      {L"ABCDEFGHIJKLMNO\u00d6Z.DST", 1, "ABCDEFGHIJKLMNO\xD6"},
      {L"Caf\u00e9 \u20ac5", 1, "Caf\xE9 \x80" "5         "},
      // A name Windows-1252 cannot hold takes the legacy conversion, judged on the kept part.
      {L"\u03a9\u20ac\u00e9", 1, "??\xE9             "},
      {L"A\u0080B", 1, "A\x80" "B             "},
      {L"ABCDEFGHIJKLMNO\u20acxx\u03a9", 1, "ABCDEFGHIJKLMNO\x80"},
      {L"ABCDEFGHIJKLMN\u03a9\u20acxx", 1, "ABCDEFGHIJKLMN??"},
  };
  // clang-format on
  for (const auto& row : rows) {
    const Header h = dstHeader(HString(row.name), smallDesign(), row.ansi);
    ASSERT_EQ(h.result, kDstHeaderOk);
    EXPECT_EQ(h.label(), row.label) << HString(row.name).getAscii() << " ansi " << row.ansi;
  }
  EXPECT_EQ(internalHeader(L"x/y\\Logo.dst", smallDesign()).text(19), "LA:Logo            ");
}

// --- Internal header ------------------------------------------------------------------------

const std::string kRoseInternalHeader =
    "LA:Rose            \r"
    "ST:      6\r"
    "CO:  1\r"
    "+X:  100\r"
    "-X:   50\r"
    "+Y:   55\r"
    "-Y:   40\r"
    "AX:-   15\r"
    "AY:+   13\r"
    "TP:EG/                             \r"
    "JC:3\r"
    "DO:";

}  // namespace
}  // namespace stitchkit
