#include "stitchkit/platform/h_string.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::bytesOf;

TEST(HStringConversion, CodePagesRoundTripAndMarkWhatTheyCannotHold) {
  struct Case {
    const wchar_t* text;
    unsigned codePage;
    std::string encoded;
    const wchar_t* decoded;  // what the encoded bytes read back as
  };
  const Case cases[] = {
      {L"Logo", kCodePageUtf8, "Logo", L"Logo"},
      {L"\u00e9\u20ac", kCodePageUtf8, bytesOf({0xC3, 0xA9, 0xE2, 0x82, 0xAC}), L"\u00e9\u20ac"},
      {L"\U0001F600", kCodePageUtf8, bytesOf({0xF0, 0x9F, 0x98, 0x80}), L"\U0001F600"},
      {L"\u00e9\u20ac", kCodePageAnsi, bytesOf({0xE9, 0x80}), L"\u00e9\u20ac"},
      {L"a\u3042b", kCodePageAnsi, "a?b", L"a?b"},
      {L"\u65e5\u672c", kCodePageMultiByte, bytesOf({0x93, 0xFA, 0x96, 0x7B}), L"\u65e5\u672c"},
      {L"\uff71", kCodePageMultiByte, bytesOf({0xB1}), L"\uff71"},  // half-width katakana
      {L"x\u00e9y", kCodePageMultiByte, "x?y", L"x?y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codePage);
    const HMultiByteString encoded = wideToMbs(c.text, c.codePage);
    EXPECT_EQ(encoded, c.encoded);
    EXPECT_EQ(mbsToWide(encoded, c.codePage), HWideString(c.decoded));
  }
}

TEST(HStringConversion, InvalidBytesDecodeAsQuestionMarks) {
  struct Case {
    std::string input;
    unsigned codePage;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {bytesOf({'a', 0xC3}), kCodePageUtf8, L"a?"},          // cut multi-byte sequence
      {bytesOf({0xC0, 0xAF}), kCodePageUtf8, L"??"},         // overlong form
      {bytesOf({0xED, 0xA0, 0x80}), kCodePageUtf8, L"???"},  // encoded surrogate
      {bytesOf({0xFF, 'z'}), kCodePageUtf8, L"?z"},
      {bytesOf({0x81}), kCodePageAnsi, L"?"},             // undefined in Windows-1252
      {bytesOf({'k', 0x93}), kCodePageMultiByte, L"k?"},  // lead byte without trail
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mbsToWide(c.input, c.codePage), HWideString(c.expected));
  }
}

TEST(HStringConversion, NamedConversionsUseTheirPages) {
  const HString text(L"\u65e5\u00e9");
  EXPECT_EQ(strToUtf8(text), bytesOf({0xE6, 0x97, 0xA5, 0xC3, 0xA9}));
  EXPECT_EQ(strToMbs(text), bytesOf({0x93, 0xFA, '?'}));
  EXPECT_EQ(mbsToStr(bytesOf({0x93, 0xFA})), HString(L"\u65e5"));
  EXPECT_EQ(text.getAnsi(), bytesOf({'?', 0xE9}));
  EXPECT_EQ(text.getAscii(), "??");
  EXPECT_EQ(writeOldWideToMbs(L"\u00e9\u20ac"), bytesOf({0xE9, '?'}));
  EXPECT_EQ(HString("caf\xC3\xA9"), HString(L"caf\u00e9"));  // narrow text is UTF-8
}

// Wide text from a list of code points (escaped bytes are lone surrogates, which a literal
// cannot spell).
HWideString wideOf(std::initializer_list<int> codes) {
  HWideString out;
  for (int c : codes)
    out += static_cast<wchar_t>(c);
  return out;
}

TEST(HStringConversion, PathsKeepEveryByte) {
  struct Case {
    std::string native;
    HWideString wide;  // what fromNativePath makes of it
  };
  const Case cases[] = {
      {"a/b.dst", L"a/b.dst"},
      {bytesOf({'B', 'l', 0xC3, 0xBC, 't', 'e'}), L"Bl\u00fcte"},  // UTF-8 stays text
      {bytesOf({'B', 'l', 0xFC, 't', 'e'}), wideOf({'B', 'l', 0xDCFC, 't', 'e'})},  // Latin-1
      {bytesOf({'a', 0xC3}), wideOf({'a', 0xDCC3})},                                // cut sequence
      {bytesOf({0xC0, 0xAF}), wideOf({0xDCC0, 0xDCAF})},                            // overlong form
      {bytesOf({0xED, 0xA0, 0x80}), wideOf({0xDCED, 0xDCA0, 0xDC80})},  // encoded surrogate
      {bytesOf({0xE6, 0x97, 0xFF, 'x'}), wideOf({0xDCE6, 0xDC97, 0xDCFF, 'x'})},  // broken
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.native);
    const HString wide = fromNativePath(c.native);
    EXPECT_EQ(wide.wide(), c.wide);
    EXPECT_EQ(toNativePath(wide), c.native);
  }
  // Text that no path gave keeps its UTF-8 form; other lone surrogates cannot be encoded.
  EXPECT_EQ(toNativePath(HString(wideOf({0x65E5, 0xD800}))), bytesOf({0xE6, 0x97, 0xA5, '?'}));
}

