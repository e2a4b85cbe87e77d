#include "bench/allocation_counter.h"

#include <cstdlib>
#include <new>

namespace stitchkit::bench_support {
namespace {
thread_local int activeCounters = 0;
thread_local std::size_t allocations = 0;
}  // namespace

AllocationCounter::AllocationCounter() {
  if (activeCounters++ == 0) allocations = 0;
}

AllocationCounter::~AllocationCounter() {
  --activeCounters;
}

std::size_t AllocationCounter::count() const {
  return allocations;
}

void* countedAllocate(std::size_t size) {
  if (activeCounters > 0) ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

}  // namespace stitchkit::bench_support

void* operator new(std::size_t size) {
  return stitchkit::bench_support::countedAllocate(size);
}
void* operator new[](std::size_t size) {
  return stitchkit::bench_support::countedAllocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return stitchkit::bench_support::countedAllocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
