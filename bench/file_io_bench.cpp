#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "bench/dst_bench_data.h"
#include "stitchkit/files/design_exchange.h"
#include "stitchkit/files/edf_package.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
#include "stitchkit/model/stitch_options.h"

// Whole design files written and read through the file entry points, on the design the DST
// codec benchmarks use.
namespace stitchkit {
namespace {

// Whole files through the writing and reading entry points, DST beside KVB, EDF (the KVB
// file and its side files packed and enciphered through the temporary directory), ZSK
// transport, and other makers' PES (version 1) and JEF through the design-I/O layer. The
// argument is the format; items are the design's records.
constexpr auto kFormatPesVersion1 = static_cast<HDiskFileFormat>(41);
constexpr auto kFormatJef = static_cast<HDiskFileFormat>(27);

const char* extensionOf(HDiskFileFormat format) {
  struct Named {
    HDiskFileFormat format;
    const char* extension;
  };
  static constexpr Named kExtensions[] = {{kFormatDst, ".dst"},
                                          {kFormatKvb, ".kvb"},
                                          {kFormatZskTransport, ".Z00"},
                                          {kFormatPesVersion1, ".pes"},
                                          {kFormatJef, ".jef"}};
  for (const Named& named : kExtensions) {
    if (named.format == format) return named.extension;
  }
  return ".edf";
}

std::string benchPath(HDiskFileFormat format) {
  return (std::filesystem::temp_directory_path() / "stitchkit-bench-file").string() +
         extensionOf(format);
}

int writeFile(HDiskFileFormat format, HXArray<HStitch>& stitches) {
  if (format == kFormatPesVersion1 || format == kFormatJef) {
    CSize size;
    return makeGNFile(utf8ToStr(benchPath(format)), format, stitches, ThreadPalette(),
                      StitchOptions(), size, nullptr);
  }
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
    ->Arg(kFormatZskTransport)
    ->Arg(kFormatPesVersion1)
    ->Arg(kFormatJef)
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
    ->Arg(kFormatZskTransport)
    ->Arg(kFormatPesVersion1)
    ->Arg(kFormatJef)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace stitchkit
