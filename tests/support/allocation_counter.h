#pragma once

#include <cstddef>

namespace stitchkit::testing_support {

// Counts calls of the global operator new made by this thread while an instance lives.
// The test program replaces operator new to feed it.
class AllocationCounter {
 public:
  AllocationCounter();
  ~AllocationCounter();
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;

  std::size_t count() const;
};

}  // namespace stitchkit::testing_support
