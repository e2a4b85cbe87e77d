#include "stitchkit/platform/memory_advice.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace stitchkit {

namespace {

// Below this, a buffer is not worth a system call.
constexpr std::size_t kLargeBuffer = std::size_t{4} << 20;
// The size of a large page on the systems that have them.
constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;

// Advises the whole blocks of `unit` bytes inside the `bytes` at `data`.
void adviseBlocks(void* data, std::size_t bytes, std::uintptr_t unit, int advice) {
  if (data == nullptr || unit == 0) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + unit - 1) / unit * unit;
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) / unit * unit;
  if (end > begin)
    static_cast<void>(::madvise(reinterpret_cast<void*>(begin), end - begin, advice));
}

}  // namespace

void adviseLargeBuffer(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  if (bytes >= kLargeBuffer) {
    adviseBlocks(data, bytes, static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE)), MADV_HUGEPAGE);
  }
#else
  static_cast<void>(data), static_cast<void>(bytes);
#endif
}

void releaseBufferPages(void* data, std::size_t bytes) {
  // Whole large pages only: a large page cut in part would be split into small ones, and
  // reading a given-back large page later (the destructors of what it held) costs one fault
  // for the whole page instead of one per small page.
  adviseBlocks(data, bytes, kLargePage, MADV_DONTNEED);
}

}  // namespace stitchkit
