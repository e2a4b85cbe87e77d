#include "stitchkit/platform/replacement_file.h"

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "stitchkit/platform/h_file.h"

namespace stitchkit {
namespace {

// The paths of the replacement files not yet committed or removed, where a signal handler
// can read them: fixed storage and a lock-free state per slot.
constexpr std::size_t kSlots = 16;
constexpr std::size_t kSlotBytes = 4096;
enum SlotState : int { kFree = 0, kClaimed = 1, kRegistered = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  char path[kSlotBytes];
};
std::array<Slot, kSlots> slots;
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slot states");

// The slot holding `path`, or -1 when every slot is taken or the path is too long (the file
// is then not removed on a signal, only by its owner).
int registerPath(const std::string& path) {
  if (path.size() >= kSlotBytes) return -1;
  for (std::size_t i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kClaimed)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].state.store(kRegistered);
    return static_cast<int>(i);
  }
  return -1;
}

void unregisterPath(int slot) {
  if (slot >= 0) slots[static_cast<std::size_t>(slot)].state.store(kFree);
}

constexpr std::array kCleanupSignals = {SIGINT, SIGTERM, SIGHUP};

// Removes the registered files, then dies of the signal: the action was reset to the default
// on entry (SA_RESETHAND) and the signal is not blocked within the handler (SA_NODEFER), so
// raising it again ends the process as the signal would have. Only async-signal-safe calls.
void removeFilesAndDie(int signal) {
  const int savedErrno = errno;
  for (Slot& slot : slots) {
    if (slot.state.load() == kRegistered) ::unlink(slot.path);
  }
  errno = savedErrno;
  ::raise(signal);
}

// The start of the hidden name; with the six random characters it adds nine bytes to the
// target's extension, so the name fits wherever the target's does unless the target's name
// is nothing but a long extension.
constexpr char kTemporaryPrefix[] = ".sk";

}  // namespace

TemporaryFile::~TemporaryFile() {
  try {
    std::error_code ignored;
    std::filesystem::remove(toNativePath(path_), ignored);
  } catch (...) {  // NOLINT(bugprone-empty-catch): a file left behind is all that can happen
  }
}

RemovedOnSignal::RemovedOnSignal(const HString& path) : slot_(registerPath(toNativePath(path))) {}

RemovedOnSignal::~RemovedOnSignal() {
  unregisterPath(slot_);
}

void removeReplacementFilesOnSignal() {
  for (const int signal : kCleanupSignals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = &removeFilesAndDie;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    ::sigaction(signal, &action, nullptr);
  }
}

ReplacementFile::ReplacementFile(const HString& target) {
  try {
    HString drive, dir, name, ext;
    StringUtils::splitPath(target, drive, dir, name, ext);
    target_ = toNativePath(target);
    const std::string suffix = toNativePath(ext);
    std::string pattern = toNativePath(drive + dir) + kTemporaryPrefix + "XXXXXX" + suffix;
    const int fd = ::mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd < 0) {
      error_ = errno;
      return;
    }
    slot_ = registerPath(pattern);
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
  unregisterPath(slot_);
}

HString ReplacementFile::path() const {
  return fromNativePath(path_);
}

int ReplacementFile::commit() {
  if (path_.empty()) return error_ != 0 ? error_ : EINVAL;
  if (::rename(path_.c_str(), target_.c_str()) != 0) return errno;
  path_.clear();
  unregisterPath(slot_);
  slot_ = -1;
  return 0;
}

}  // namespace stitchkit
