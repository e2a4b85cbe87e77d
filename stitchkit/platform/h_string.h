#pragma once

#include <cstddef>
#include <string>

namespace stitchkit {

// Narrow text in some code page, and wide text (one wchar_t per Unicode code point).
using HMultiByteString = std::string;
using HWideString = std::wstring;

// Code pages the conversions understand, by their Windows numbers.
inline constexpr unsigned kCodePageAnsi = 1252;      // Windows-1252, the "ANSI" page
inline constexpr unsigned kCodePageMultiByte = 932;  // CP932 (Shift-JIS), the "multibyte" page
inline constexpr unsigned kCodePageUtf8 = 65001;

// Wide-character string.
//
// Narrow text given to the constructor is read as UTF-8. Comparison is ordinal and
// case-sensitive unless a function says otherwise. Indexes are int; functions that take a
// position clamp it to the string instead of failing.
class HString {
 public:
  HString() = default;
  HString(const wchar_t* text);  // NOLINT(google-explicit-constructor): text literals
  HString(const char* utf8);     // NOLINT(google-explicit-constructor)
  HString(const HWideString& text) : text_(text) {}        // NOLINT(google-explicit-constructor)
  HString(HWideString&& text) : text_(std::move(text)) {}  // NOLINT(google-explicit-constructor)
  // `count` copies of the character `character` (none when count <= 0).
  HString(int count, int character);

  HString& operator+=(const HString& other) {
    text_ += other.text_;
    return *this;
  }
  HString& operator+=(wchar_t c) {
    text_ += c;
    return *this;
  }

  bool operator==(const HString& other) const { return text_ == other.text_; }
  bool operator==(const wchar_t* other) const;
  bool operator<(const HString& other) const { return text_ < other.text_; }

  int length() const { return static_cast<int>(text_.size()); }
  bool isEmpty() const { return text_.empty(); }

  // Up to `count` characters from `start`; count < 0 means to the end.
  HString subString(int start, int count = -1) const;
  // Index of the first occurrence of `what` at or after `start`, or -1.
  int findString(const HString& what, int start = 0) const;
  // Index of the first character at or after `start` that is one of `characters`, or -1.
  int findOneOf(const HString& characters, int start = 0) const;
  // Index of the last occurrence of `c`, or -1.
  int findLast(wchar_t c) const;
  // Remove leading / trailing white space (space, tab, CR, LF, vertical tab, form feed).
  HString& trimLeft();
  HString& trimRight();
  HString& makeUpper();
  HString& makeLower();
  // Case-insensitive comparison: <0, 0 or >0.
  int compareNoCase(const HString& other) const;

  // Character at `index`; requires 0 <= index < length().
  wchar_t operator[](int index) const { return text_[static_cast<std::size_t>(index)]; }
  wchar_t& operator[](int index) { return text_[static_cast<std::size_t>(index)]; }

  // printf-style formatting with a wide format (on this platform "%ls" prints wide text and
  // "%s" narrow text). Returns the new length, or -1 when the format fails.
  int set(const wchar_t* format, ...);

  const wchar_t* c_str() const { return text_.c_str(); }
  explicit operator const wchar_t*() const { return text_.c_str(); }
  const HWideString& wide() const { return text_; }

  // Narrow copies: ASCII (characters above 127 become '?') and ANSI (Windows-1252,
  // characters the page lacks become '?').
  HMultiByteString getAscii() const;
  HMultiByteString getAnsi() const;
  // Copies the ANSI form into `buffer`, at most size - 1 bytes and a terminating zero.
  // Returns the number of bytes copied without the terminator, or -1 when buffer is null or
  // size < 1.
  int copyString(char* buffer, int size) const;

 private:
  HWideString text_;
};

HString operator+(const HString& a, const HString& b);
inline bool operator!=(const HString& a, const HString& b) {
  return !(a == b);
}
inline bool operator!=(const HString& a, const wchar_t* b) {
  return !(a == b);
}

// Conversions. Encoding: characters that the target page cannot hold become '?'.
// Decoding: byte sequences that are invalid in the source page become '?'.
HWideString strToWide(const HString& text);
HMultiByteString strToMbs(const HString& text);  // to the multibyte page (CP932)
HMultiByteString strToUtf8(const HString& text);
HString mbsToStr(const HMultiByteString& text);  // from the multibyte page (CP932)
HString utf8ToStr(const HMultiByteString& text);
HMultiByteString wideToMbs(const HWideString& text, unsigned codePage);
HWideString mbsToWide(const HMultiByteString& text, unsigned codePage);
// The legacy narrow conversion: each character up to U+00FF becomes the byte of the same
// value, anything else '?'. Never fails.
HMultiByteString writeOldWideToMbs(const HWideString& text);

// Encodes `text` in `codePage`, dropping characters from its end until the encoded form is
// at most `maxBytes` long, so that a multi-byte character is never split.
HMultiByteString encodeWithin(const HString& text, std::size_t maxBytes, unsigned codePage);

// Paths are bytes to the system. fromNativePath reads a path's bytes as UTF-8 and keeps each
// byte that is not part of valid UTF-8 as a code point of its own (U+DC80 to U+DCFF, lone
// surrogates that no text holds); toNativePath gives the UTF-8 form back with those bytes
// restored. So any name the system or the command line gives survives the round trip
// unchanged, also one in another encoding.
HString fromNativePath(const std::string& path);
std::string toNativePath(const HString& path);

}  // namespace stitchkit
