#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "bench/allocation_counter.h"
#include "bench/dst_bench_data.h"
#include "stitchkit/decode/kvb_records.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch_options.h"

// The KVB codec on the designs the DST codec benchmarks use, for comparison with them.
namespace stitchkit {
namespace {

StitchEncoderOptions kvbOptions() {
  StitchEncoderOptions options;
  setDefaultEncoderOptions(options);
  options.setFileFormat(kFormatKvb);
  return options;
}

// The generated million-record design written as a KVB file: a header with blank needle-order
// and attribute tables, then the records.
const std::vector<unsigned char>& kvbFile() {
  static const std::vector<unsigned char> file = [] {
    std::vector<unsigned char> bytes(kvb::kRecordsOffset, ' ');
    std::copy(kvb::kNeedleOrderTag.begin(), kvb::kNeedleOrderTag.end(),
              bytes.begin() + kvb::kNeedleOrderTagOffset);
    std::fill_n(bytes.begin() + kvb::kNeedleOrderTagOffset + kvb::kTagSize, kvb::kNeedleOrderSize,
                0);
    std::copy(kvb::kAttributesTag.begin(), kvb::kAttributesTag.end(),
              bytes.begin() + kvb::kAttributesTagOffset);
    HXArray<HStitch> stitches = bench::benchDesign();
    StitchArrayWrapper wrapper(stitches);
    StitchFilter filter(wrapper);
    VectorOutputBytestream out(bytes);
    filter.encodeStitches(kvbOptions(), &out);
    return bytes;
  }();
  return file;
}

// Decoding a KVB file held in memory into a stitch array.
void BM_KvbDecodeFromMemory(benchmark::State& state) {
  const auto& data = kvbFile();
  const auto records = static_cast<std::int64_t>((data.size() - kvb::kRecordsOffset) / 3);
  std::size_t allocations = 0;
  std::size_t stitchCount = 0;
  for (auto _ : state) {
    HXArray<HStitch> stitches;
    bench_support::AllocationCounter counter;
    StitchArrayWrapper wrapper(stitches);
    StitchFilter filter(wrapper);
    StitchDecoderOptions options;
    setDefaultDecoderOptions(options);
    options.setFileFormat(kFormatKvb);
    MemoryInputBytestream stream(data.data(), data.size());
    if (filter.decodeStitches(options, 1, stream) != 0) state.SkipWithError("decode failed");
    allocations = counter.count();
    stitchCount = static_cast<std::size_t>(stitches.length());
    benchmark::DoNotOptimize(stitches.data());
  }
  state.SetItemsProcessed(state.iterations() * records);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
  state.counters["stitches"] = static_cast<double>(stitchCount);
  state.counters["allocs/stitch"] = static_cast<double>(allocations) / stitchCount;
}
BENCHMARK(BM_KvbDecodeFromMemory)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace stitchkit
