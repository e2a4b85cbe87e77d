#include "stitchkit/jobs/sewing_estimate.h"

#include <algorithm>

namespace stitchkit {

SewingEstimate estimateSewing(const StitchStats& stats, const HXArray<HStitch>& stitches,
                              const EstimateRates& rates) {
  SewingEstimate e;
  for (const HStitch& s : stitches) {
    if (s.isStop() || s.isTwoStop() || s.isThreeStop()) ++e.stops;
  }
  e.trims = stats.trimCount;
  e.colourChanges = stats.colourChangeCount;
  e.stitchesPerMinute = std::max(1, rates.stitchesPerMinute);
  e.sewingMinutes = static_cast<double>(stats.stitchCount) / e.stitchesPerMinute;
  e.minutes = e.sewingMinutes +
              (e.trims * rates.secondsPerTrim + e.colourChanges * rates.secondsPerColourChange +
               e.stops * rates.secondsPerStop) /
                  60.0;
  // Block thread is kept in millimetres, the total in stitch units (0.1 mm).
  for (int i = 0; i < stats.needles.length(); ++i) {
    const double mm = i < stats.colourThreadLengths.length() ? stats.colourThreadLengths[i] : 0.0;
    e.blocks.push_back(NeedleBlockThread{stats.needles[i] + 1, mm / 1000.0,
                                         mm / 1000.0 * kBobbinShareOfTopThread});
  }
  e.topMetres = stats.threadLength / 10000.0;
  e.bobbinMetres = e.topMetres * kBobbinShareOfTopThread;
  return e;
}

}  // namespace stitchkit
