#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "bench/allocation_counter.h"
#include "bench/dst_bench_data.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch_options.h"

namespace stitchkit {
namespace {

constexpr int kRecords = 1'000'000;

const std::vector<unsigned char>& records() {
  static const std::vector<unsigned char> data = bench::makeDstRecords(kRecords);
  return data;
}

// Decoding a DST record stream held in memory into a stitch array.
void BM_DstDecodeFromMemory(benchmark::State& state) {
  const auto& data = records();
  std::size_t allocations = 0;
  std::size_t stitchCount = 0;
  for (auto _ : state) {
    HXArray<HStitch> stitches;
    bench_support::AllocationCounter counter;
    StitchArrayWrapper wrapper(stitches);
    StitchFilter filter(wrapper);
    StitchDecoderOptions options;
    setDefaultDecoderOptions(options);
    options.setFileFormat(kFormatDst);
    options.setStopsAsNeedles(1);
    MemoryInputBytestream stream(data.data(), data.size());
    if (filter.decodeStitches(options, 1, stream) != 0) state.SkipWithError("decode failed");
    allocations = counter.count();
    stitchCount = static_cast<std::size_t>(stitches.length());
    benchmark::DoNotOptimize(stitches.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
  state.counters["stitches"] = static_cast<double>(stitchCount);
  state.counters["allocs/stitch"] = static_cast<double>(allocations) / stitchCount;
}
BENCHMARK(BM_DstDecodeFromMemory)->Unit(benchmark::kMillisecond);

// The whole reading entry point on the same design as a file with its 512-byte header.
void BM_DecodeDstFile(benchmark::State& state) {
  char path[] = "/tmp/stitchkit-bench-XXXXXX.dst";
  const int fd = ::mkstemps(path, 4);
  if (fd < 0) {
    state.SkipWithError("cannot create a temporary file");
    return;
  }
  ::close(fd);
  {
    std::ofstream out(path, std::ios::binary);
    const std::string header(dst::kHeaderSize, ' ');
    out << header;
    out.write(reinterpret_cast<const char*>(records().data()),
              static_cast<std::streamsize>(records().size()));
  }
  const HString widePath = utf8ToStr(path);
  for (auto _ : state) {
    HXArray<HStitch> stitches;
    StitchStats stats;
    if (decodeDSTFile(widePath.c_str(), stitches, stats) != 0) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(stitches.data());
  }
  std::remove(path);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_DecodeDstFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace stitchkit
