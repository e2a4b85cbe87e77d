// Feeds arbitrary bytes to the ZSK transport decoder as the file reader runs it: framed records
// whose lengths and thread counts point anywhere, header fields of any value, records cut
// short, classes of no known kind. Besides not crashing, what was read must be whole: at most
// 255 threads, and a design read to its end only with the end function.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "stitchkit/decode/zsk_transport_decoder.h"
#include "stitchkit/files/zsk_transport_file.h"
#include "stitchkit/filter/stitch_filter.h"

using namespace stitchkit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  HXArray<HStitch> stitches;
  StitchArrayWrapper wrapper(stitches);
  StitchOptions options;
  setDefaultDecoderOptions(options);
  options.setFileFormat(kFormatZskTransport);
  MemoryInputBytestream stream(data, size);
  StitchFilter filter(wrapper);
  const int result = filter.decodeStitches(options, 1, stream);
  const auto* decoder = dynamic_cast<const ZSKTransportStitchDecoder*>(filter.getDecoder());
  if (decoder == nullptr) std::abort();
  const ThreadPalette palette = paletteFromZSKNeedles(decoder->getZSKNeedleInfo());
  if (palette.length() > zsk::kMaxNeedles) std::abort();
  const ZSKTransportDesignInfo header = describeZSKTransportHeader(decoder->getZSKHeader());
  // ANSI text grows to at most three bytes a character in UTF-8.
  if (header.name.size() > 3 * zsk::kNameSize) std::abort();
  if (result == kFilterOk && !decoder->endRecordSeen()) std::abort();
  return 0;
}
