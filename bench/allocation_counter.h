#pragma once

#include <cstddef>

namespace stitchkit::bench_support {

// Counts calls of the global operator new made by this thread while an instance lives.
// The benchmark program replaces operator new to feed it.
class AllocationCounter {
 public:
  AllocationCounter();
  ~AllocationCounter();
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;

  std::size_t count() const;
};

}  // namespace stitchkit::bench_support
