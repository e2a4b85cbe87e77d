#include <benchmark/benchmark.h>

#include <map>
#include <utility>
#include <vector>

#include "bench/allocation_counter.h"
#include "bench/bench_designs.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch_options.h"

namespace stitchkit {
namespace {

enum DesignKind : int { kGenerated = 0, kEditor = 1 };

// The designs written, made once per kind and size.
const HXArray<HStitch>& design(DesignKind kind, int records) {
  static std::map<std::pair<int, int>, HXArray<HStitch>> made;
  auto [it, isNew] = made.try_emplace({kind, records});
  if (isNew) {
    it->second = kind == kGenerated ? bench::decodeDst(bench::makeRandomDstRecords(records))
                                    : bench::makeEditorDesign(records);
  }
  return it->second;
}

// The options a machine of the format writes with: DST records hold moves of 121, Exp
// machines 7 needles. The editor's design is cleaned of short stitches.
StitchEncoderOptions machineOptions(HDiskFileFormat format, DesignKind kind) {
  StitchEncoderOptions options;
  setDefaultEncoderOptions(options);
  options.setFileFormat(format);
  if (format == kFormatDst) options.setHardLength(121);
  if (format == kFormatExp) options.setMaxNeedles(7);
  if (kind == kEditor) options.setCleanShort(1);
  return options;
}

// The whole encode pipeline (clean-up, grouping, splitting, the encoder, the rewrite of the
// design as written) into memory. Arguments: design kind, records, format. Reports the time
// per input record (the inverse of items per second), the records written and the heap
// allocations per stitch.
void BM_WriteDesign(benchmark::State& state) {
  const auto kind = static_cast<DesignKind>(state.range(0));
  const int records = static_cast<int>(state.range(1));
  const auto format = static_cast<HDiskFileFormat>(state.range(2));
  const HXArray<HStitch>& source = design(kind, records);
  const StitchEncoderOptions options = machineOptions(format, kind);
  std::vector<unsigned char> bytes;
  bytes.reserve(static_cast<std::size_t>(source.length()) * 5);
  std::size_t allocations = 0;
  int written = 0;
  for (auto _ : state) {
    state.PauseTiming();
    HXArray<HStitch> stitches = source;
    bytes.clear();
    state.ResumeTiming();
    bench_support::AllocationCounter counter;
    StitchArrayWrapper wrapper(stitches);
    StitchFilter filter(wrapper);
    VectorOutputBytestream out(bytes);
    if (filter.encodeStitches(options, &out) != 0) state.SkipWithError("encode failed");
    allocations = counter.count();
    written = stitches.length();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetItemsProcessed(state.iterations() * source.length());
  state.counters["written"] = written;
  state.counters["allocs/stitch"] = static_cast<double>(allocations) / source.length();
}
BENCHMARK(BM_WriteDesign)
    ->ArgNames({"design", "records", "format"})
    ->Args({kGenerated, 100'000, kFormatDst})
    ->Args({kGenerated, 1'000'000, kFormatDst})
    ->Args({kGenerated, 100'000, kFormatExp})
    ->Args({kGenerated, 1'000'000, kFormatExp})
    ->Args({kGenerated, 100'000, kFormatKvb})
    ->Args({kGenerated, 1'000'000, kFormatKvb})
    ->Args({kGenerated, 100'000, kFormatZskTransport})
    ->Args({kGenerated, 1'000'000, kFormatZskTransport})
    ->Args({kEditor, 100'000, kFormatDst})
    ->Args({kEditor, 1'000'000, kFormatDst})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace stitchkit
