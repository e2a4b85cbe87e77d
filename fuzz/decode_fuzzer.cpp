// Decodes arbitrary bytes as machine records through the stitch filter, with the format and
// option settings taken from the first bytes of the input, in both the plain and the HSF
// decode modes.

#include <cstdint>
#include <cstdlib>

#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/bytestream.h"

namespace {

using namespace stitchkit;

constexpr std::size_t kConfigBytes = 6;

void configure(StitchOptions& o, const std::uint8_t* c) {
  // The first byte's low bits pick the format; the seeds written for DST use 0.
  constexpr HDiskFileFormat kFormats[] = {
      kFormatDst, kFormatDstVariant6, kFormatDstVariant15, kFormatDsb,
      kFormatExp, kFormatDsz,         kFormatZskTransport, kFormatKvb,
  };
  o.setFileFormat(kFormats[c[0] & 0x07]);
  // A run can be held to one format: STITCHKIT_FUZZ_FORMAT=<code>.
  if (const char* forced = std::getenv("STITCHKIT_FUZZ_FORMAT")) {
    o.setFileFormat(static_cast<HDiskFileFormat>(std::atoi(forced)));
  }
  o.setStopsAsNeedles(c[0] & 0x08);
  o.setSkipFirstColourChange(c[0] & 0x10);
  o.setJumpBetweenTwoStops(c[0] & 0x20);
  o.setCopyOriginal((c[0] & 0xC0) == 0xC0);
  o.setPreserveBlanks(static_cast<PreserveBlanksType>(c[1] % 5));
  o.setReadChangeoverType(static_cast<ReadChangeoverType>((c[1] >> 3) % 6));
  o.setKorvanStartStitchType(static_cast<KorvanStartStitchType>((c[1] >> 6) % 3));
  o.setMaxNeedles(static_cast<short>(c[2] % 20));
  o.setAlternateSequinDropCommands(c[2] & 0x20);
  o.setSupportsCombinedSequinBead(c[2] & 0x40);
  o.setKorvanMoveDropSequins(c[2] & 0x80);
  o.setBlankAfterDrops(c[3] & 0x01);
  o.setTrimsAsJumps(c[3] & 0x02);
  o.setUseNeedleUps(c[3] & 0x04);
  o.setPreserveJumps(c[3] & 0x08);
  o.setStripBeginEnd(c[3] & 0x10);
  o.setRemoveRedundantChenille(c[3] & 0x20);
  o.setRemoveChenilleHeight(c[3] & 0x40);
  o.setJumpsPerTrim(static_cast<short>(c[4] % 8));
  o.setCleanLength(static_cast<short>(c[5] % 16));
}

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kConfigBytes) return 0;
  const std::uint8_t* records = data + kConfigBytes;
  const std::size_t recordBytes = size - kConfigBytes;

  for (int asHsf = 0; asHsf < 2; ++asHsf) {
    StitchDecoderOptions options;
    setDefaultDecoderOptions(options);
    configure(options, data);
    HXArray<HStitch> stitches;
    StitchArrayWrapper wrapper(stitches);
    StitchFilter filter(wrapper);
    MemoryInputBytestream stream(records, recordBytes);
    const int r = asHsf ? filter.decodeStitchesAsHsf(options, HXArray<StopInfo>(),
                                                     HXArray<HString>(), 1, stream)
                        : filter.decodeStitches(options, 1, stream);
    check(r == 0 || r == -1 || r == -2);
    if (r == -2) check(stitches.isEmpty());
    // Every delivered stitch comes from at least one record of two bytes or more; a KVB record
    // of three bytes delivers at most two.
    const std::size_t perTwoStitches = options.getFileFormat() == kFormatKvb ? 3 : 4;
    check(static_cast<std::size_t>(stitches.length()) <= 2 * recordBytes / perTwoStitches + 2);
  }
  return 0;
}
