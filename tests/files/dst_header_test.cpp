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

TEST(DstHeaderTest, FieldsSitAtTheirOffsets) {
  const Header h = dstHeader(L"Rose", smallDesign());
  ASSERT_EQ(h.result, kDstHeaderOk);
  EXPECT_EQ(h.field(0, 3), "LA:");
  EXPECT_EQ(h.field(3, 16), "Rose            ");
  EXPECT_EQ(h.field(20, 3), "ST:");
  EXPECT_EQ(h.field(23, 7), "      6");
  EXPECT_EQ(h.field(31, 3), "CO:");
  EXPECT_EQ(h.field(34, 3), "  1");
  EXPECT_EQ(h.field(38, 3), "+X:");
  EXPECT_EQ(h.field(41, 5), "  100");
  EXPECT_EQ(h.field(47, 3), "-X:");
  EXPECT_EQ(h.field(50, 5), "   50");
  EXPECT_EQ(h.field(56, 3), "+Y:");
  EXPECT_EQ(h.field(59, 5), "   55");
  EXPECT_EQ(h.field(65, 3), "-Y:");
  EXPECT_EQ(h.field(68, 5), "   40");
  EXPECT_EQ(h.field(74, 3), "AX:");
  EXPECT_EQ(h.field(77, 1), "-");
  EXPECT_EQ(h.field(78, 5), "   15");
  EXPECT_EQ(h.field(84, 3), "AY:");
  EXPECT_EQ(h.field(87, 1), "+");
  EXPECT_EQ(h.field(88, 5), "   13");
  EXPECT_EQ(h.field(94, 9), "MX:+    0");
  EXPECT_EQ(h.field(104, 9), "MY:+    0");
  EXPECT_EQ(h.field(114, 9), "PD:******");
  for (int cr : {19, 30, 37, 46, 55, 64, 73, 83, 93, 103, 113, 123}) {
    EXPECT_EQ(h.bytes[static_cast<std::size_t>(cr)], '\r') << "offset " << cr;
  }
  EXPECT_EQ(h.bytes[124], '\x1A');
}

TEST(DstHeaderTest, BytesAfterTheTextAreSpacesWithNoZeroByte) {
  const Header h = dstHeader(L"Rose", smallDesign());
  ASSERT_EQ(h.result, kDstHeaderOk);
  const std::string tail = h.text().substr(125);
  EXPECT_EQ(tail.size(), 387u);
  EXPECT_EQ(tail, std::string(387, ' '));
  EXPECT_EQ(h.text().find('\0'), std::string::npos);
}

TEST(DstHeaderTest, NullBufferGivesThree) {
  StitchStats stats = smallDesign();
  EXPECT_EQ(makeDSTHeader(nullptr, L"Rose", stats, 0), kDstHeaderNoBuffer);
  EXPECT_EQ(makeDSTHeader(nullptr, L"Rose", stats, 1), kDstHeaderNoBuffer);
  EXPECT_EQ(makeInternalDSTHeader(nullptr, 138, L"Rose", stats, 0), kDstHeaderNoBuffer);
  EXPECT_EQ(makeInternalDSTHeader(nullptr, 138, L"Rose", stats, 1), kDstHeaderNoBuffer);
  EXPECT_EQ(kDstHeaderNoBuffer, 3);
  EXPECT_EQ(kDstHeaderWrongLength, 2);
  EXPECT_EQ(kDstHeaderOk, 0);
}

// --- Bounds -----------------------------------------------------------------------------

TEST(DstHeaderTest, StitchCountIsBoundedToSevenDigits) {
  EXPECT_EQ(dstHeader(L"a", statsWith(9999999, 0, 0, 0, 0, 0, 0, 0, 0, 0)).field(23, 7), "9999999");
  EXPECT_EQ(dstHeader(L"a", statsWith(10000000, 0, 0, 0, 0, 0, 0, 0, 0, 0)).field(23, 7),
            "9999999");
  EXPECT_EQ(dstHeader(L"a", statsWith(INT_MAX, 0, 0, 0, 0, 0, 0, 0, 0, 0)).field(23, 7), "9999999");
  EXPECT_EQ(dstHeader(L"a", statsWith(1, 0, 0, 0, 0, 0, 0, 0, 0, 0)).field(23, 7), "      1");
}

