#include "stitchkit/platform/replacement_file.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "stitchkit/platform/h_file.h"

namespace stitchkit {

ReplacementFile::ReplacementFile(const HString& target) {
  try {
    HString drive, dir, name, ext;
    StringUtils::splitPath(target, drive, dir, name, ext);
    target_ = toNativePath(target);
    const std::string suffix = toNativePath(ext);
    std::string pattern =
        toNativePath(drive + dir) + "." + toNativePath(name + ext) + ".tmp-XXXXXX" + suffix;
    const int fd = ::mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd < 0) {
      error_ = errno;
      return;
    }
    // mkstemps makes the file private; give it the target's mode, or a new file's mode.
    struct stat existing {};
    mode_t mode = 0;
    if (::stat(target_.c_str(), &existing) == 0) {
      mode = existing.st_mode & 07777;
    } else {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    static_cast<void>(::fchmod(fd, mode));
    ::close(fd);
    path_ = std::move(pattern);
  } catch (const std::bad_alloc&) {
    error_ = ENOMEM;
  }
}

ReplacementFile::~ReplacementFile() {
  if (!path_.empty()) ::unlink(path_.c_str());
}

HString ReplacementFile::path() const {
  return fromNativePath(path_);
}

int ReplacementFile::commit() {
  if (path_.empty()) return error_ != 0 ? error_ : EINVAL;
  if (::rename(path_.c_str(), target_.c_str()) != 0) return errno;
  path_.clear();
  return 0;
}

}  // namespace stitchkit
