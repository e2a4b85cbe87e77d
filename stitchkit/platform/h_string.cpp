#include "stitchkit/platform/h_string.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace stitchkit {
namespace {

bool isSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

// UTF-8 is converted here directly; the other pages go through iconv.
void appendUtf8(HMultiByteString& out, char32_t c) {
  if (c >= 0xD800 && c <= 0xDFFF) c = U'?';  // lone surrogates cannot be encoded
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c <= 0x10FFFF) {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += '?';
  }
}

// A byte that is not part of valid UTF-8, held in a path as a code point no text holds (a
// lone low surrogate), so that a path's bytes survive the trip through wide text.
constexpr char32_t kEscapedByteBase = 0xDC00;
constexpr char32_t kFirstEscapedByte = kEscapedByteBase + 0x80;
constexpr char32_t kLastEscapedByte = kEscapedByteBase + 0xFF;

// With `unescapeBytes`, the escaped bytes of a path are given back as the bytes they were.
HMultiByteString wideToUtf8(const HWideString& text, bool unescapeBytes = false) {
  HMultiByteString out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    const auto code = static_cast<char32_t>(c);
    if (unescapeBytes && code >= kFirstEscapedByte && code <= kLastEscapedByte) {
      out += static_cast<char>(code - kEscapedByteBase);
    } else {
      appendUtf8(out, code);
    }
  }
  return out;
}

// Each byte that is not part of valid UTF-8 becomes '?', or with `escapeBytes` its escaped
// form (see kEscapedByteBase).
HWideString utf8ToWide(const HMultiByteString& text, bool escapeBytes = false) {
  const auto invalid = [escapeBytes](unsigned char byte) {
    return escapeBytes ? static_cast<wchar_t>(kEscapedByteBase + byte) : L'?';
  };
  HWideString out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char b = *p;
    int extra;
    char32_t c;
    char32_t minimum;
    if (b < 0x80) {
      out += static_cast<wchar_t>(b);
      ++p;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F, minimum = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F, minimum = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07, minimum = 0x10000;
    } else {
      out += invalid(b);
      ++p;
      continue;
    }
    if (end - p <= extra) {
      // A sequence cut by the end of the text: '?' for all of it, or each byte escaped.
      out += invalid(b);
      if (!escapeBytes) break;
      ++p;
      continue;
    }
    bool valid = true;
    for (int i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (p[i] & 0x3F);
    }
    if (!valid || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += invalid(b);
      ++p;
      continue;
    }
    out += static_cast<wchar_t>(c);
    p += extra + 1;
  }
  return out;
}

// One iconv descriptor per thread, page and direction, opened on first use.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`, replacing every unconvertible unit of `unitSize` input bytes with
  // `replacement`.
  template <typename Out>
  Out run(const char* in, std::size_t inSize, std::size_t unitSize,
          const typename Out::value_type replacement) {
    Out result;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> buffer(inSize * 4 + 16);
    char* inPtr = const_cast<char*>(in);
    std::size_t inLeft = inSize;
    while (inLeft > 0) {
      char* outPtr = buffer.data();
      std::size_t outLeft = buffer.size();
      const std::size_t r = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      const int error = errno;
      appendBytes(result, buffer.data(), buffer.size() - outLeft);
      if (r != static_cast<std::size_t>(-1)) break;
      if (error == E2BIG) continue;
      // EILSEQ or EINVAL: skip one unit and mark it.
      result += replacement;
      const std::size_t skip = std::min(unitSize, inLeft);
      inPtr += skip;
      inLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return result;
  }

 private:
  static void appendBytes(HMultiByteString& out, const char* bytes, std::size_t n) {
    out.append(bytes, n);
  }
  static void appendBytes(HWideString& out, const char* bytes, std::size_t n) {
    const std::size_t count = n / sizeof(wchar_t);
    const std::size_t start = out.size();
    out.resize(start + count);
    std::copy(bytes, bytes + count * sizeof(wchar_t), reinterpret_cast<char*>(&out[start]));
  }

  iconv_t cd_;
};

Converter* encoderFor(unsigned codePage) {
  thread_local Converter ansi("CP1252", "WCHAR_T");
  thread_local Converter multiByte("CP932", "WCHAR_T");
  return codePage == kCodePageAnsi ? &ansi : codePage == kCodePageMultiByte ? &multiByte : nullptr;
}

Converter* decoderFor(unsigned codePage) {
  thread_local Converter ansi("WCHAR_T", "CP1252");
  thread_local Converter multiByte("WCHAR_T", "CP932");
  return codePage == kCodePageAnsi ? &ansi : codePage == kCodePageMultiByte ? &multiByte : nullptr;
}

}  // namespace

HString::HString(const wchar_t* text) {
  if (text != nullptr) text_ = text;
}

HString::HString(const char* utf8) {
  if (utf8 != nullptr) text_ = utf8ToWide(utf8);
}

HString::HString(int count, int character) {
  if (count > 0) text_.assign(static_cast<std::size_t>(count), static_cast<wchar_t>(character));
}

bool HString::operator==(const wchar_t* other) const {
  return other == nullptr ? text_.empty() : text_ == other;
}

HString HString::subString(int start, int count) const {
  const int size = length();
  if (start < 0) start = 0;
  if (start >= size) return HString();
  if (count < 0 || count > size - start) count = size - start;
  return HString(text_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count)));
}

