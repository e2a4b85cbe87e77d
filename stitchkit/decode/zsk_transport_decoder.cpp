#include "stitchkit/decode/zsk_transport_decoder.h"

#include <array>

namespace stitchkit {
namespace {

using namespace zsk;

// What a function without a move becomes.
enum class Parameter : std::uint8_t {
  kUnknown,  // a function this decoder does not know: no stitch
  kNone,     // the code alone
  kData,     // the code, with the parameter as its data word
  kNeedle,   // a needle change to the parameter's needle
  kSpeed,    // a speed change against the speed before
  kOnOff,    // `code` with its parameter as data word; `offCode` when the parameter is 0
};

struct FunctionRow {
  std::uint8_t code = StitchCode::Normal;
  Parameter parameter = Parameter::kUnknown;
  std::uint8_t offCode = StitchCode::Normal;
};

constexpr std::array<FunctionRow, 256> makeFunctions() {
  std::array<FunctionRow, 256> table{};
  table[kEnd] = {StitchCode::DesignEnd, Parameter::kNone};
  table[kNeedleChange] = {StitchCode::ChangeNeedle, Parameter::kNeedle};
  table[kStop] = {StitchCode::Stop, Parameter::kNone};
  table[kTrim] = {StitchCode::Trim, Parameter::kNone};
  table[kFunction3] = {StitchCode::ZskFunction3, Parameter::kData};
  table[kFunction4] = {StitchCode::ZskFunction4, Parameter::kData};
  table[kMoss] = {StitchCode::ChenilleMoss, Parameter::kNone};
  table[kChain] = {StitchCode::ChenilleChain, Parameter::kNone};
  table[kFunction7] = {StitchCode::ZskFunction7, Parameter::kData};
  table[kSpeed] = {StitchCode::Normal, Parameter::kSpeed};
  table[kSequin] = {StitchCode::SequinStart, Parameter::kOnOff, StitchCode::SequinEnd};
  table[kBorer] = {StitchCode::BorerIn, Parameter::kOnOff, StitchCode::BorerOut};
  table[kFunction12] = {StitchCode::ZskFunction12, Parameter::kData};
  table[kFunction13] = {StitchCode::ZskFunction13, Parameter::kData};
  table[kFunction14] = {StitchCode::ZskFunction14, Parameter::kData};
  return table;
}

constexpr auto kFunctions = makeFunctions();

int bigEndian16(const std::uint8_t* b) {
  return b[0] << 8 | b[1];
}

// The drop head a sequin drop's parameter names: parameters 2 to 4 are heads 1 to 3.
unsigned short dropHead(std::uint8_t parameter) {
  return parameter >= 2 && parameter <= 4 ? static_cast<unsigned short>(parameter - 1) : 0;
}

}  // namespace

ZSKTransportStitchDecoder::ZSKTransportStitchDecoder(StitchOptions& options)
    : BytestreamStitchDecoder(options) {}

ZSKTransportStitchDecoder::~ZSKTransportStitchDecoder() = default;

int ZSKTransportStitchDecoder::load(InputBytestream& stream) {
  const long size = stream.size();
  if (size == 0 || (size > 0 && static_cast<unsigned long>(size) > kMaxLoadedBytes)) {
    return kDecodeFailure;
  }
  const long at = stream.position();
  if (stream.seek(0) != kStreamOk) return kDecodeFailure;
  int r = kStreamOk;
  if (size > 0) {
    data_.resize(static_cast<std::size_t>(size));
    r = stream.readExact(data_.data(), static_cast<int>(size));
  } else {
    // A stream that cannot tell its size is read to its end, up to one byte past the cap.
    unsigned char byte = 0;
    while (data_.size() <= kMaxLoadedBytes && (r = stream.inputByte(byte)) == kStreamOk)
      data_.push_back(byte);
    if (r == kStreamEnd) r = kStreamOk;
  }
  if (at >= 0) stream.seek(at);
  if (r != kStreamOk || data_.empty() || data_.size() > kMaxLoadedBytes) {
    data_.clear();
    return kDecodeFailure;
  }
  return kDecodeOk;
}

int ZSKTransportStitchDecoder::vBeginDesign(HCoord<short> /*start*/, int /*needle*/) {
  InputBytestream* stream = getBytestream();
  if (stream == nullptr) return kDecodeFailure;
  data_.clear();
  position_ = 0;
  loaded_ = false;
  currentSpeed_ = kInitialSpeed;
  header_ = ZSKTransportHeader();
  needles_.empty();
  if (const int r = load(*stream); r != kDecodeOk) return r;
  position_ = readLeadingRecords(data_, header_, needles_);
  loaded_ = true;
  return kDecodeOk;
}

int ZSKTransportStitchDecoder::decodeRecord(HStitch& s, bool& delivered) {
  delivered = false;
  const std::size_t left = data_.size() - position_;
  const std::uint8_t* b = data_.data() + position_;
  const std::uint8_t kind = b[0] & kKindMask;
  int dx = 0;
  int dy = 0;
  std::size_t size = 0;
  std::uint8_t code = b[0] & kJumpBit ? StitchCode::Jump : StitchCode::Normal;
  bool moves = true;
  switch (kind) {
    case kShortMove:
      if (left < kShortMoveSize) return malformed();
      dx = b[1], dy = b[2], size = kShortMoveSize;
      break;
    case kLongMove:
      if (left < kLongMoveSize) return malformed();
      dx = bigEndian16(b + 1), dy = bigEndian16(b + 3), size = kLongMoveSize;
      break;
    case kFunctionWithMove:
      if (left < kFunctionWithMoveSize) return malformed();
      dx = bigEndian16(b + 3), dy = bigEndian16(b + 5), size = kFunctionWithMoveSize;
      if (b[1] == kDrop) {
        code = StitchCode::DropSequin;
        s.setSequinHead(dropHead(b[2]));
      }
      break;
    case kFunction: {
      if (left < kFunctionSize) return malformed();
      size = kFunctionSize;
      moves = false;
      const FunctionRow& f = kFunctions[b[1]];
      const std::uint8_t p = b[2];
      code = f.code;
      switch (f.parameter) {
        case Parameter::kUnknown:
          position_ += size;
          return kDecodeOk;
        case Parameter::kData:
          s.setData(p);
          break;
        case Parameter::kNeedle:
          // Needle 0 names none: the needle in use stays.
          s.setColor(static_cast<unsigned short>(p == 0 ? currentNeedle() - 1 : p - 1));
          break;
        case Parameter::kSpeed: {
          const int speed = p * kSpeedUnit;
          if (speed != currentSpeed_) {
            code = speed > currentSpeed_ ? StitchCode::SpeedUp : StitchCode::SlowDown;
            s.setData(static_cast<unsigned short>(speed));
          }
          currentSpeed_ = speed;
          break;
        }
        case Parameter::kOnOff:
          if (p == 0) {
            code = f.offCode;
          } else {
            s.setData(p);
          }
          break;
        case Parameter::kNone:
          break;
      }
      break;
    }
    case kRemark:
      if (left < kRemarkHeadSize || left - kRemarkHeadSize < std::size_t(bigEndian16(b + 1))) {
        return malformed();
      }
      position_ += kRemarkHeadSize + static_cast<std::size_t>(bigEndian16(b + 1));
      return kDecodeOk;
    case kFramedClass:
      if (readFramedRecord(data_, position_, header_, needles_) != FramedResult::kRead) {
        return malformed();
      }
      return kDecodeOk;
    default:
      return malformed();
  }

  s.setFlags(code);
  if (code != StitchCode::ChangeNeedle)
    s.setColor(static_cast<unsigned short>(currentNeedle() - 1));
  if (!moves) {
    s.setPoint(lastHardStitch().getPoint());
  } else if (moveFrom(lastHardStitch(), b[0] & kNegativeX ? -dx : dx, b[0] & kNegativeY ? dy : -dy,
                      s) != kDecodeOk) {
    setFailedRecordOffset(static_cast<long>(position_));
    return kDecodeOutOfRange;
  }
  position_ += size;
  delivered = true;
  return kDecodeOk;
}

int ZSKTransportStitchDecoder::vGetHardStitch(HStitch& s) {
  if (!loaded_) return kDecodeFailure;
  for (;;) {
    position_ = findNextClass(data_, position_);
    // The data must end with the end function; running out before it is a failure.
    if (position_ >= data_.size()) return kDecodeFailure;
    bool delivered = false;
    const int r = decodeRecord(s, delivered);
    if (r != kDecodeOk || delivered) return r;
  }
}

// Short and long move records read straight from the loaded bytes.
int ZSKTransportStitchDecoder::vDecodePlainStitches(std::span<HStitch> out) {
  if (!loaded_) return 0;
  const std::span<const std::uint8_t> bytes =
      std::span<const std::uint8_t>(data_).subspan(std::min(position_, data_.size()));
  const auto read = [bytes](std::size_t at, PlainRecord& record) {
    if (at >= bytes.size()) return false;
    const std::uint8_t* b = bytes.data() + at;
    const std::size_t left = bytes.size() - at;
    const std::uint8_t c = b[0];
    int dx = 0;
    int dy = 0;
    if ((c & (kKindMask | kSkippedBit)) == kShortMove && left >= kShortMoveSize) {
      dx = b[1], dy = b[2], record.size = kShortMoveSize;
    } else if ((c & (kKindMask | kSkippedBit)) == kLongMove && left >= kLongMoveSize) {
      dx = bigEndian16(b + 1), dy = bigEndian16(b + 3), record.size = kLongMoveSize;
    } else {
      return false;
    }
    record.dx = c & kNegativeX ? -dx : dx;
    record.dy = c & kNegativeY ? dy : -dy;
    record.jump = (c & kJumpBit) != 0;
    return true;
  };
  std::size_t consumed = 0;
  const int taken = takePlainStitches(out, read, consumed);
  position_ += consumed;
  return taken;
}

}  // namespace stitchkit
