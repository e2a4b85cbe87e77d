#include <benchmark/benchmark.h>

#include <vector>

#include "bench/dst_bench_data.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch_options.h"

namespace stitchkit {
namespace {

// Option records as a machine of each format would use them: Exp machines hold 7 needles and
// Zangs machines 14, higher needles are folded onto them.
StitchEncoderOptions writeOptions(HDiskFileFormat format) {
  StitchEncoderOptions options;
  setDefaultEncoderOptions(options);
  options.setFileFormat(format);
  if (format == kFormatExp) options.setMaxNeedles(7);
  if (format == kFormatDsz) options.setMaxNeedles(14);
  return options;
}

int encodeInto(HXArray<HStitch>& stitches, HDiskFileFormat format,
               std::vector<unsigned char>& bytes) {
  StitchArrayWrapper wrapper(stitches);
  StitchFilter filter(wrapper);
  const StitchEncoderOptions options = writeOptions(format);
  VectorOutputBytestream out(bytes);
  return filter.encodeStitches(options, &out);
}

// Writing the million-stitch design in one machine format into memory.
void BM_MachineFormatEncode(benchmark::State& state) {
  const auto format = static_cast<HDiskFileFormat>(state.range(0));
  std::vector<unsigned char> bytes;
  bytes.reserve(4'000'000);
  for (auto _ : state) {
    state.PauseTiming();
    HXArray<HStitch> stitches = bench::benchDesign();
    bytes.clear();
    state.ResumeTiming();
    if (encodeInto(stitches, format, bytes) != 0) state.SkipWithError("encode failed");
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetItemsProcessed(state.iterations() * bench::benchDesign().length());
}

// Reading the same design back from that format's records in memory.
void BM_MachineFormatDecode(benchmark::State& state) {
  const auto format = static_cast<HDiskFileFormat>(state.range(0));
  std::vector<unsigned char> bytes;
  HXArray<HStitch> source = bench::benchDesign();
  if (encodeInto(source, format, bytes) != 0) {
    state.SkipWithError("encode failed");
    return;
  }
  std::size_t count = 0;
  for (auto _ : state) {
    HXArray<HStitch> stitches;
    StitchArrayWrapper wrapper(stitches);
    StitchFilter filter(wrapper);
    StitchDecoderOptions options;
    setDefaultDecoderOptions(options);
    options.setFileFormat(format);
    MemoryInputBytestream in(bytes.data(), bytes.size());
    if (filter.decodeStitches(options, 1, in) != 0) state.SkipWithError("decode failed");
    count = static_cast<std::size_t>(stitches.length());
    benchmark::DoNotOptimize(stitches.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

BENCHMARK(BM_MachineFormatEncode)
    ->Arg(kFormatExp)
    ->Arg(kFormatDsb)
    ->Arg(kFormatDsz)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MachineFormatDecode)
    ->Arg(kFormatExp)
    ->Arg(kFormatDsb)
    ->Arg(kFormatDsz)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace stitchkit
