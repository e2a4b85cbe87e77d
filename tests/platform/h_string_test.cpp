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
      {L"\u07ff\u0800", kCodePageUtf8, bytesOf({0xDF, 0xBF, 0xE0, 0xA0, 0x80}), L"\u07ff\u0800"},
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
