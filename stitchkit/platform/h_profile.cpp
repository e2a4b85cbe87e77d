#include "stitchkit/platform/h_profile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace stitchkit {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The same characters HString::trimLeft and trimRight remove, so that a name or value
// trimmed as text and as bytes agree.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool isAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

char foldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (foldAscii(a[i]) != foldAscii(b[i])) return false;
  }
  return true;
}

// A section or key name being looked up, in both forms the comparison needs.
struct Name {
  explicit Name(const HString& name) : text(name) {
    text.trimLeft();
    text.trimRight();
    utf8 = strToUtf8(text);
    ascii = isAscii(utf8);
  }
  HString text;
  std::string utf8;
  bool ascii;
};

// Names compare as HString::compareNoCase does; plain ASCII names, the usual case, are
// compared as bytes without converting them.
bool matches(std::string_view stored, const Name& name) {
  if (equalAsciiNoCase(stored, name.utf8)) return true;
  if (name.ascii && isAscii(stored)) return false;
  return utf8ToStr(std::string(stored)).compareNoCase(name.text) == 0;
}

enum class LineKind { kOther, kSection, kKey };

struct Line {
  std::size_t begin = 0;       // first byte of the line
  std::size_t contentEnd = 0;  // end of the line without its CR LF or LF
  std::size_t end = 0;         // start of the next line
  bool terminated = false;     // the line ends with LF (the last line of a text may not)
  LineKind kind = LineKind::kOther;
  std::size_t nameBegin = 0, nameEnd = 0;    // section or key name, trimmed
  std::size_t valueBegin = 0, valueEnd = 0;  // key value, trimmed
};

// Walks the lines of a text once, front to back.
class LineScanner {
 public:
  explicit LineScanner(const std::string& text) : text_(text) {
    if (std::string_view(text_).starts_with(kByteOrderMark)) pos_ = kByteOrderMark.size();
  }

  bool next(Line& line) {
    if (pos_ >= text_.size()) return false;
    line = Line();
    line.begin = pos_;
    const void* nl = std::memchr(text_.data() + pos_, '\n', text_.size() - pos_);
    if (nl != nullptr) {
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(nl) - text_.data());
      line.terminated = true;
      line.end = at + 1;
      line.contentEnd = (at > pos_ && text_[at - 1] == '\r') ? at - 1 : at;
    } else {
      line.end = line.contentEnd = text_.size();
    }
    pos_ = line.end;
    classify(line);
    return true;
  }

  std::string_view name(const Line& line) const {
    return std::string_view(text_).substr(line.nameBegin, line.nameEnd - line.nameBegin);
  }
  std::string_view value(const Line& line) const {
    return std::string_view(text_).substr(line.valueBegin, line.valueEnd - line.valueBegin);
  }

 private:
  void trim(std::size_t& b, std::size_t& e) const {
    while (b < e && isBlank(text_[b]))
      ++b;
    while (e > b && isBlank(text_[e - 1]))
      --e;
  }

  void classify(Line& line) const {
    std::size_t i = line.begin;
    while (i < line.contentEnd && isBlank(text_[i]))
      ++i;
    if (i == line.contentEnd) return;
    const char first = text_[i];
    if (first == ';' || first == '#') return;
    if (first == '[') {
      const void* close = std::memchr(text_.data() + i + 1, ']', line.contentEnd - i - 1);
      if (close == nullptr) return;
      line.kind = LineKind::kSection;
      line.nameBegin = i + 1;
      line.nameEnd = static_cast<std::size_t>(static_cast<const char*>(close) - text_.data());
      trim(line.nameBegin, line.nameEnd);
      return;
    }
    const void* eq = std::memchr(text_.data() + i, '=', line.contentEnd - i);
    if (eq == nullptr) return;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(eq) - text_.data());
    line.nameBegin = i;
    line.nameEnd = at;
    trim(line.nameBegin, line.nameEnd);
    if (line.nameBegin == line.nameEnd) return;
    line.kind = LineKind::kKey;
    line.valueBegin = at + 1;
    line.valueEnd = line.contentEnd;
    trim(line.valueBegin, line.valueEnd);
  }

  const std::string& text_;
  std::size_t pos_ = 0;
};

HString cut(const HString& text, int maxLength) {
  if (maxLength <= 1) return HString();
  return text.length() < maxLength ? text : text.subString(0, maxLength - 1);
}

bool holds(const HString& text, const wchar_t* characters) {
  return text.findOneOf(HString(characters)) >= 0;
}

std::string lineEndingOf(const std::string& text) {
  const std::size_t nl = text.find('\n');
  return (nl != std::string::npos && nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
}

}  // namespace

