#include "stitchkit/decode/barudan_decoder.h"

#include <new>

#include "stitchkit/decode/barudan_records.h"

namespace stitchkit {

BarudanStitchDecoder::~BarudanStitchDecoder() = default;

int BarudanStitchDecoder::vBeginDesign(HCoord<short> /*start*/, int /*needle*/) {
  synced_ = 0;
  return kDecodeOk;
}

int BarudanStitchDecoder::readThreeBytes(unsigned char* buf, int offset) {
  if (buf == nullptr || offset > barudan::kRecordSize) return kDecodeFailure;
  const int r = readBytes(buf, offset, barudan::kRecordSize);
  if (r != kDecodeOk) return r;
  return barudan::isWellFormed(buf[offset], buf[offset + 1], buf[offset + 2]) ? kDecodeOk
                                                                              : kDecodeEnd;
}

int BarudanStitchDecoder::align(unsigned char* buf) {
  do {
    const int r = readByte(buf[0]);
    if (r != kDecodeOk) return r == kDecodeEnd ? kDecodeEnd : kDecodeFailure;
  } while ((buf[0] & barudan::kLeadBit) == 0);
  synced_ = 1;
  const int r = readBytes(buf, 1, barudan::kRecordSize - 1);
  if (r != kDecodeOk) return r == kDecodeEnd ? kDecodeEnd : kDecodeFailure;
  return barudan::isWellFormed(buf[0], buf[1], buf[2])
             ? kDecodeOk
             : failRecord(kDecodeMalformed, barudan::kRecordSize);
}

int BarudanStitchDecoder::vGetHardStitch(HStitch& s) {
  if (getBytestream() == nullptr) return kDecodeFailure;
  // The record, and after a needle prefix the extension record.
  unsigned char buf[2 * barudan::kRecordSize] = {0, 0, 0, 0, 0, 0};

  int r = synced_ ? readThreeBytes(buf, 0) : align(buf);
  if (r != kDecodeOk) return r;

  // Blank jumps around a change over say nothing once the needle has jumped away.
  if (options().getFilterChangeoverBlankJumps() && isChangeoverMode() && lastStitch().isJump() &&
      lastStitch().getPoint() != HCoord<short>() && buf[0] == barudan::kBlankJump[0] &&
      buf[1] == barudan::kBlankJump[1] && buf[2] == barudan::kBlankJump[2]) {
    r = readThreeBytes(buf, 0);
    if (r != kDecodeOk) return r;
  }

  const barudan::CommandRule& rule = barudan::kCommandRules[buf[0] & barudan::kCommandMask];
  int colour = currentNeedle() - 1;
  if (rule.colour == barudan::kColourExtension) {
    r = readThreeBytes(buf, barudan::kRecordSize);
    if (r != kDecodeOk) return r;
    colour = barudan::kExtensionColours[buf[barudan::kRecordSize] & barudan::kCommandMask];
  } else if (rule.colour != barudan::kColourInUse) {
    colour = rule.colour;
  }

  bool moves = true;
  switch (rule.moves) {
    case barudan::MoveRule::Always:
      break;
    case barudan::MoveRule::Never:
      moves = false;
      break;
    case barudan::MoveRule::WhileStopTableHas:
      moves = stopTableHasEntry() || getExtendedVariant() == 0;
      break;
    case barudan::MoveRule::UnlessExtended:
      moves = getExtendedVariant() == 0;
      break;
  }

  const HStitch& previous = lastHardStitch();
  s.setFlags(rule.code);
  s.setColor(static_cast<unsigned short>(colour));
  if (moves) {
    const int dx = (buf[0] & barudan::kXNegative) != 0 ? -buf[2] : buf[2];
    const int dy = (buf[0] & barudan::kYPositive) != 0 ? buf[1] : -buf[1];
    if (moveFrom(previous, dx, dy, s) != kDecodeOk) {
      return failRecord(kDecodeOutOfRange, barudan::kRecordSize);
    }
  } else {
    s.setPoint(previous.getPoint());
  }
  return kDecodeOk;
}

StitchDecoder* BarudanStitchDecoderFactory::createDecoder(StitchOptions& options) {
  return new (std::nothrow) BarudanStitchDecoder(options);
}

}  // namespace stitchkit
