#include "stitchkit/decode/zangs_decoder.h"

#include <new>

#include "stitchkit/decode/zangs_records.h"

namespace stitchkit {

ZangsStitchDecoder::~ZangsStitchDecoder() = default;

int ZangsStitchDecoder::vBeginDesign(HCoord<short> /*start*/, int /*needle*/) {
  synced_ = 0;
  sequinOn_ = 0;
  record_ = {};
  reuseRecord_ = 0;
  readStatus_ = kDecodeOk;
  return kDecodeOk;
}

int ZangsStitchDecoder::vGetSoftStitch(HStitch& /*s*/) {
  return kDecodeOk;
}

int ZangsStitchDecoder::readThreeBytes() {
  if (reuseRecord_ == 0) {
    unsigned char buf[zangs::kRecordSize] = {0, 0, 0};
    readStatus_ = readBytes(buf, 0, zangs::kRecordSize);
    if (readStatus_ == kDecodeOk) {
      record_ = {buf[0], buf[1], buf[2]};
      if (!zangs::isWellFormed(record_[0], record_[1], record_[2])) {
        readStatus_ = failRecord(kDecodeMalformed, zangs::kRecordSize);
      }
    }
  }
  reuseRecord_ = 0;
  return readStatus_;
}

int ZangsStitchDecoder::align() {
  for (;;) {
    record_[0] = record_[1];
    record_[1] = record_[2];
    const int r = readByte(record_[2]);
    if (r != kDecodeOk) {
      readStatus_ = r == kDecodeEnd ? kDecodeEnd : kDecodeFailure;
      return readStatus_;
    }
    if ((record_[2] & zangs::kFlagBit) != 0) break;
  }
  synced_ = 1;
  readStatus_ = zangs::isWellFormed(record_[0], record_[1], record_[2])
                    ? kDecodeOk
                    : failRecord(kDecodeMalformed, zangs::kRecordSize);
  return readStatus_;
}

int ZangsStitchDecoder::vGetHardStitch(HStitch& s) {
  if (getBytestream() == nullptr) return kDecodeFailure;
  const int r = synced_ ? readThreeBytes() : align();
  if (r != kDecodeOk) return r;

  int dx = zangs::moveX(record_[1], record_[2]);
  int dy = zangs::moveY(record_[0], record_[2]);
  std::uint8_t code = StitchCode::Normal;
  int colour = currentNeedle() - 1;

  switch (zangs::commandOf(record_[2])) {
    case zangs::Command::Normal:
      code = StitchCode::Normal;
      break;
    case zangs::Command::Jump:
      code = StitchCode::Jump;
      break;
    case zangs::Command::Stop:
      code = StitchCode::Stop;
      break;
    case zangs::Command::Needle:
      code = StitchCode::ChangeNeedle;
      colour = zangs::needleColour(record_[2]);
      break;
    case zangs::Command::End:
      code = StitchCode::DesignEnd;
      break;
    case zangs::Command::ExtendedNeedle: {
      code = StitchCode::ChangeNeedle;
      colour = zangs::kExtendedNeedleAloneColour;
      const int firstDx = dx;
      const int firstDy = dy;
      const zangs::Command next =
          readThreeBytes() == kDecodeOk ? zangs::commandOf(record_[2]) : zangs::Command::Normal;
      if (readStatus_ == kDecodeOk && next == zangs::Command::Needle) {
        colour = zangs::extendedNeedleColour(record_[2]);
      } else if (readStatus_ == kDecodeOk && next == zangs::Command::ExtendedNeedle) {
        colour = zangs::kExtendedNeedleTwiceColour;
      } else {
        // Not an extension: the record (or the failure) is delivered by the next read.
        reuseRecord_ = 1;
        break;
      }
      dx = firstDx + zangs::moveX(record_[1], record_[2]);
      dy = firstDy + zangs::moveY(record_[0], record_[2]);
      break;
    }
    case zangs::Command::Sequin:
      code = sequinOn_ ? StitchCode::DropSequin : StitchCode::SequinStart;
      sequinOn_ = 1;
      break;
    case zangs::Command::UpperTrim:
      code = StitchCode::UpperTrim;
      break;
    case zangs::Command::Trim:
      code = StitchCode::Trim;
      break;
    case zangs::Command::BorerIn:
      code = StitchCode::BorerIn;
      break;
    case zangs::Command::BorerOut:
      code = sequinOn_ ? StitchCode::SequinEnd : StitchCode::BorerOut;
      sequinOn_ = 0;
      break;
  }

  const HStitch& previous = lastHardStitch();
  s.setFlags(code);
  s.setColor(static_cast<unsigned short>(colour));
  if (moveFrom(previous, dx, dy, s) != kDecodeOk) {
    return failRecord(kDecodeOutOfRange, zangs::kRecordSize);
  }
  return kDecodeOk;
}

StitchDecoder* ZangsStitchDecoderFactory::createDecoder(StitchOptions& options) {
  return new (std::nothrow) ZangsStitchDecoder(options);
}

}  // namespace stitchkit