HProfile::HProfile(const HString& path) : path_(path), hasFile_(true) {
  std::string native;
  try {
    native = toNativePath(path);
  } catch (...) {
    writable_ = false;
    return;
  }
  // Non-blocking, so that a FIFO in the file's place cannot stall the open.
  const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    // A missing file is an empty profile that the first setString creates.
    writable_ = errno == ENOENT;
    return;
  }
  writable_ = false;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
      static_cast<unsigned long long>(info.st_size) <= kProfileMaxFileSize) {
    try {
      // Room for one byte more than fstat reported, to notice a file that grew since; the
      // buffer grows further only up to one byte past the limit.
      std::string text(static_cast<std::size_t>(info.st_size) + 1, '\0');
      std::size_t got = 0;
      bool failed = false;
      for (;;) {
        if (got == text.size()) {
          if (text.size() > kProfileMaxFileSize) break;
          text.resize(std::min(text.size() * 2, kProfileMaxFileSize + 1));
        }
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
      }
      if (!failed && got <= kProfileMaxFileSize) {
        text.resize(got);
        text_ = std::move(text);
        writable_ = true;
      }
    } catch (const std::bad_alloc&) {
      text_.clear();
    }
  }
  ::close(fd);
}

HProfile HProfile::fromText(std::string_view utf8Text) {
  HProfile profile;
  if (utf8Text.size() <= kProfileMaxFileSize) {
    try {
      profile.text_.assign(utf8Text);
    } catch (const std::bad_alloc&) {
      profile.text_.clear();
    }
  }
  return profile;
}

HString HProfile::getString(const HString& section, const HString& key, int maxLength,
                            const HString& defaultValue) const {
  try {
    const Name sectionName(section);
    const Name keyName(key);
    if (sectionName.utf8.empty() || keyName.utf8.empty()) return cut(defaultValue, maxLength);
    LineScanner scanner(text_);
    Line line;
    bool inSection = false;
    while (scanner.next(line)) {
      if (line.kind == LineKind::kSection) {
        inSection = matches(scanner.name(line), sectionName);
      } else if (line.kind == LineKind::kKey && inSection && matches(scanner.name(line), keyName)) {
        return cut(utf8ToStr(std::string(scanner.value(line))), maxLength);
      }
    }
    return cut(defaultValue, maxLength);
  } catch (...) {
    return HString();
  }
}

int HProfile::setString(const HString& section, const HString& key, const HString& value) {
  try {
    const Name sectionName(section);
    const Name keyName(key);
    HString trimmedValue(value);
    trimmedValue.trimLeft();
    trimmedValue.trimRight();
    if (sectionName.utf8.empty() || keyName.utf8.empty()) return kProfileInvalidArgument;
    if (holds(sectionName.text, L"]\r\n") || holds(keyName.text, L"=\r\n") ||
        holds(trimmedValue, L"\r\n")) {
      return kProfileInvalidArgument;
    }
    const wchar_t lead = keyName.text[0];
    if (lead == L'[' || lead == L';' || lead == L'#') return kProfileInvalidArgument;
    const std::string valueUtf8 = strToUtf8(trimmedValue);

    LineScanner scanner(text_);
    Line line;
    bool inSection = false;
    bool inFirstSection = false;
    bool haveSection = false;
    Line anchor;  // the line a new key of the first matching section goes after
    bool replaced = false;
    while (scanner.next(line)) {
      if (line.kind == LineKind::kSection) {
        inSection = matches(scanner.name(line), sectionName);
        inFirstSection = inSection && !haveSection;
        if (inFirstSection) {
          haveSection = true;
          anchor = line;
        }
      } else if (line.kind == LineKind::kKey && inSection) {
        if (matches(scanner.name(line), keyName)) {
          text_.replace(line.valueBegin, line.valueEnd - line.valueBegin, valueUtf8);
          replaced = true;
          break;
        }
        if (inFirstSection) anchor = line;
      }
    }

    if (!replaced) {
      const std::string eol = lineEndingOf(text_);
      const std::string entry = keyName.utf8 + "=" + valueUtf8;
      if (haveSection) {
        text_.insert(anchor.end, anchor.terminated ? entry + eol : eol + entry);
      } else {
        std::string added;
        const bool onlyMark = text_ == kByteOrderMark;
        if (!text_.empty() && !onlyMark && text_.back() != '\n') added += eol;
        added += "[" + sectionName.utf8 + "]" + eol + entry + eol;
        text_ += added;
      }
    }
  } catch (...) {
    return kProfileNoMemory;
  }
  if (!hasFile_) return kProfileOk;
  if (!writable_) return kProfileWriteFailed;
  return writeFile();
}

int HProfile::writeFile() const {
  std::string native;
  try {
    native = toNativePath(path_);
  } catch (...) {
    return kProfileWriteFailed;
  }
  const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return kProfileWriteFailed;
  std::size_t done = 0;
  bool failed = false;
  while (done < text_.size()) {
    const ssize_t n = ::write(fd, text_.data() + done, text_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed = true;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) failed = true;
  return failed ? kProfileWriteFailed : kProfileOk;
}

}  // namespace stitchkit
