#include "stitchkit/decode/dst_decoder.h"

#include <algorithm>
#include <new>

#include "stitchkit/decode/dst_records.h"

namespace stitchkit {

int KorvanStitchDecoder::vBeginDesign(HCoord<short> /*start*/, int /*needle*/) {
  synced_ = 0;
  return kDecodeOk;
}

int KorvanStitchDecoder::readThreeBytes(unsigned char* buf) {
  if (buf == nullptr) return kDecodeFailure;
  const int r = readBytes(buf, 0, dst::kRecordSize);
  if (r != kDecodeOk) return r;
  return dst::isWellFormed(buf[0], buf[1], buf[2]) ? kDecodeOk
                                                   : failRecord(kDecodeMalformed, dst::kRecordSize);
}

// Finds the first record: bytes are shifted through the buffer until one with both sync bits
// set arrives in the last position.
int KorvanStitchDecoder::align(unsigned char* buf) {
  for (;;) {
    buf[0] = buf[1];
    buf[1] = buf[2];
    const int r = readByte(buf[2]);
    if (r != kDecodeOk) return r == kDecodeEnd ? kDecodeEnd : kDecodeFailure;
    if ((buf[2] & dst::kSyncBits) == dst::kSyncBits) break;
  }
  synced_ = 1;
  return dst::isWellFormed(buf[0], buf[1], buf[2]) ? kDecodeOk
                                                   : failRecord(kDecodeMalformed, dst::kRecordSize);
}

int KorvanStitchDecoder::vGetHardStitch(HStitch& s) {
  if (getBytestream() == nullptr) return kDecodeFailure;
  unsigned char buf[dst::kRecordSize] = {0, 0, 0};
  const StitchOptions& o = options();

  if (synced_) {
    const int r = readThreeBytes(buf);
    if (r != kDecodeOk) return r;
  } else {
    int r = align(buf);
    if (r != kDecodeOk) return r;
    // The empty start record some writers put first.
    if (buf[0] == 0 && buf[1] == 0) {
      const int startType = o.getKorvanStartStitchType();
      const bool skip = startType == 2 ? buf[2] == dst::kStartByte2Type2
                        : startType != 0
                            ? buf[2] == dst::kStartByte2Type1 || buf[2] == dst::kStartByte2Type2
                            : false;
      if (skip && (r = readThreeBytes(buf)) != kDecodeOk) return r;
    }
  }

  // The blank record some machines need after a sequin drop.
  if (o.getBlankAfterDrops() && o.getFileFormat() == kFormatDst && lastStitch().isDropSequin() &&
      buf[0] == 0 && buf[1] == 0 && buf[2] == dst::kSyncBits) {
    const int r = readThreeBytes(buf);
    if (r != kDecodeOk) return r;
  }

  std::uint8_t code = StitchCode::Normal;
  switch (buf[2] & dst::kCommandMask) {
    case dst::kCommandNormal:
      code = StitchCode::Normal;
      break;
    case dst::kCommandJump:
      code = isSequinMode() ? StitchCode::DropSequin
             : isBeadMode() ? StitchCode::DropBead
                            : StitchCode::Jump;
      break;
    case dst::kCommandStop:
      code = buf[2] == dst::kEndByte2 ? StitchCode::DesignEnd : StitchCode::Stop;
      break;
    default:  // change-over bits: which device they toggle depends on the machine
      switch (o.getReadChangeoverType()) {
        case 0:
          code = isSequinMode() ? StitchCode::SequinEnd : StitchCode::SequinStart;
          break;
        case 1:
          code = isBorerMode() ? StitchCode::BorerOut : StitchCode::BorerIn;
          break;
        case 2:
          code = isLaserMode() ? StitchCode::LaserOff : StitchCode::LaserOn;
          break;
        case 4:
          code = isBeadMode() ? StitchCode::BeadEnd : StitchCode::BeadStart;
          break;
        default:
          code = StitchCode::ChangeOver;
          break;
      }
      break;
  }

  const HStitch& previous = lastHardStitch();
  s.setFlags(code);
  // Commands take their colour from the needle rules; a drop keeps this one, the needle in use.
  s.setColor(static_cast<unsigned short>(currentNeedle() - 1));
  if (code == StitchCode::DesignEnd) {
    s.setPoint(previous.getPoint());
  } else {
    const dst::Move move = dst::decodeMove(buf[0], buf[1], buf[2]);
    if (moveFrom(previous, move.dx, move.dy, s) != kDecodeOk) {
      return failRecord(kDecodeOutOfRange, dst::kRecordSize);
    }
  }
  return kDecodeOk;
}

// Normal and jump records read straight from the stream's buffer. Anything else (a command, a
// record that is not well formed or leaves the range, one cut by the buffer's end, a stitch
// that goes nowhere) is left for vGetHardStitch and the full rules.
int KorvanStitchDecoder::vDecodePlainStitches(std::span<HStitch> out) {
  InputBytestream* stream = getBytestream();
  if (stream == nullptr || !synced_) return 0;
  const StitchOptions& o = options();
  if (o.getBlankAfterDrops() && lastStitch().isDropSequin()) return 0;
  const std::span<const unsigned char> bytes = stream->buffered();
  const auto read = [bytes](std::size_t at, PlainRecord& record) {
    if (bytes.size() - at < dst::kRecordSize) return false;
    const unsigned char* b = bytes.data() + at;
    const std::uint8_t command = b[2] & dst::kCommandMask;
    if ((command != dst::kCommandNormal && command != dst::kCommandJump) ||
        !dst::isWellFormed(b[0], b[1], b[2])) {
      return false;
    }
    const dst::Move m = dst::decodeMove(b[0], b[1], b[2]);
    record = {m.dx, m.dy, command == dst::kCommandJump, dst::kRecordSize};
    return true;
  };
  std::size_t consumed = 0;
  const int taken = takePlainStitches(out, read, consumed);
  stream->consume(consumed);
  return taken;
}

StitchDecoder* KorvanStitchDecoderFactory::createDecoder(StitchOptions& options) {
  return new (std::nothrow) KorvanStitchDecoder(options);
}

}  // namespace stitchkit
