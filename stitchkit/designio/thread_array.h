#pragma once

#include <cstdint>
#include <vector>

#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// One thread of a design object: its colour and the texts that identify it.
struct THREAD {
  std::uint32_t colour = 0;  // red in the low byte, then green, then blue: 0x00BBGGRR
  HString name;
  HString manufacturer;
  HString code;

  static constexpr std::uint32_t rgb(unsigned red, unsigned green, unsigned blue) {
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
  }
  unsigned red() const { return colour & 0xFF; }
  unsigned green() const { return (colour >> 8) & 0xFF; }
  unsigned blue() const { return (colour >> 16) & 0xFF; }

  // The name to print for the thread: its name, else its code, else the colour as "#RRGGBB".
  HString GetPrintColorName() const;

  bool operator==(const THREAD&) const = default;
};

// The threads of a design object, in the order its colour numbers refer to them.
class CThreadArray {
 public:
  int GetSize() const { return static_cast<int>(threads_.size()); }
  // Requires 0 <= index < GetSize().
  const THREAD& GetAt(int index) const { return threads_[static_cast<std::size_t>(index)]; }
  THREAD& GetAt(int index) { return threads_[static_cast<std::size_t>(index)]; }
  // Appends `thread` and returns its index.
  int Add(const THREAD& thread) {
    threads_.push_back(thread);
    return GetSize() - 1;
  }
  void RemoveAll() { threads_.clear(); }

  bool operator==(const CThreadArray&) const = default;

 private:
  std::vector<THREAD> threads_;
};

}  // namespace stitchkit
