// Builds a stitch array and an option record from the input, writes the design as machine
// records through the stitch filter, and checks that whatever was written reads back in the
// same format.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/bytestream.h"

namespace {

using namespace stitchkit;

constexpr std::size_t kConfigBytes = 8;
constexpr std::size_t kStitchBytes = 5;
constexpr int kMaxStitches = 4000;

void configure(StitchOptions& o, const std::uint8_t* c) {
  // The first byte's low bits pick the format; the seeds written for DST use 0.
  constexpr HDiskFileFormat kFormats[] = {kFormatDst, kFormatDsb, kFormatExp, kFormatDsz};
  setDefaultEncoderOptions(o);
  o.setFileFormat(kFormats[c[0] & 0x03]);
  // A run can be held to one format: STITCHKIT_FUZZ_FORMAT=<code>.
  if (const char* forced = std::getenv("STITCHKIT_FUZZ_FORMAT")) {
    o.setFileFormat(static_cast<HDiskFileFormat>(std::atoi(forced)));
  }
  if (o.getFileFormat() == kFormatDst) o.setHardLength(121);
  o.setStopsAsNeedles(c[0] & 0x04);
  o.setCopyOriginal((c[0] & 0x18) == 0x18);
  o.setPreserveJumps(c[0] & 0x20);
  o.setTrimsAsJumps(c[0] & 0x40);
  o.setHasTrimCode(!(c[0] & 0x80));
  o.setGranularity(static_cast<short>(1 + c[1] % 5));
  o.setMaxLength(static_cast<short>((c[1] >> 3) % 2 ? 30 + c[1] % 90 : 0));
  o.setSplitJumpLength(static_cast<short>((c[1] >> 4) % 2 ? 20 + c[2] % 100 : 0));
  o.setJumpsPerTrim(static_cast<short>(c[2] % 6));
  o.setTrimJumpLength(static_cast<short>(1 + (c[2] >> 3) % 8));
  o.setPenetrateAtTrims(c[2] & 0x80);
  o.setInsertBlankStitchAfterTrim(c[3] & 0x01);
  o.setCleanShort(c[3] & 0x02);
  o.setCleanLength(static_cast<short>((c[3] >> 2) % 12));
  o.setPreserveBlanks(static_cast<PreserveBlanksType>((c[3] >> 5) % 5));
  o.setKorvanPadStop(c[4] & 0x01);
  o.setKorvanRemoveDoubleStops(c[4] & 0x02);
  o.setKorvanStartStitchType(static_cast<KorvanStartStitchType>((c[4] >> 2) % 3));
  o.setSequinType(static_cast<SequinType>((c[4] >> 4) % 3));
  o.setBorerType(static_cast<BorerType>((c[4] >> 6) % 3));
  o.setGlassBeadType(static_cast<GlassBeadType>(c[5] % 3));
  o.setReturnToFirstNeedleAtEnd(c[5] & 0x04);
  o.setJumpBeforeEnd(c[5] & 0x08);
  o.setAlternateSequinDropCommands(c[5] & 0x10);
  o.setKorvanMoveDropSequins(c[5] & 0x20);
  o.setBlankAfterDrops(c[5] & 0x40);
  o.setKorvanOldChenille(c[5] & 0x80);
  o.setPenetrationStyle(static_cast<PenetrationStyle>(c[6] % 3));
  o.setSupportsCombinedSequinBead(c[6] & 0x04);
  o.setJumpBetweenTwoStops(c[6] & 0x08);
  o.setUseNeedleUps(c[6] & 0x10);
  o.setCombineSequinCommands(c[6] & 0x20);
  o.setFilterBlankJumps(c[6] & 0x40);
  o.setForceFirstColourChange(c[6] & 0x80);
  o.setRemoveRedundantChenille(c[7] & 0x01);
  o.setRemoveChenilleHeight(c[7] & 0x02);
  o.setStripBeginEnd(c[7] & 0x04);
}

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kConfigBytes) return 0;
  StitchEncoderOptions options;
  configure(options, data);

  HXArray<HStitch> stitches;
  int x = 0;
  int y = 0;
  for (std::size_t at = kConfigBytes; at + kStitchBytes <= size && stitches.length() < kMaxStitches;
       at += kStitchBytes) {
    const std::uint8_t* p = data + at;
    // Moves of up to about 500 units, so that splitting is exercised; positions stay well inside
    // the 16-bit range.
    x += static_cast<std::int8_t>(p[1]) * (1 + (p[0] >> 7) * 3);
    y += static_cast<std::int8_t>(p[2]) * (1 + ((p[0] >> 6) & 1) * 3);
    if (x < -30000 || x > 30000) x = 0;
    if (y < -30000 || y > 30000) y = 0;
    HStitch s(static_cast<short>(x), static_cast<short>(y),
              static_cast<std::uint8_t>((p[0] & 0x3F) % 68),
              static_cast<unsigned short>(p[3] % 12));
    s.setData(p[4] % 12);
    s.setSequinHead(static_cast<unsigned short>(p[4] % 8));
    stitches.add(s);
  }

  std::vector<unsigned char> written;
  VectorOutputBytestream out(written);
  StitchArrayWrapper wrapper(stitches);
  StitchFilter filter(wrapper);
  const int r = filter.encodeStitches(options, &out);
  check(r == 0 || r == -1 || r == -2);
  if (r != 0) return 0;

  // What was written is a sequence of well-formed records and reads back to its end.
  if (options.getFileFormat() == kFormatDst) check(written.size() % 3 == 0);
  StitchDecoderOptions readOptions;
  setDefaultDecoderOptions(readOptions);
  readOptions.setFileFormat(options.getFileFormat());
  HXArray<HStitch> back;
  StitchArrayWrapper backWrapper(back);
  StitchFilter reader(backWrapper);
  MemoryInputBytestream in(written.data(), written.size());
  check(reader.decodeStitches(readOptions, 1, in) == 0);
  return 0;
}
