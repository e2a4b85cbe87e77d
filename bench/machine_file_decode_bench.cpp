#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <vector>

#include "bench/allocation_counter.h"
#include "bench/dst_bench_data.h"
#include "stitchkit/decode/kvb_records.h"
#include "stitchkit/decode/zsk_transport_records.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch_options.h"

// The machine files whose decoder reads the whole file (KVB, ZSK transport), on the design the
// DST codec benchmarks use, for comparison with them.
namespace stitchkit {
namespace {

struct MachineFile {
  std::vector<unsigned char> bytes;
  std::int64_t records = 0;
};

// The part of the file in front of the records: for KVB the header with blank needle-order and
// attribute tables, for ZSK transport the framed design header.
std::vector<unsigned char> leadingBytes(HDiskFileFormat format) {
  if (format == kFormatZskTransport) {
    std::vector<unsigned char> bytes = {zsk::kFramedClass, zsk::kHeaderLength >> 8,
                                        zsk::kHeaderLength & 0xFF, zsk::kHeaderType};
    bytes.resize(bytes.size() + zsk::kHeaderSize, ' ');
    return bytes;
  }
  std::vector<unsigned char> bytes(kvb::kRecordsOffset, ' ');
  std::copy(kvb::kNeedleOrderTag.begin(), kvb::kNeedleOrderTag.end(),
            bytes.begin() + kvb::kNeedleOrderTagOffset);
  std::fill_n(bytes.begin() + kvb::kNeedleOrderTagOffset + kvb::kTagSize, kvb::kNeedleOrderSize, 0);
  std::copy(kvb::kAttributesTag.begin(), kvb::kAttributesTag.end(),
            bytes.begin() + kvb::kAttributesTagOffset);
  return bytes;
}

// The generated million-record design written as a file of `format`; its records are those
// the writer wrote.
const MachineFile& machineFile(HDiskFileFormat format) {
  static std::map<int, MachineFile> made;
  auto [it, isNew] = made.try_emplace(format);
  if (isNew) {
    it->second.bytes = leadingBytes(format);
    HXArray<HStitch> stitches = bench::benchDesign();
    StitchArrayWrapper wrapper(stitches);
    StitchFilter filter(wrapper);
    VectorOutputBytestream out(it->second.bytes);
    StitchEncoderOptions options;
    setDefaultEncoderOptions(options);
    options.setFileFormat(format);
    filter.encodeStitches(options, &out);
    it->second.records = stitches.length();
  }
  return it->second;
}

// Decoding a file held in memory into a stitch array. Argument: the format.
void BM_DecodeMachineFileFromMemory(benchmark::State& state) {
  const auto format = static_cast<HDiskFileFormat>(state.range(0));
  const MachineFile& file = machineFile(format);
  std::size_t allocations = 0;
  std::size_t stitchCount = 0;
  for (auto _ : state) {
    HXArray<HStitch> stitches;
    bench_support::AllocationCounter counter;
    StitchArrayWrapper wrapper(stitches);
    StitchFilter filter(wrapper);
    StitchDecoderOptions options;
    setDefaultDecoderOptions(options);
    options.setFileFormat(format);
    MemoryInputBytestream stream(file.bytes.data(), file.bytes.size());
    if (filter.decodeStitches(options, 1, stream) != 0) state.SkipWithError("decode failed");
    allocations = counter.count();
    stitchCount = static_cast<std::size_t>(stitches.length());
    benchmark::DoNotOptimize(stitches.data());
  }
  state.SetItemsProcessed(state.iterations() * file.records);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.bytes.size()));
  state.counters["stitches"] = static_cast<double>(stitchCount);
  state.counters["allocs/stitch"] = static_cast<double>(allocations) / stitchCount;
}
BENCHMARK(BM_DecodeMachineFileFromMemory)
    ->ArgName("format")
    ->Arg(kFormatKvb)
    ->Arg(kFormatZskTransport)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace stitchkit
