#include "stitchkit/decode/exp_decoder.h"

#include <algorithm>
#include <new>

#include "stitchkit/decode/exp_records.h"

namespace stitchkit {

ExpStitchDecoder::~ExpStitchDecoder() = default;

int ExpStitchDecoder::vBeginDesign(HCoord<short> /*start*/, int /*needle*/) {
  synced = 0;
  return kDecodeOk;
}

int ExpStitchDecoder::vGetSoftStitch(HStitch& /*s*/) {
  return kDecodeOk;
}

int ExpStitchDecoder::readTwoBytes(unsigned char* buf, int offset) {
  if (buf == nullptr || offset > exp::kMaxRecordSize) return kDecodeFailure;
  return readBytes(buf, offset, 2);
}

// Leading zero bytes are padding; the first non-zero byte starts the data. Records are two
// bytes wide, so the first escape byte must lie an even number of bytes after the start: when
// it does not, the start moves by one (back onto the zero byte before it, which is then the dx
// of a record, or past the first byte when there is none before it). Data without an escape
// byte starts on an even offset.
int ExpStitchDecoder::align() {
  InputBytestream* stream = getBytestream();
  const long origin = stream->position();
  if (origin < 0) return kDecodeFailure;

  long start = -1;
  for (long index = 0;; ++index) {
    unsigned char byte = 0;
    const int r = readByte(byte);
    if (r == kDecodeEnd) {
      if (start < 0) return kDecodeEnd;
      if (start % 2 != 0) --start;
      break;
    }
    if (r != kDecodeOk) return kDecodeFailure;
    if (byte != 0 && start < 0) start = index;
    if (byte == exp::kEscape) {
      if ((index - start) % 2 != 0) start += start < 1 ? 1 : -1;
      break;
    }
  }
  if (stream->seek(origin + start) != kStreamOk) return kDecodeFailure;
  synced = 1;
  return kDecodeOk;
}

int ExpStitchDecoder::vGetHardStitch(HStitch& s) {
  if (getBytestream() == nullptr) return kDecodeFailure;
  if (!synced) {
    const int r = align();
    if (r != kDecodeOk) return r;
  }

  unsigned char buf[exp::kMaxRecordSize + 2] = {};
  int r = readTwoBytes(buf, 0);
  if (r != kDecodeOk) return r;

  const HStitch& previous = lastHardStitch();
  s.setColor(static_cast<unsigned short>(currentNeedle() - 1));

  if (buf[0] != exp::kEscape) {
    s.setFlags(StitchCode::Normal);
    if (moveFrom(previous, static_cast<signed char>(buf[0]), -static_cast<signed char>(buf[1]),
                 s) != kDecodeOk) {
      return failRecord(kDecodeOutOfRange, exp::kMaxRecordSize / 2);
    }
    return kDecodeOk;
  }

  const exp::ControlRow& row = exp::kControlTable[buf[1]];
  if (exp::operandSize(row.operand) != 0 && (r = readTwoBytes(buf, 2)) != kDecodeOk) return r;

  s.setFlags(row.code);
  s.setPoint(previous.getPoint());
  switch (row.operand) {
    case exp::Operand::Move:
      if (moveFrom(previous, static_cast<signed char>(buf[2]), -static_cast<signed char>(buf[3]),
                   s) != kDecodeOk) {
        return failRecord(kDecodeOutOfRange, exp::kMaxRecordSize);
      }
      if (row.code == StitchCode::ChangeNeedle) {
        s.setColor(static_cast<unsigned short>(exp::needleChangeColour(row.control)));
      }
      break;
    case exp::Operand::Function:
      s.setFlags(exp::kFunctionTable[buf[2]]);
      break;
    case exp::Operand::DataWord:
      s.setData(static_cast<unsigned short>(buf[2] | (buf[3] << 8)));
      break;
    case exp::Operand::None:
      break;
  }
  return kDecodeOk;
}

// Stitch and jump records read straight from the stream's buffer, up to the first other
// control record (or one the buffer cuts, or a stitch the full rules must judge).
int ExpStitchDecoder::vDecodePlainStitches(std::span<HStitch> out) {
  InputBytestream* stream = getBytestream();
  if (stream == nullptr || !synced) return 0;
  const std::span<const unsigned char> bytes = stream->buffered();
  const auto read = [bytes](std::size_t at, PlainRecord& record) {
    const std::size_t left = bytes.size() - at;
    if (left < exp::kStitchRecordSize) return false;
    const unsigned char* b = bytes.data() + at;
    if (b[0] != exp::kEscape) {
      record = {static_cast<signed char>(b[0]), -static_cast<signed char>(b[1]), false,
                exp::kStitchRecordSize};
      return true;
    }
    const exp::ControlRow& row = exp::kControlTable[b[1]];
    if (row.code != StitchCode::Jump || row.operand != exp::Operand::Move ||
        left < exp::kMaxRecordSize) {
      return false;
    }
    record = {static_cast<signed char>(b[2]), -static_cast<signed char>(b[3]), true,
              exp::kMaxRecordSize};
    return true;
  };
  std::size_t consumed = 0;
  const int taken = takePlainStitches(out, read, consumed);
  stream->consume(consumed);
  return taken;
}

StitchDecoder* ExpStitchDecoderFactory::createDecoder(StitchOptions& options) {
  return new (std::nothrow) ExpStitchDecoder(options);
}

}  // namespace stitchkit
