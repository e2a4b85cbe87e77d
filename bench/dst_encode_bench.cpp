#include <benchmark/benchmark.h>

#include <vector>

#include "bench/allocation_counter.h"
#include "bench/dst_bench_data.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch_options.h"

namespace stitchkit {
namespace {

// Writing a design of a million stitches into memory through the whole encode pipeline
// (clean-up, grouping, splitting, the encoder, the container rewrite), as DST and as KVB
// records (both three bytes a record).
void BM_EncodeToMemory(benchmark::State& state, HDiskFileFormat format, int hardLength) {
  std::vector<unsigned char> bytes;
  bytes.reserve(4'000'000);
  std::size_t allocations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    HXArray<HStitch> stitches = bench::benchDesign();
    bytes.clear();
    state.ResumeTiming();
    bench_support::AllocationCounter counter;
    StitchArrayWrapper wrapper(stitches);
    StitchFilter filter(wrapper);
    StitchEncoderOptions options;
    setDefaultEncoderOptions(options);
    options.setFileFormat(format);
    if (hardLength > 0) options.setHardLength(hardLength);
    VectorOutputBytestream out(bytes);
    if (filter.encodeStitches(options, &out) != 0) state.SkipWithError("encode failed");
    allocations = counter.count();
    benchmark::DoNotOptimize(bytes.data());
  }
  const auto stitchCount = static_cast<std::int64_t>(bench::benchDesign().length());
  state.SetItemsProcessed(state.iterations() * stitchCount);
  state.counters["records"] = static_cast<double>(bytes.size() / 3);
  state.counters["allocs/stitch"] = static_cast<double>(allocations) / stitchCount;
}
BENCHMARK_CAPTURE(BM_EncodeToMemory, Dst, kFormatDst, 121)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EncodeToMemory, Kvb, kFormatKvb, 0)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace stitchkit
