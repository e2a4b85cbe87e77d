#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>

#include "bench/allocation_counter.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_array.h"

namespace {

using stitchkit::HStitch;
using stitchkit::HXArray;
namespace C = stitchkit::StitchCode;

constexpr int kStitchCount = 1'000'000;

// A fill-stitch style design: rows of 3 mm stitches sweeping back and forth, a trim and a
// jump to the next area every 400 stitches, an occasional jump inside a row, and a colour
// change every 125,000 stitches (eight colours).
HXArray<HStitch> makeDesign() {
  HXArray<HStitch> stitches;
  stitches.setAllocSize(kStitchCount);
  int x = 0;
  int y = 0;
  int dx = 30;
  unsigned short colour = 0;
  for (int i = 0; i < kStitchCount; ++i) {
    std::uint8_t code = C::Normal;
    if (i > 0 && i % 125'000 == 0) {
      ++colour;
      code = C::ChangeNeedle;
    } else if (i % 400 == 398) {
      code = C::Trim;
    } else if (i % 400 == 399) {
      code = C::Jump;
      y = (y + 1000 + 97) % 2000 - 1000;
    } else if (i % 50 == 25) {
      code = C::Jump;
    }
    if (code == C::Normal || code == C::Jump) {
      x += dx;
      if (x > 1500 || x < -1500) {
        dx = -dx;
        y += 4;
        if (y > 1000) y = -1000;
      }
    }
    stitches.add(HStitch(static_cast<short>(x), static_cast<short>(y), code, colour));
  }
  return stitches;
}

const HXArray<HStitch>& design() {
  static const HXArray<HStitch> stitches = makeDesign();
  return stitches;
}

// Argument: keepStitchThread (0 or 1).
void BM_StitchStatsSetup(benchmark::State& state) {
  const HXArray<HStitch>& stitches = design();
  const int keepStitchThread = static_cast<int>(state.range(0));
  stitchkit::StitchStats stats;
  std::size_t allocations = 0;
  for (auto _ : state) {
    stitchkit::bench_support::AllocationCounter counter;
    stats.setupStitchStats(stitches, 0, keepStitchThread, 0);
    allocations = counter.count();
    benchmark::DoNotOptimize(stats.threadLength);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(stitches.length()));
  state.counters["needleBlocks"] = static_cast<double>(stats.needleCount);
  // Only the per-stitch array and the block arrays may be allocated, never per stitch.
  state.counters["allocs/stitch"] = static_cast<double>(allocations) / stitches.length();
}
BENCHMARK(BM_StitchStatsSetup)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
