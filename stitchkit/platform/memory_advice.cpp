#include "stitchkit/platform/memory_advice.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace stitchkit {

namespace {

// Below this, a buffer is not worth a system call.
constexpr std::size_t kLargeBuffer = std::size_t{4} << 20;

}  // namespace

void adviseLargeBuffer(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  if (data == nullptr || bytes < kLargeBuffer) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  if (page == 0) return;
  // Only whole pages inside the buffer can be advised.
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) / page * page;
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) / page * page;
  if (end > begin) {
    static_cast<void>(::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE));
  }
#else
  static_cast<void>(data), static_cast<void>(bytes);
#endif
}

}  // namespace stitchkit