TEST(DstHeaderTest, ColourChangesAreBoundedToThreeDigits) {
  EXPECT_EQ(dstHeader(L"a", statsWith(1, 999, 0, 0, 0, 0, 0, 0, 0, 0)).field(34, 3), "999");
  EXPECT_EQ(dstHeader(L"a", statsWith(1, 1000, 0, 0, 0, 0, 0, 0, 0, 0)).field(34, 3), "999");
  EXPECT_EQ(dstHeader(L"a", statsWith(1, 32767, 0, 0, 0, 0, 0, 0, 0, 0)).field(34, 3), "999");
  EXPECT_EQ(dstHeader(L"a", statsWith(1, 7, 0, 0, 0, 0, 0, 0, 0, 0)).field(34, 3), "  7");
}

TEST(DstHeaderTest, NegativeCountsShowAsZero) {
  const Header h = dstHeader(L"a", statsWith(-5, -32768, 0, 0, 0, 0, 0, 0, 0, 0));
  ASSERT_EQ(h.result, kDstHeaderOk);
  EXPECT_EQ(h.field(23, 7), "      0");
  EXPECT_EQ(h.field(34, 3), "  0");
}

TEST(DstHeaderTest, WidestExtentsAndOffsetsFitTheirFiveDigitFields) {
  // Start at one corner of the 16-bit range, the design over the whole range.
  const Header low =
      dstHeader(L"a", statsWith(2, 0, -32768, -32768, -32768, 32767, -32768, 32767, 32767, 32767));
  ASSERT_EQ(low.result, kDstHeaderOk);
  EXPECT_EQ(low.field(41, 5), "65535");  // +X
  EXPECT_EQ(low.field(50, 5), "    0");  // -X
  EXPECT_EQ(low.field(59, 5), "    0");  // +Y
  EXPECT_EQ(low.field(68, 5), "65535");  // -Y
  EXPECT_EQ(low.field(77, 6), "+65535");
  EXPECT_EQ(low.field(87, 6), "+65535");

  const Header high =
      dstHeader(L"a", statsWith(2, 0, 32767, 32767, -32768, 32767, -32768, 32767, -32768, -32768));
  ASSERT_EQ(high.result, kDstHeaderOk);
  EXPECT_EQ(high.field(41, 5), "    0");
  EXPECT_EQ(high.field(50, 5), "65535");
  EXPECT_EQ(high.field(59, 5), "65535");
  EXPECT_EQ(high.field(68, 5), "    0");
  EXPECT_EQ(high.field(77, 6), "-65535");
  EXPECT_EQ(high.field(87, 6), "-65535");
  EXPECT_EQ(high.text().substr(125), std::string(387, ' '));
}

TEST(DstHeaderTest, UnfinishedDefaultStatisticsStillGiveAWholeHeader) {
  // Default extents are maxX = maxY = -32768 and minX = minY = 32767 around a start of 0.
  const Header h = dstHeader(L"a", StitchStats());
  ASSERT_EQ(h.result, kDstHeaderOk);
  EXPECT_EQ(h.field(41, 5), "32768");
  EXPECT_EQ(h.field(50, 5), "32767");
  EXPECT_EQ(h.field(59, 5), "32767");
  EXPECT_EQ(h.field(68, 5), "32768");
}

// --- Extents and the end point ----------------------------------------------------------

TEST(DstHeaderTest, YExtentsRunTheOtherWayToX) {
  // From the start (0, 0): 30 towards larger x, 10 towards smaller x, 70 towards smaller y,
  // 20 towards larger y.
  const Header h = dstHeader(L"a", statsWith(5, 0, 0, 0, -10, 30, -70, 20, 0, 0));
  ASSERT_EQ(h.result, kDstHeaderOk);
  EXPECT_EQ(h.field(41, 5), "   30");  // +X: maxX - startX
  EXPECT_EQ(h.field(50, 5), "   10");  // -X: startX - minX
  EXPECT_EQ(h.field(59, 5), "   70");  // +Y: startY - minY
  EXPECT_EQ(h.field(68, 5), "   20");  // -Y: maxY - startY
}

TEST(DstHeaderTest, EndLeftOfAndAboveTheStartIsNegativeOnBothAxes) {
  const Header h = dstHeader(L"a", statsWith(5, 0, 100, 100, 0, 200, 0, 200, 60, 75));
  ASSERT_EQ(h.result, kDstHeaderOk);
  EXPECT_EQ(h.field(74, 9), "AX:-   40");
  EXPECT_EQ(h.field(84, 9), "AY:-   25");
}

