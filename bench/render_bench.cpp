#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "bench/bench_designs.h"
#include "stitchkit/jobs/design_render.h"

namespace {

using stitchkit::HStitch;
using stitchkit::HXArray;
using stitchkit::RenderedImage;
using stitchkit::RenderOptions;
using stitchkit::ThreadPalette;

constexpr int kStitchCount = 1'000'000;
constexpr int kWidthPx = 1000;

const HXArray<HStitch>& design() {
  static const HXArray<HStitch> stitches = stitchkit::bench::makeEditorDesign(kStitchCount);
  return stitches;
}

void reportStitches(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(design().length()));
}

// Argument: draw jumps (0 or 1).
void BM_RenderImage(benchmark::State& state) {
  const RenderOptions options{kWidthPx, state.range(0) != 0, false};
  RenderedImage image;
  for (auto _ : state) {
    if (stitchkit::renderDesignImage(design(), ThreadPalette(), options, image) !=
        stitchkit::kRenderOk) {
      state.SkipWithError("rendering failed");
      break;
    }
    benchmark::DoNotOptimize(image.pixels.data());
  }
  reportStitches(state);
  state.counters["heightPx"] = image.height;
}
BENCHMARK(BM_RenderImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole job of a preview file: draw, compress, write through the temporary file.
void BM_RenderPngFile(benchmark::State& state) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("stitchkit-render-bench-" + std::to_string(::getpid()) + ".png"))
                               .string();
  for (auto _ : state) {
    if (stitchkit::renderDesign(design(), ThreadPalette(), path, RenderOptions{kWidthPx}) !=
        stitchkit::kRenderOk) {
      state.SkipWithError("rendering failed");
      break;
    }
  }
  reportStitches(state);
  std::error_code ignored;
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path, ignored));
  std::filesystem::remove(path, ignored);
}
BENCHMARK(BM_RenderPngFile)->Unit(benchmark::kMillisecond);

}  // namespace
