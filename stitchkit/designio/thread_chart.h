#pragma once

#include <cstdint>
#include <span>

#include "stitchkit/designio/thread_array.h"

// Makers' fixed thread charts: the colours a file names by index instead of carrying them.
namespace stitchkit {

struct ChartColour {
  const char* name;
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
};

// The thread entry `index` of `chart` stands for: the index as its code, and the entry's colour
// and name when the chart has it (black and no name otherwise).
THREAD chartThread(std::span<const ChartColour> chart, int index);

// The whole code of `thread` as a decimal number; false when it is empty or not one.
bool chartCodeOf(const THREAD& thread, int& index);

// The entry from 1 on whose colour is nearest to the thread's (the first of equals).
int nearestChartIndex(std::span<const ChartColour> chart, const THREAD& thread);

}  // namespace stitchkit
