#include "stitchkit/decode/kvb_decoder.h"

#include <algorithm>

#include "stitchkit/decode/kvb_records.h"

namespace stitchkit {

KorvanKVBStitchDecoder::KorvanKVBStitchDecoder(StitchOptions& options)
    : BytestreamStitchDecoder(options) {
  attributes_.fill(' ');
}

KorvanKVBStitchDecoder::~KorvanKVBStitchDecoder() = default;

bool KorvanKVBStitchDecoder::readTable(long offset, const std::array<unsigned char, 3>& tag,
                                       unsigned char* into, int size) {
  std::array<unsigned char, kvb::kTagSize> read{};
  return getBytestream()->seek(offset) == kStreamOk &&
         readBytes(read.data(), 0, kvb::kTagSize) == kDecodeOk && read == tag &&
         readBytes(into, 0, size) == kDecodeOk;
}

int KorvanKVBStitchDecoder::vBeginDesign(HCoord<short> /*start*/, int /*needle*/) {
  InputBytestream* stream = getBytestream();
  if (stream == nullptr) return kDecodeFailure;
  pendingRecord_ = 0;
  firstRecordDone_ = 0;
  needleOrderIndex_ = -1;
  const long at = stream->position();
  if (!readTable(kvb::kNeedleOrderTagOffset, kvb::kNeedleOrderTag, needleOrder_.data(),
                 kvb::kNeedleOrderSize) ||
      !readTable(kvb::kAttributesTagOffset, kvb::kAttributesTag, attributes_.data(),
                 kvb::kAttributesSize) ||
      stream->seek(kvb::kRecordsOffset) != kStreamOk) {
    // A header this short or without its tags is no KVB header.
    if (at >= 0) stream->seek(at);
    return kDecodeMalformed;
  }
  const bool attributesSet =
      std::any_of(kvb::kTableAttributeBytes.begin(), kvb::kTableAttributeBytes.end(),
                  [this](int i) { return attributes_[static_cast<std::size_t>(i)] != ' '; });
  if (needleOrder_[0] != 0 || attributesSet) needleOrderIndex_ = 0;
  return kDecodeOk;
}

bool KorvanKVBStitchDecoder::isStartRecord() const {
  if (record_[0] != 0 || record_[1] != 0) return false;
  switch (options().getKorvanStartStitchType()) {
    case kKorvanStartStitchNone:
      return false;
    case kKorvanStartStitchSecond:
      return record_[2] == kvb::kJump;
    default:
      return record_[2] == kvb::kNormal || record_[2] == kvb::kJump;
  }
}

int KorvanKVBStitchDecoder::vGetHardStitch(HStitch& s) {
  if (getBytestream() == nullptr) return kDecodeFailure;
  if (!pendingRecord_) {
    int r = readThreeBytes(record_.data());
    if (r != kDecodeOk) return r;
    if (!firstRecordDone_) {
      if (isStartRecord() && (r = readThreeBytes(record_.data())) != kDecodeOk) return r;
      firstRecordDone_ = 1;
    }
  }
  pendingRecord_ = 0;

  // The needle of each colour block in turn; an entry of 0 names no needle.
  int colour = currentNeedle() - 1;
  const auto takeNeedle = [this, &colour] {
    const int needle = needleOrder_[static_cast<std::size_t>(needleOrderIndex_++)];
    if (needle != 0) colour = needle - 1;
  };
  if (needleOrderIndex_ == 0) takeNeedle();

  const kvb::Function f = kvb::kFunctions[record_[2]];
  s.setFlags(f.code);
  switch (f.extra) {
    case kvb::Extra::NeedleChange:
      if (needleOrderIndex_ >= 1 && needleOrderIndex_ < kvb::kNeedleOrderSize) takeNeedle();
      break;
    case kvb::Extra::DataByte:
      s.setData8(f.data);
      break;
    case kvb::Extra::ArbitraryBlock:
      s.setArbitraryBlock(record_[2]);
      break;
    default:
      break;
  }
  s.setColor(static_cast<unsigned short>(colour));

  const HStitch& previous = lastHardStitch();
  if (f.extra == kvb::Extra::NoMove) {
    s.setPoint(previous.getPoint());
  } else if (moveFrom(previous, static_cast<std::int8_t>(record_[0]),
                      -static_cast<std::int8_t>(record_[1]), s) != kDecodeOk) {
    return failRecord(kDecodeOutOfRange, kvb::kRecordSize);
  }

  // The speed command of a jump follows at the jump's point.
  if (f.extra == kvb::Extra::ThenSlowDown || f.extra == kvb::Extra::ThenSpeedUp) {
    pendingRecord_ = 1;
    record_ = {0, 0, f.extra == kvb::Extra::ThenSlowDown ? kvb::kSlowDown : kvb::kSpeedUp};
  }
  return kDecodeOk;
}

// Normal and jump records read straight from the stream's buffer, once the first record (which
// may be the start record, or take the first needle) is read and no speed command is owed.
int KorvanKVBStitchDecoder::vDecodePlainStitches(std::span<HStitch> out) {
  InputBytestream* stream = getBytestream();
  if (stream == nullptr || !firstRecordDone_ || pendingRecord_ || needleOrderIndex_ == 0) return 0;
  const std::span<const unsigned char> bytes = stream->buffered();
  const auto read = [bytes](std::size_t at, PlainRecord& record) {
    if (bytes.size() - at < kvb::kRecordSize) return false;
    const unsigned char* b = bytes.data() + at;
    const kvb::Function& f = kvb::kFunctions[b[2]];
    if (!kvb::isPlain(f)) return false;
    record = {static_cast<std::int8_t>(b[0]), -static_cast<std::int8_t>(b[1]),
              f.code == StitchCode::Jump, kvb::kRecordSize};
    return true;
  };
  std::size_t consumed = 0;
  const int taken = takePlainStitches(out, read, consumed);
  stream->consume(consumed);
  return taken;
}

}  // namespace stitchkit