int HString::findString(const HString& what, int start) const {
  if (start < 0) start = 0;
  if (start > length()) return -1;
  const std::size_t at = text_.find(what.text_, static_cast<std::size_t>(start));
  return at == HWideString::npos ? -1 : static_cast<int>(at);
}

int HString::findOneOf(const HString& characters, int start) const {
  if (start < 0) start = 0;
  if (start >= length()) return -1;
  const std::size_t at = text_.find_first_of(characters.text_, static_cast<std::size_t>(start));
  return at == HWideString::npos ? -1 : static_cast<int>(at);
}

int HString::findLast(wchar_t c) const {
  const std::size_t at = text_.rfind(c);
  return at == HWideString::npos ? -1 : static_cast<int>(at);
}

HString& HString::trimLeft() {
  std::size_t i = 0;
  while (i < text_.size() && isSpace(text_[i]))
    ++i;
  text_.erase(0, i);
  return *this;
}

HString& HString::trimRight() {
  std::size_t n = text_.size();
  while (n > 0 && isSpace(text_[n - 1]))
    --n;
  text_.resize(n);
  return *this;
}

HString& HString::makeUpper() {
  for (wchar_t& c : text_)
    c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return *this;
}

HString& HString::makeLower() {
  for (wchar_t& c : text_)
    c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return *this;
}

int HString::compareNoCase(const HString& other) const {
  const std::size_t n = std::min(text_.size(), other.text_.size());
  for (std::size_t i = 0; i < n; ++i) {
    const wint_t a = std::towlower(static_cast<wint_t>(text_[i]));
    const wint_t b = std::towlower(static_cast<wint_t>(other.text_[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  if (text_.size() == other.text_.size()) return 0;
  return text_.size() < other.text_.size() ? -1 : 1;
}

int HString::set(const wchar_t* format, ...) {
  if (format == nullptr) {
    text_.clear();
    return 0;
  }
  std::vector<wchar_t> buffer(256);
  // vswprintf reports truncation only as failure, so grow until the text fits.
  for (;;) {
    va_list args;
    va_start(args, format);
    const int n = std::vswprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    if (n >= 0) {
      text_.assign(buffer.data(), static_cast<std::size_t>(n));
      return n;
    }
    if (buffer.size() >= (1u << 20)) {
      text_.clear();
      return -1;
    }
    buffer.resize(buffer.size() * 4);
  }
}

HMultiByteString HString::getAscii() const {
  HMultiByteString out;
  out.reserve(text_.size());
  for (wchar_t c : text_)
    out += (c >= 0 && c < 0x80) ? static_cast<char>(c) : '?';
  return out;
}

HMultiByteString HString::getAnsi() const {
  return wideToMbs(text_, kCodePageAnsi);
}

int HString::copyString(char* buffer, int size) const {
  if (buffer == nullptr || size < 1) return -1;
  const HMultiByteString ansi = getAnsi();
  const std::size_t n = std::min(ansi.size(), static_cast<std::size_t>(size - 1));
  std::copy(ansi.begin(), ansi.begin() + static_cast<std::ptrdiff_t>(n), buffer);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

HString operator+(const HString& a, const HString& b) {
  HString result(a);
  result += b;
  return result;
}

HWideString strToWide(const HString& text) {
  return text.wide();
}
HMultiByteString strToMbs(const HString& text) {
  return wideToMbs(text.wide(), kCodePageMultiByte);
}
HMultiByteString strToUtf8(const HString& text) {
  return wideToUtf8(text.wide());
}
HString mbsToStr(const HMultiByteString& text) {
  return HString(mbsToWide(text, kCodePageMultiByte));
}
HString utf8ToStr(const HMultiByteString& text) {
  return HString(utf8ToWide(text));
}
HString fromNativePath(const std::string& path) {
  return HString(utf8ToWide(path, true));
}
std::string toNativePath(const HString& path) {
  return wideToUtf8(path.wide(), true);
}

HMultiByteString wideToMbs(const HWideString& text, unsigned codePage) {
  if (codePage == kCodePageUtf8) return wideToUtf8(text);
  Converter* converter = encoderFor(codePage);
  if (converter == nullptr || !converter->ok()) return writeOldWideToMbs(text);
  return converter->run<HMultiByteString>(reinterpret_cast<const char*>(text.data()),
                                          text.size() * sizeof(wchar_t), sizeof(wchar_t), '?');
}

HWideString mbsToWide(const HMultiByteString& text, unsigned codePage) {
  if (codePage == kCodePageUtf8) return utf8ToWide(text);
  Converter* converter = decoderFor(codePage);
  if (converter == nullptr || !converter->ok()) {
    HWideString out;
    for (unsigned char c : text)
      out += static_cast<wchar_t>(c);
    return out;
  }
  return converter->run<HWideString>(text.data(), text.size(), 1, L'?');
}

HMultiByteString writeOldWideToMbs(const HWideString& text) {
  HMultiByteString out;
  out.reserve(text.size());
  for (wchar_t c : text)
    out += (c >= 0 && c <= 0xFF) ? static_cast<char>(c) : '?';
  return out;
}

HMultiByteString encodeWithin(const HString& text, std::size_t maxBytes, unsigned codePage) {
  HWideString name = text.wide();
  for (;;) {
    HMultiByteString encoded = wideToMbs(name, codePage);
    if (encoded.size() <= maxBytes) return encoded;
    name.pop_back();
  }
}

}  // namespace stitchkit
