#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

// Fixed-position text fields of the condition blocks: numbers right-aligned and blank-padded,
// signed numbers as a sign and a 5-character magnitude. Every writer blanks its whole field
// first and never writes past it, so neighbouring lines and their CRs are never disturbed.
namespace stitchkit::detail {

inline constexpr int kSignedMagnitudeWidth = 5;
inline constexpr long kSignedMagnitudeMax = 99999;

// `text` at `field`, left-aligned in `width` blanks and cut to it.
inline void putText(char* field, std::size_t width, std::string_view text) {
  std::memset(field, ' ', width);
  std::memcpy(field, text.data(), std::min(width, text.size()));
}

// `value` right-aligned in `width` blanks (at most 15). The caller keeps the value within
// the width; a longer text keeps its last `width` characters.
inline void putNumber(char* field, std::size_t width, long value) {
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%*ld", static_cast<int>(width), value);
  const std::size_t size = length < 0 ? 0 : static_cast<std::size_t>(length);
  const std::size_t skip = size > width ? size - width : 0;
  putText(field, width, std::string_view(text + skip, size - skip));
}

// A sign character and the magnitude of `value`, clamped to 99999, in 5 characters.
inline void putSigned(char* field, long value) {
  field[0] = value < 0 ? '-' : '+';
  const long magnitude = value < 0 ? -value : value;
  putNumber(field + 1, kSignedMagnitudeWidth, std::min(magnitude, kSignedMagnitudeMax));
}

// The decimal number in `width` characters: blanks, an optional '-', digits, blanks. False
// when the field holds anything else or no digit.
inline bool readDecimal(const char* field, std::size_t width, long& value) {
  std::size_t i = 0;
  while (i < width && field[i] == ' ')
    ++i;
  const bool negative = i < width && field[i] == '-';
  if (negative) ++i;
  const std::size_t digitsStart = i;
  long result = 0;
  while (i < width && field[i] >= '0' && field[i] <= '9' && i - digitsStart < 9) {
    result = result * 10 + (field[i] - '0');
    ++i;
  }
  if (i == digitsStart) return false;
  while (i < width && field[i] == ' ')
    ++i;
  if (i != width) return false;
  value = negative ? -result : result;
  return true;
}

// A signed number: any sign character other than '+' makes the magnitude negative.
inline bool readSigned(const char* field, long& value) {
  long magnitude = 0;
  if (!readDecimal(field + 1, kSignedMagnitudeWidth, magnitude) || magnitude < 0) return false;
  value = field[0] == '+' ? magnitude : -magnitude;
  return true;
}

inline bool isBlank(const char* field, std::size_t width) {
  return std::all_of(field, field + width, [](char c) { return c == ' '; });
}

}  // namespace stitchkit::detail