TEST(DstHeaderTest, EndRightOfAndBelowTheStartIsPositive) {
  const Header h = dstHeader(L"a", statsWith(5, 0, 100, 100, 0, 200, 0, 200, 160, 175));
  ASSERT_EQ(h.result, kDstHeaderOk);
  EXPECT_EQ(h.field(74, 9), "AX:+   60");
  EXPECT_EQ(h.field(84, 9), "AY:+   75");
}

TEST(DstHeaderTest, EndOnTheStartIsPlusZero) {
  const Header h = dstHeader(L"a", statsWith(5, 0, 100, -100, 0, 200, -200, 0, 100, -100));
  EXPECT_EQ(h.field(74, 9), "AX:+    0");
  EXPECT_EQ(h.field(84, 9), "AY:+    0");
}

TEST(DstHeaderTest, DesignAllAtTheStartHasNoExtent) {
  HXArray<HStitch> design;
  for (int i = 0; i < 4; ++i)
    design.add(HStitch(25, -40, C::Normal, 0));
  StitchStats stats;
  stats.setupStitchStats(design, 1, 0, 0);
  const Header h = dstHeader(L"a", stats);
  ASSERT_EQ(h.result, kDstHeaderOk);
  EXPECT_EQ(h.field(38, 35), "+X:    0\r-X:    0\r+Y:    0\r-Y:    0");
  EXPECT_EQ(h.field(74, 19), "AX:+    0\rAY:+    0");
  EXPECT_EQ(h.field(23, 7), "      4");
}

// --- Label --------------------------------------------------------------------------------

TEST(DstHeaderTest, LogoInAnyFolderWithExtensionDstIsLogoAndTwelveSpaces) {
  const std::string expected = "Logo            ";
  for (const wchar_t* name :
       {L"Logo.DST", L"C:\\designs\\Logo.DST", L"D:Logo.DST", L"/home/shop/2024/Logo.DST",
        L"..\\a.b\\Logo.DST", L"\\\\server\\share\\Logo.DST", L"x/y\\Logo.dst"}) {
    for (int ansi : {0, 1}) {
      const Header h = dstHeader(name, smallDesign(), ansi);
      ASSERT_EQ(h.result, kDstHeaderOk) << h.label();
      EXPECT_EQ(h.label(), expected) << "ansi " << ansi;
    }
    const InternalHeader in = internalHeader(name, smallDesign());
    ASSERT_EQ(in.result, kDstHeaderOk);
    EXPECT_EQ(in.text(19), "LA:" + expected);
  }
}

TEST(DstHeaderTest, OnlyTheLastExtensionIsDropped) {
  EXPECT_EQ(dstHeader(L"C:\\a\\Rose.v2.dst", smallDesign()).label(), "Rose.v2         ");
}

TEST(DstHeaderTest, EmptyNameGivesSixteenSpaces) {
  for (const wchar_t* name : {L"", L"C:\\designs\\", L"/tmp/", L"C:"}) {
    for (int ansi : {0, 1}) {
      const Header h = dstHeader(name, smallDesign(), ansi);
      ASSERT_EQ(h.result, kDstHeaderOk);
      EXPECT_EQ(h.label(), std::string(16, ' ')) << "ansi " << ansi;
    }
  }
}