TEST(HStringConversion, CuttingToABytesLimitNeverSplitsACharacter) {
  struct Case {
    const wchar_t* text;
    unsigned codePage;
    std::size_t expectedBytes;
  };
  const Case cases[] = {
      {L"Logo", kCodePageUtf8, 4},
      {L"abcdefghijklmnopqrstuvwxyz", kCodePageUtf8, 16},
      {L"\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4", kCodePageUtf8, 16},  // 18 bytes
      {L"a\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4", kCodePageUtf8, 15},       // 17 bytes
      {L"\u65e5\u672c\u8a9e\u65e5\u672c\u8a9e", kCodePageUtf8, 15},  // 3 bytes each
      {L"abcdefghijklmn\U0001F600", kCodePageUtf8, 14},              // 4-byte tail
      {L"\u65e5\u672c\u8a9e\u65e5\u672c\u8a9e\u65e5\u672c\u8a9e", kCodePageMultiByte, 16},
      {L"a\u65e5\u672c\u8a9e\u65e5\u672c\u8a9e\u65e5\u672c", kCodePageMultiByte, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case with " << wcslen(c.text) << " characters");
    const HMultiByteString cut = encodeWithin(c.text, 16, c.codePage);
    EXPECT_EQ(cut.size(), c.expectedBytes);
    // Whatever was kept decodes back to a prefix of the original, with no replacement mark.
    const HWideString back = mbsToWide(cut, c.codePage);
    EXPECT_EQ(HWideString(c.text).substr(0, back.size()), back);
  }
}

TEST(HString, EditingAndSearching) {
  HString s(L"  Stitch Kit \t");
  s.trimLeft();
  EXPECT_EQ(s, L"Stitch Kit \t");
  s.trimRight();
  EXPECT_EQ(s, L"Stitch Kit");
  EXPECT_EQ(s.findString(L"Kit"), 7);
  EXPECT_EQ(s.findString(L"Kit", 8), -1);
  EXPECT_EQ(s.findString(L"x", 99), -1);
  EXPECT_EQ(s.findOneOf(L" K"), 6);
  EXPECT_EQ(s.findLast(L't'), 9);
  EXPECT_EQ(s.subString(7), L"Kit");
  EXPECT_EQ(s.subString(-3, 2), L"St");
  EXPECT_EQ(s.subString(8, 100), L"it");
  EXPECT_TRUE(s.subString(50).isEmpty());
  EXPECT_EQ(HString(3, L' '), L"   ");
  EXPECT_TRUE(HString(-1, L'x').isEmpty());
  EXPECT_EQ(HString(L"abc").compareNoCase(L"ABC"), 0);
  EXPECT_LT(HString(L"abc").compareNoCase(L"ABD"), 0);
  EXPECT_NE(HString(L"Normal"), HString(L"normal"));
  EXPECT_TRUE(HString(L"a") < HString(L"b"));
  EXPECT_EQ(HString(L"ab") + HString(L"cd"), L"abcd");
  EXPECT_TRUE(HString(static_cast<const wchar_t*>(nullptr)).isEmpty());
}

TEST(HString, FormatsWithWideFormats) {
  HString s;
  EXPECT_EQ(s.set(L"%i|%5.1f|%ls", -12, 3.25, L"x\u00e9"), 12);
  EXPECT_EQ(s, L"-12|  3.2|x\u00e9");
  // Longer than the first buffer.
  EXPECT_EQ(s.set(L"%0600d", 7), 600);
  EXPECT_EQ(s[599], L'7');
}

TEST(HString, CopyStringRespectsTheBuffer) {
  const HString s(L"caf\u00e9!");
  char buffer[5] = {'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(s.copyString(buffer, 5), 4);
  EXPECT_EQ(std::string(buffer), bytesOf({'c', 'a', 'f', 0xE9}));
  EXPECT_EQ(s.copyString(buffer, 1), 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(s.copyString(nullptr, 5), -1);
  EXPECT_EQ(s.copyString(buffer, 0), -1);
}

}  // namespace
}  // namespace stitchkit
