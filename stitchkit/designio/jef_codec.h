#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "stitchkit/designio/st_des.h"

// The JEF design file (layout in jef_layout.h).
namespace stitchkit {

// Replaces the design's points and threads with those of a JEF file's bytes. Each thread
// index becomes a thread of the chart (code: the index as decimal text); a point's colour is
// the number of its colour block. False for a header or stream that is cut short, counts or
// offsets that do not fit the file, or an unknown command.
bool readJef(std::string_view bytes, CStDes& design, STDESSETTINGS& settings);

// The JEF file of a design. A thread whose code names a chart index of the thread's colour is
// written as that index, any other as the chart colour nearest to its colour; a colour number
// without a thread uses the library's default palette. Trims are written as jumps, stops as
// colour changes. False when the design needs more moves than a file may hold.
bool writeJef(const CStDes& design, const STDESSETTINGS& settings, std::string& bytes);

// Number of entries in the thread chart, and the thread an index stands for (indexes outside
// the chart are black and keep their number as the code).
int jefChartSize();
THREAD jefThreadOfIndex(std::int32_t index);
// The chart index written for a thread.
std::int32_t jefIndexOfThread(const THREAD& thread);

}  // namespace stitchkit
