#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "bench/allocation_counter.h"
#include "bench/dst_bench_data.h"
#include "stitchkit/decode/kvb_records.h"
#include "stitchkit/files/edf_package.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
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

// Whole files through the writing and reading entry points, DST beside KVB and EDF (the KVB
// file and its side files packed and enciphered through the temporary directory). The
// argument is the format; items are the design's records.
const char* extensionOf(HDiskFileFormat format) {
  return format == kFormatDst ? ".dst" : format == kFormatKvb ? ".kvb" : ".edf";
}

std::string benchPath(HDiskFileFormat format) {
  return (std::filesystem::temp_directory_path() / "stitchkit-bench-file").string() +
         extensionOf(format);
}

int writeFile(HDiskFileFormat format, HXArray<HStitch>& stitches) {
  StitchEncoderOptions options;
  setDefaultEncoderOptions(options);
  options.setFileFormat(format);
  HXArray<HString> names;
  return makeStitchFormatFile(utf8ToStr(benchPath(format)), stitches, ThreadPalette(), names, 0.0,
                              &options, 0, HeadGrouping());
}

void removeFiles(HDiskFileFormat format) {
  for (const char* side : {"", ".CT0", ".CT1"}) {
    std::filesystem::path path = benchPath(format);
    if (*side != '\0') path.replace_extension(side);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
}

void BM_WriteFile(benchmark::State& state) {
  const auto format = static_cast<HDiskFileFormat>(state.range(0));
  const HXArray<HStitch>& source = bench::benchDesign();
  for (auto _ : state) {
    state.PauseTiming();
    HXArray<HStitch> stitches = source;
    state.ResumeTiming();
    if (writeFile(format, stitches) != 0) state.SkipWithError("write failed");
  }
  removeFiles(format);
  state.SetItemsProcessed(state.iterations() * source.length());
}
BENCHMARK(BM_WriteFile)
    ->ArgName("format")
    ->Arg(kFormatDst)
    ->Arg(kFormatKvb)
    ->Arg(kFormatEdf)
    ->Unit(benchmark::kMillisecond);

void BM_ReadFile(benchmark::State& state) {
  const auto format = static_cast<HDiskFileFormat>(state.range(0));
  HXArray<HStitch> written = bench::benchDesign();
  if (writeFile(format, written) != 0) state.SkipWithError("write failed");
  const HString path = utf8ToStr(benchPath(format));
  for (auto _ : state) {
    HXArray<HStitch> stitches;
    StitchStats stats;
    int result = 0;
    if (format == kFormatEdf) {
      StitchOptions options;
      options.setFileFormat(kFormatEdf);
      HXArray<HString> lines;
      HeadGrouping grouping;
      MachineRepeatSettings repeat;
      StitchArrayWrapper wrapper(stitches);
      result =
          decodeEDFFile(path, wrapper, options, stats, lines, grouping, repeat, nullptr, nullptr);
    } else {
      double scale = 1.0;
      result = decodeFile(path, stitches, stats, scale, nullptr, nullptr, nullptr, nullptr);
    }
    if (result != 0) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(stitches.data());
  }
  removeFiles(format);
  state.SetItemsProcessed(state.iterations() * bench::benchDesign().length());
}
BENCHMARK(BM_ReadFile)
    ->ArgName("format")
    ->Arg(kFormatDst)
    ->Arg(kFormatKvb)
    ->Arg(kFormatEdf)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace stitchkit
