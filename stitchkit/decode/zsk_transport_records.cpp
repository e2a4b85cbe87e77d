#include "stitchkit/decode/zsk_transport_records.h"

#include <algorithm>

namespace stitchkit::zsk {

bool ZSKTransportHeader::hasTag() const {
  return std::equal(kTag.begin(), kTag.end(), bytes.begin() + kTagOffset);
}

FramedResult readFramedRecord(std::span<const std::uint8_t> data, std::size_t& at,
                              ZSKTransportHeader& header, HList<ZSKNeedle>& needles) {
  if (at >= data.size() || (data[at] & kKindMask) != kFramedClass) return FramedResult::kNotFramed;
  if (data.size() - at < kFramingSize) return FramedResult::kCut;
  const std::size_t length = static_cast<std::size_t>(data[at + 1] << 8 | data[at + 2]);
  // The length counts the type byte; a length of 0 claims less than the framing holds.
  const std::size_t body = length == 0 ? 0 : length - 1;
  if (data.size() - at - kFramingSize < body) return FramedResult::kCut;
  const std::uint8_t* b = data.data() + at + kFramingSize;
  switch (data[at + 3]) {
    case kHeaderType:
      if (body >= kHeaderSize) std::copy_n(b, kHeaderSize, header.bytes.begin());
      break;
    case kThreadTableType:
      for (std::size_t i = 0; i + kNeedleSize <= body && needles.length() < kMaxNeedles;
           i += kNeedleSize) {
        ZSKNeedle needle;
        std::copy_n(b + i, kNeedleSize, needle.bytes.begin());
        needles.append(needle);
      }
      break;
    default:
      break;
  }
  at += kFramingSize + body;
  return FramedResult::kRead;
}

std::size_t findNextClass(std::span<const std::uint8_t> data, std::size_t at) {
  while (at < data.size() && (data[at] & kSkippedBit) != 0)
    ++at;
  return std::min(at, data.size());
}

std::size_t readLeadingRecords(std::span<const std::uint8_t> data, ZSKTransportHeader& header,
                               HList<ZSKNeedle>& needles) {
  std::size_t at = findNextClass(data, 0);
  for (;;) {
    std::size_t next = at;
    if (readFramedRecord(data, next, header, needles) != FramedResult::kRead) return at;
    at = findNextClass(data, next);
  }
}

}  // namespace stitchkit::zsk