TEST(DstHeaderTest, SixteenByteNamesAreKeptWhole) {
  EXPECT_EQ(dstHeader(L"ABCDEFGHIJKLMNOP.DST", smallDesign()).label(), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(dstHeader(L"ABCDEFGHIJKLMNOPQRSTUVWXYZ.DST", smallDesign()).label(),
            "ABCDEFGHIJKLMNOP");
  // Eight two-byte characters fill the 16 bytes exactly.
  EXPECT_EQ(dstHeader(L"\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9", smallDesign()).label(),
            "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
}

TEST(DstHeaderTest, Utf8LabelLosesWholeCharacters) {
  // 15 ASCII bytes and a two-byte character: 17 bytes; the character goes as a whole.
  EXPECT_EQ(dstHeader(L"ABCDEFGHIJKLMNO\u00d6.DST", smallDesign()).label(), "ABCDEFGHIJKLMNO ");
  // 14 ASCII bytes and a three-byte character: 17 bytes.
  EXPECT_EQ(dstHeader(L"ABCDEFGHIJKLMN\u20ac.DST", smallDesign()).label(), "ABCDEFGHIJKLMN  ");
  // 13 ASCII bytes and a four-byte character: 17 bytes.
  EXPECT_EQ(dstHeader(L"ABCDEFGHIJKLM\U0001F33C.DST", smallDesign()).label(), "ABCDEFGHIJKLM   ");
  // 14 ASCII bytes and a two-byte character fit.
  EXPECT_EQ(dstHeader(L"ABCDEFGHIJKLMN\u00d6.DST", smallDesign()).label(),
            "ABCDEFGHIJKLMN\xC3\x96");
  // Nine two-byte characters: 18 bytes, eight are kept.
  EXPECT_EQ(
      dstHeader(L"\u00fc\u00fc\u00fc\u00fc\u00fc\u00fc\u00fc\u00fc\u00fc", smallDesign()).label(),
      "\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC");
  // Six three-byte characters: 18 bytes, five are kept (15 bytes and a space).
  EXPECT_EQ(dstHeader(L"\u65e5\u65e5\u65e5\u65e5\u65e5\u65e5", smallDesign()).label(),
            "\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5 ");
}

TEST(DstHeaderTest, AnsiLabelIsWindows1252) {
  // One byte per character in the ANSI page: 16 characters fit, the 17th goes.
  EXPECT_EQ(dstHeader(L"ABCDEFGHIJKLMNO\u00d6.DST", smallDesign(), 1).label(),
            "ABCDEFGHIJKLMNO\xD6");
  EXPECT_EQ(dstHeader(L"ABCDEFGHIJKLMNO\u00d6Z.DST", smallDesign(), 1).label(),
            "ABCDEFGHIJKLMNO\xD6");
  // The euro sign is byte 0x80 in Windows-1252 (the legacy conversion would give '?').
  EXPECT_EQ(dstHeader(L"Caf\u00e9 \u20ac5", smallDesign(), 1).label(),
            "Caf\xE9 \x80"
            "5" +
                std::string(9, ' '));
}

TEST(DstHeaderTest, CharactersOutsideWindows1252TakeTheLegacyPathWithAnsiLabel) {
  // Omega is not in Windows-1252, so the name does not survive the round trip and the whole
  // name is converted the legacy way: the euro sign (above U+00FF) then becomes '?' as well.
  EXPECT_EQ(dstHeader(L"\u03a9\u20ac\u00e9", smallDesign(), 1).label(), "??\xE9             ");
  // U+0080 is not a Windows-1252 character either; the legacy conversion keeps it as 0x80.
  EXPECT_EQ(dstHeader(L"A\u0080B", smallDesign(), 1).label(),
            "A\x80"
            "B             ");
  // Without ansiLabel the same names are UTF-8.
  EXPECT_EQ(dstHeader(L"\u03a9\u20ac\u00e9", smallDesign(), 0).label(),
            "\xCE\xA9\xE2\x82\xAC\xC3\xA9         ");
}

TEST(DstHeaderTest, AnsiRoundTripIsJudgedOnTheShortenedName) {
  // The omega lies beyond the 16 characters that are kept; the kept part holds only
  // Windows-1252 characters, so the euro sign stays 0x80.
  EXPECT_EQ(dstHeader(L"ABCDEFGHIJKLMNO\u20acxx\u03a9", smallDesign(), 1).label(),
            "ABCDEFGHIJKLMNO\x80");
  // Within the kept part it sends the whole label the legacy way.
  EXPECT_EQ(dstHeader(L"ABCDEFGHIJKLMN\u03a9\u20acxx", smallDesign(), 1).label(),
            "ABCDEFGHIJKLMN??");
}

TEST(DstHeaderTest, LongNamesAreCut) {
  const std::wstring longName(1000, L'x');
  for (int ansi : {0, 1}) {
    const Header h = dstHeader(HString(L"C:\\" + longName + L".DST"), smallDesign(), ansi);
    ASSERT_EQ(h.result, kDstHeaderOk);
    EXPECT_EQ(h.label(), std::string(16, 'x'));
  }
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

TEST(DstHeaderTest, InternalHeaderOfTheSmallDesign) {
  ASSERT_EQ(kRoseInternalHeader.size(), 138u);
  const InternalHeader h = internalHeader(L"C:\\designs\\Rose.kvb", smallDesign());
  ASSERT_EQ(h.result, kDstHeaderOk);
  EXPECT_EQ(h.text(138), kRoseInternalHeader);
  EXPECT_EQ(h.bytes[138], '\0');
  EXPECT_EQ(h.bytes[139], kFill);  // nothing written past the terminator
  // The same as the file header up to the AY field and its CR.
  EXPECT_EQ(h.text(94), dstHeader(L"Rose", smallDesign()).text().substr(0, 94));
}

TEST(DstHeaderTest, InternalHeaderIsAlways138CharactersForExtremeStatistics) {
  const StitchStats extremes[] = {
      StitchStats(),
      statsWith(INT_MAX, 32767, -32768, -32768, 32767, -32768, 32767, -32768, 32767, 32767),
      statsWith(INT_MIN, -32768, 32767, 32767, -32768, 32767, -32768, 32767, -32768, -32768),
      statsWith(10000000, 1000, 0, 0, -32768, 32767, -32768, 32767, -32768, 32767),
      statsWith(0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
  };
  for (const StitchStats& stats : extremes) {
    for (int ascii : {0, 1}) {
      const InternalHeader h =
          internalHeader(L"\u65e5\u65e5\u65e5\u65e5\u65e5\u65e5", stats, ascii);
      ASSERT_EQ(h.result, kDstHeaderOk);
      EXPECT_EQ(std::find(h.bytes.begin(), h.bytes.end(), '\0') - h.bytes.begin(), 138);
      EXPECT_EQ(h.text(138).substr(94), "TP:EG/                             \rJC:3\rDO:");
    }
    StitchStats copy = stats;
    const Header file = dstHeader(L"Rose", copy);
    EXPECT_EQ(file.result, kDstHeaderOk);
    EXPECT_EQ(file.text().find('\0'), std::string::npos);
  }
}

TEST(DstHeaderTest, InternalHeaderLabelIsAsciiOrUtf8) {
  // ASCII copy: characters above 127 become '?', one byte each.
  EXPECT_EQ(internalHeader(L"Caf\u00e9\u65e5", smallDesign(), 1).text(19),
            "LA:Caf??" + std::string(11, ' '));
  EXPECT_EQ(internalHeader(L"ABCDEFGHIJKLMNO\u00d6Z", smallDesign(), 1).text(19),
            "LA:ABCDEFGHIJKLMNO?");
  // UTF-8, shortened to at most 16 bytes without splitting a character.
  EXPECT_EQ(internalHeader(L"ABCDEFGHIJKLMNO\u00d6", smallDesign(), 0).text(19),
            "LA:ABCDEFGHIJKLMNO ");
  EXPECT_EQ(internalHeader(L"Caf\u00e9", smallDesign(), 0).text(19), "LA:Caf\xC3\xA9           ");
  EXPECT_EQ(internalHeader(L"", smallDesign(), 0).text(19), "LA:" + std::string(16, ' '));
}

TEST(DstHeaderTest, InternalHeaderReportsAnyOtherSize) {
  // Shorter: the text is cut to `size` characters and a zero.
  InternalHeader h = internalHeader(L"Rose", smallDesign(), 0, 137);
  EXPECT_EQ(h.result, kDstHeaderWrongLength);
  EXPECT_EQ(h.text(137), kRoseInternalHeader.substr(0, 137));
  EXPECT_EQ(h.bytes[137], '\0');
  EXPECT_EQ(h.bytes[138], kFill);

  // Longer: the whole text, but not `size` characters.
  h = internalHeader(L"Rose", smallDesign(), 0, 200);
  EXPECT_EQ(h.result, kDstHeaderWrongLength);
  EXPECT_EQ(h.text(138), kRoseInternalHeader);
  EXPECT_EQ(h.bytes[138], '\0');

  // Above 512: lowered to 512, still not 138.
  h = internalHeader(L"Rose", smallDesign(), 0, 100000);
  EXPECT_EQ(h.result, kDstHeaderWrongLength);
  EXPECT_EQ(h.text(138), kRoseInternalHeader);

  // Zero: only the terminator; negative: nothing at all.
  h = internalHeader(L"Rose", smallDesign(), 0, 0);
  EXPECT_EQ(h.result, kDstHeaderWrongLength);
  EXPECT_EQ(h.bytes[0], '\0');
  EXPECT_EQ(h.bytes[1], kFill);
  for (int size : {-1, -2, INT_MIN}) {
    h = internalHeader(L"Rose", smallDesign(), 0, size);
    EXPECT_EQ(h.result, kDstHeaderWrongLength);
    EXPECT_EQ(h.bytes[0], kFill);
  }
}

}  // namespace
}  // namespace stitchkit
