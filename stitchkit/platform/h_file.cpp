#include "stitchkit/platform/h_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "stitchkit/platform/replacement_file.h"

namespace stitchkit {
namespace {

bool isSeparator(wchar_t c) {
  return c == L'/' || c == L'\\';
}

// Read or write until `size` bytes have moved, the end of the file, or an error (whose
// errno goes to `error`); return the count moved.
int readAll(int fd, void* buffer, int size, int& error) {
  int done = 0;
  while (done < size) {
    const ssize_t n =
        ::read(fd, static_cast<char*>(buffer) + done, static_cast<std::size_t>(size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    done += static_cast<int>(n);
  }
  return done;
}

int writeAll(int fd, const void* buffer, int size, int& error) {
  int done = 0;
  while (done < size) {
    const ssize_t n =
        ::write(fd, static_cast<const char*>(buffer) + done, static_cast<std::size_t>(size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    done += static_cast<int>(n);
  }
  return done;
}

// Index in `name` where the extension starts (its last dot, unless that dot is one of the
// name's leading dots), or name.length() when it has none.
int extensionStart(const HString& name) {
  int firstOther = 0;
  while (firstOther < name.length() && name[firstOther] == L'.')
    ++firstOther;
  const int dot = name.findLast(L'.');
  return dot > firstOther ? dot : name.length();
}

// Case-insensitive wildcard match ('*' any run, '?' any one character). Backtracks only to
// the most recent '*', so the cost stays within name length times pattern length.
bool wildcardMatch(const std::wstring& name, const std::wstring& pattern) {
  auto same = [](wchar_t a, wchar_t b) {
    return std::towlower(static_cast<wint_t>(a)) == std::towlower(static_cast<wint_t>(b));
  };
  std::size_t n = 0, p = 0;
  std::size_t star = std::wstring::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == L'?' || same(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (star != std::wstring::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*')
    ++p;
  return p == pattern.size();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// HFile

HFile::~HFile() {
  close();
}

HFile::HFile(HFile&& other) noexcept : fd_(other.fd_), error_(other.error_) {
  other.fd_ = -1;
}

HFile& HFile::operator=(HFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    error_ = other.error_;
    other.fd_ = -1;
  }
  return *this;
}

bool HFile::open(const HString& path, unsigned access, int creation, unsigned /*share*/) {
  close();
  const bool reading = (access & kGenericRead) != 0;
  const bool writing = (access & kGenericWrite) != 0;
  int flags = O_CLOEXEC;
  if (reading && writing) {
    flags |= O_RDWR;
  } else if (writing) {
    flags |= O_WRONLY;
  } else if (reading) {
    flags |= O_RDONLY;
  } else {
    error_ = EINVAL;
    return false;
  }
  switch (creation) {
    case kCreateNew:
      flags |= O_CREAT | O_EXCL;
      break;
    case kCreateAlways:
      flags |= O_CREAT | O_TRUNC;
      break;
    case kOpenExisting:
      break;
    case kOpenAlways:
      flags |= O_CREAT;
      break;
    case kTruncateExisting:
      flags |= O_TRUNC;
      break;
    default:
      error_ = EINVAL;
      return false;
  }
  if ((flags & O_TRUNC) != 0 && !writing) {
    error_ = EINVAL;
    return false;
  }
  std::string native;
  try {
    native = toNativePath(path);
  } catch (...) {
    error_ = ENOMEM;
    return false;
  }
  const int fd = ::open(native.c_str(), flags, 0666);
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    error_ = S_ISDIR(info.st_mode) ? EISDIR : errno;
    ::close(fd);
    return false;
  }
  fd_ = fd;
  error_ = 0;
  return true;
}

int HFile::read(void* buffer, int size) {
  if (fd_ < 0 || buffer == nullptr || size <= 0) return 0;
  return readAll(fd_, buffer, size, error_);
}

int HFile::write(const void* buffer, int size) {
  if (fd_ < 0 || buffer == nullptr || size <= 0) return 0;
  return writeAll(fd_, buffer, size, error_);
}

std::int64_t HFile::position() const {
  if (fd_ < 0) return -1;
  const off_t at = ::lseek(fd_, 0, SEEK_CUR);
  return at < 0 ? -1 : static_cast<std::int64_t>(at);
}

std::int64_t HFile::length() const {
  if (fd_ < 0) return -1;
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

bool HFile::seek(std::int64_t offset) {
  if (fd_ < 0 || offset < 0) return false;
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    error_ = errno;
    return false;
  }
  return true;
}

bool HFile::close() {
  if (fd_ < 0) return true;
  const int r = ::close(fd_);
  fd_ = -1;
  if (r != 0) {
    error_ = errno;
    return false;
  }
  return true;
}

bool HFile::copy(const HString& from, const HString& to, bool overwrite) {
  std::string source, target;
  try {
    source = toNativePath(from);
    target = toNativePath(to);
  } catch (...) {
    return false;
  }
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat sourceInfo {};
  if (::fstat(in, &sourceInfo) != 0 || S_ISDIR(sourceInfo.st_mode)) {
    ::close(in);
    return false;
  }
  // Refuse to copy a file onto itself: truncating the target would destroy the source.
  struct stat targetInfo {};
  if (::stat(target.c_str(), &targetInfo) == 0 && targetInfo.st_dev == sourceInfo.st_dev &&
      targetInfo.st_ino == sourceInfo.st_ino) {
    ::close(in);
    return false;
  }
  // An existing target is replaced by renaming a finished copy over it, never truncated:
  // when the copy fails (a full disk, a file-size limit) the target keeps what it held.
  const bool targetExists = ::stat(target.c_str(), &targetInfo) == 0;
  std::optional<ReplacementFile> replacement;
  std::string written = target;
  int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
  if (overwrite) {
    try {
      replacement.emplace(to);
      written = toNativePath(replacement->path());
    } catch (...) {
      ::close(in);
      return false;
    }
    if (!replacement->isCreated()) {
      ::close(in);
      return false;
    }
    flags = O_WRONLY | O_TRUNC | O_CLOEXEC;
  }
  const int out = ::open(written.c_str(), flags, sourceInfo.st_mode & 07777);
  if (out < 0) {
    ::close(in);
    return false;
  }
  if (overwrite && !targetExists) static_cast<void>(::fchmod(out, sourceInfo.st_mode & 07777));
  bool ok = true;
  std::vector<char> buffer;
  try {
    buffer.resize(64 * 1024);
  } catch (...) {
    ok = false;
  }
  int error = 0;
  while (ok) {
    const int n = readAll(in, buffer.data(), static_cast<int>(buffer.size()), error);
    if (error != 0) ok = false;
    if (n <= 0) break;
    if (writeAll(out, buffer.data(), n, error) != n) ok = false;
  }
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (replacement) return ok && replacement->commit() == 0;
  // Without overwrite the target is a file this call created: a failed copy removes it.
  if (!ok) ::unlink(target.c_str());
  return ok;
}

// ---------------------------------------------------------------------------------------------
// HTemporaryFileManager

HTemporaryFileManager::HTemporaryFileManager(const HString& prefix, int /*reserved*/) {
  try {
    for (int i = 0; i < prefix.length() && i < 32; ++i) {
      prefix_ += isSeparator(prefix[i]) ? L'_' : prefix[i];
    }
    const char* env = ::getenv("TMPDIR");
    struct stat info {};
    if (env != nullptr && *env != '\0' && ::stat(env, &info) == 0 && S_ISDIR(info.st_mode)) {
      directory_ = fromNativePath(env);
    } else {
      directory_ = HString(L"/tmp");
    }
    const std::string native = toNativePath(directory_);
    ok_ = ::stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
          ::access(native.c_str(), W_OK | X_OK) == 0;
    if (directory_.length() > 1 && isSeparator(directory_[directory_.length() - 1])) {
      directory_ = directory_.subString(0, directory_.length() - 1);
    }
  } catch (...) {
    ok_ = false;
  }
}

HString HTemporaryFileManager::getFilePath() {
  if (!ok_) return HString();
  try {
    std::string pattern = toNativePath(directory_ + HString(L"/") + prefix_) + "XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return HString();
    ::close(fd);
    return fromNativePath(pattern);
  } catch (...) {
    return HString();
  }
}

// ---------------------------------------------------------------------------------------------
// HDirectory

int HDirectory::open() {
  entries_.empty();
  try {
    const std::string native = path_.isEmpty() ? std::string(".") : toNativePath(path_);
    DIR* dir = ::opendir(native.c_str());
    if (dir == nullptr) {
      return (errno == ENOENT || errno == ENOTDIR) ? kDirectoryMissing : kDirectoryFailed;
    }
    const bool everything = pattern_ == L"*.*" || pattern_ == L"*";
    std::vector<HString> names;
    bool failed = false;
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir);
      if (entry == nullptr) {
        failed = errno != 0;
        break;
      }
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      const HString text = fromNativePath(name);
      if (!everything && !wildcardMatch(text.wide(), pattern_.wide())) continue;
      struct stat info {};
      if (::fstatat(::dirfd(dir), name.c_str(), &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
      names.push_back(text);
    }
    ::closedir(dir);
    if (failed) return kDirectoryFailed;
    if (names.empty()) return kDirectoryNoMatch;
    std::sort(names.begin(), names.end());
    HString prefix;
    if (!path_.isEmpty()) {
      prefix = path_;
      if (!isSeparator(path_[path_.length() - 1])) prefix += L'/';
    }
    for (const HString& name : names)
      entries_.append(prefix + name);
    return entries_.length();
  } catch (...) {
    entries_.empty();
    return kDirectoryFailed;
  }
}

// ---------------------------------------------------------------------------------------------
// Free functions

bool fileExists(const wchar_t* path) {
  if (path == nullptr || *path == L'\0') return false;
  try {
    return fileExists(HString(path));
  } catch (...) {
    return false;
  }
}

bool fileExists(const HString& path) {
  if (path.isEmpty()) return false;
  try {
    struct stat info {};
    return ::stat(toNativePath(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
  } catch (...) {
    return false;
  }
}

void fixname(HString& name, const wchar_t* ext) {
  try {
    HString drive, dir, base, oldExt;
    StringUtils::splitPath(name, drive, dir, base, oldExt);
    HString result = drive + dir + base;
    if (ext != nullptr && *ext != L'\0') {
      if (*ext != L'.') result += L'.';
      result += HString(ext);
    }
    name = result;
  } catch (...) {
    // Out of memory: the name keeps its old extension.
  }
}

namespace StringUtils {

void splitPath(const HString& path, HString& drive, HString& dir, HString& name, HString& ext) {
  int start = 0;
  if (path.length() >= 2 && path[1] == L':' &&
      ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'))) {
    start = 2;
  }
  int lastSeparator = -1;
  for (int i = start; i < path.length(); ++i) {
    if (isSeparator(path[i])) lastSeparator = i;
  }
  const int nameStart = lastSeparator >= 0 ? lastSeparator + 1 : start;
  const HString fileName = path.subString(nameStart);
  const int extAt = extensionStart(fileName);
  drive = path.subString(0, start);
  dir = path.subString(start, nameStart - start);
  name = fileName.subString(0, extAt);
  ext = fileName.subString(extAt);
}

}  // namespace StringUtils

}  // namespace stitchkit
