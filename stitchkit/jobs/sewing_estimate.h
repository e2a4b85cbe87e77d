#pragma once

#include <vector>

#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_array.h"

// How long a design takes to sew and how much thread and bobbin thread it uses, from its
// statistics.
namespace stitchkit {

// The machine's pace: every stitch record (sewn stitches, jumps and commands alike, as
// StitchStats::stitchCount counts them) takes one turn of the main shaft at
// `stitchesPerMinute`; each trim, colour change and stop adds a fixed time on top.
struct EstimateRates {
  int stitchesPerMinute = 800;
  double secondsPerTrim = 3.0;
  double secondsPerColourChange = 5.0;
  double secondsPerStop = 30.0;  // the operator's turn: look, rethread, restart
};

// Bobbin thread as a share of the top thread. In a lockstitch the top thread forms the face
// and reaches down to lock with the bobbin thread, which only lies along the back: a third of
// the top thread is the usual rule for embroidery.
inline constexpr double kBobbinShareOfTopThread = 1.0 / 3.0;

// Thread of one needle block, in metres.
struct NeedleBlockThread {
  int needle = 0;  // 1-based
  double topMetres = 0.0;
  double bobbinMetres = 0.0;
};

struct SewingEstimate {
  int stitchesPerMinute = 0;   // the pace taken (at least 1)
  double minutes = 0.0;        // everything
  double sewingMinutes = 0.0;  // the stitch records alone
  int trims = 0;
  int colourChanges = 0;
  int stops = 0;
  double topMetres = 0.0;
  double bobbinMetres = 0.0;
  std::vector<NeedleBlockThread> blocks;
};

// The estimate for a design with finished statistics `stats` (StitchStats::finish) and its
// stitches, which give the stops (stop, two-stop and three-stop commands). A
// `stitchesPerMinute` below 1 is taken as 1.
SewingEstimate estimateSewing(const StitchStats& stats, const HXArray<HStitch>& stitches,
                              const EstimateRates& rates);

}  // namespace stitchkit
