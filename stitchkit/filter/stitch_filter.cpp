#include "stitchkit/filter/stitch_filter.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <utility>

#include "stitchkit/decode/barudan_decoder.h"
#include "stitchkit/decode/dst_decoder.h"
#include "stitchkit/decode/exp_decoder.h"
#include "stitchkit/decode/zangs_decoder.h"
#include "stitchkit/encode/barudan_encoder.h"
#include "stitchkit/encode/dst_encoder.h"
#include "stitchkit/encode/exp_encoder.h"
#include "stitchkit/encode/vrzn_encoder.h"
#include "stitchkit/encode/zangs_encoder.h"

namespace stitchkit {

namespace {

// Which decoder reads which format codes. Each row covers the codes first..last; `inHsf` says
// whether the records embedded in the system's own stitch file may be of these formats.
struct DecoderRow {
  int first;
  int last;
  DecoderKind kind;
  bool inHsf;
};

constexpr DecoderRow kDecoderTable[] = {
    {0, 0, DecoderKind::kDst, true},
    {6, 6, DecoderKind::kDst, true},
    {15, 15, DecoderKind::kDst, true},
    {20, 20, DecoderKind::kDst, true},
    {36, 36, DecoderKind::kKvb, true},
    {1, 1, DecoderKind::kBarudan, true},
    {16, 16, DecoderKind::kBarudan, true},
    {21, 21, DecoderKind::kBarudan, true},
    {58, 59, DecoderKind::kBarudan, true},
    {73, 73, DecoderKind::kBarudan, true},
    {2, 2, DecoderKind::kExp, true},
    {22, 28, DecoderKind::kExp, true},
    {29, 29, DecoderKind::kExp, false},
    {37, 38, DecoderKind::kExp, true},
    {41, 47, DecoderKind::kExp, true},
    {49, 49, DecoderKind::kExp, true},
    {51, 51, DecoderKind::kExp, false},
    {53, 53, DecoderKind::kExp, true},
    {55, 57, DecoderKind::kExp, true},
    {62, 62, DecoderKind::kExp, true},
    {76, 76, DecoderKind::kExp, true},
    {89, 89, DecoderKind::kExp, true},
    {3, 3, DecoderKind::kZangs, true},
    {17, 17, DecoderKind::kZangs, true},
    {52, 52, DecoderKind::kZskTransport, true},
};

// Formats whose files carry no extended records; every other decoder reads extended ones.
// Their encoders also write a command together with its move rather than separately.
constexpr std::array<int, 4> kPlainVariantFormats = {0, 1, 3, 36};

bool isPlainVariantFormat(HDiskFileFormat format) {
  return std::find(kPlainVariantFormats.begin(), kPlainVariantFormats.end(),
                   static_cast<int>(format)) != kPlainVariantFormats.end();
}

// Which encoder writes which format codes. Each row covers the codes first..last;
// `withContainerFormats` false marks codes that only encodeStitches writes with this encoder.
// A row may name a format type that selects another encoder for its codes.
struct EncoderRow {
  int first;
  int last;
  EncoderKind kind;
  bool onlyWithContainerFormats;
  const wchar_t* variantFormatType;
  EncoderKind variantKind;
};

constexpr EncoderRow kEncoderTable[] = {
    {0, 0, EncoderKind::kDst, false, L"Korvan VRZN", EncoderKind::kVrzn},
    {6, 6, EncoderKind::kDst, false, nullptr, EncoderKind::kNone},
    {15, 15, EncoderKind::kDst, false, nullptr, EncoderKind::kNone},
    {20, 20, EncoderKind::kDst, false, nullptr, EncoderKind::kNone},
    {36, 36, EncoderKind::kKvb, false, nullptr, EncoderKind::kNone},
    {60, 60, EncoderKind::kKvb, true, nullptr, EncoderKind::kNone},
    {71, 71, EncoderKind::kKvb, true, nullptr, EncoderKind::kNone},
    {1, 1, EncoderKind::kBarudan, false, nullptr, EncoderKind::kNone},
    {16, 16, EncoderKind::kBarudan, false, nullptr, EncoderKind::kNone},
    {21, 21, EncoderKind::kBarudan, false, nullptr, EncoderKind::kNone},
    {58, 59, EncoderKind::kBarudan, false, nullptr, EncoderKind::kNone},
    {73, 73, EncoderKind::kBarudan, false, nullptr, EncoderKind::kNone},
    {2, 2, EncoderKind::kExp, false, nullptr, EncoderKind::kNone},
    {22, 28, EncoderKind::kExp, false, nullptr, EncoderKind::kNone},
    {37, 37, EncoderKind::kExp, false, nullptr, EncoderKind::kNone},
    {41, 47, EncoderKind::kExp, false, nullptr, EncoderKind::kNone},
    {49, 49, EncoderKind::kExp, false, nullptr, EncoderKind::kNone},
    {53, 53, EncoderKind::kExp, false, nullptr, EncoderKind::kNone},
    {55, 57, EncoderKind::kExp, false, nullptr, EncoderKind::kNone},
    {62, 62, EncoderKind::kExp, false, nullptr, EncoderKind::kNone},
    {76, 76, EncoderKind::kExp, false, nullptr, EncoderKind::kNone},
    {89, 89, EncoderKind::kExp, false, nullptr, EncoderKind::kNone},
    {3, 3, EncoderKind::kZangs, false, nullptr, EncoderKind::kNone},
    {17, 17, EncoderKind::kZangs, false, nullptr, EncoderKind::kNone},
    {52, 52, EncoderKind::kZskTransport, false, nullptr, EncoderKind::kNone},
};

// A new decoder of `kind`. A kind whose decoder is not part of the library creates none, so
// its formats read as formats without a decoder. Throws std::bad_alloc when memory runs out.
std::unique_ptr<BytestreamStitchDecoder> createDecoder(DecoderKind kind, StitchOptions& options) {
  switch (kind) {
    case DecoderKind::kDst:
      return std::make_unique<KorvanStitchDecoder>(options);
    case DecoderKind::kBarudan:
      return std::make_unique<BarudanStitchDecoder>(options);
    case DecoderKind::kExp:
      return std::make_unique<ExpStitchDecoder>(options);
    case DecoderKind::kZangs:
      return std::make_unique<ZangsStitchDecoder>(options);
    case DecoderKind::kKvb:
    case DecoderKind::kZskTransport:
    case DecoderKind::kNone:
      break;
  }
  return nullptr;
}

// A new encoder of `kind` that reads `options`. A kind whose encoder is not part of the
// library creates none, so its formats write as formats without an encoder. Throws
// std::bad_alloc when memory runs out.
std::unique_ptr<BytestreamStitchEncoder> createEncoder(EncoderKind kind,
                                                       const StitchOptions& options) {
  switch (kind) {
    case EncoderKind::kDst:
      return std::make_unique<KorvanStitchEncoder>(options);
    case EncoderKind::kVrzn:
      return std::make_unique<KorvanVRZNStitchEncoder>(options);
    case EncoderKind::kBarudan:
      return std::make_unique<BarudanStitchEncoder>(options);
    case EncoderKind::kExp:
      return std::make_unique<ExpStitchEncoder>(options);
    case EncoderKind::kZangs:
      return std::make_unique<ZangsStitchEncoder>(options);
    case EncoderKind::kKvb:
    case EncoderKind::kZskTransport:
    case EncoderKind::kNone:
      break;
  }
  return nullptr;
}

bool isStrippedAtEnd(const HStitch& s) {
  return s.isEndRewind() || s.isJump() || s.isNeedleUp() || s.isTrim() || s.isJumpTrim() ||
         s.isUpperTrim();
}

bool isStrippedAtBegin(const HStitch& s) {
  return s.isBegin() || s.isJump() || s.isNeedleUp() || s.isTrim() || s.isJumpTrim() ||
         s.isUpperTrim();
}

bool isJumpOrNeedleUp(const HStitch& s) {
  return s.isJump() || s.isNeedleUp();
}

// A command as the blank-stitch rules see it: anything but a normal stitch or a jump.
bool isBlankNeighbourCommand(const HStitch& s) {
  return !s.isNormal() && !s.isJump();
}

// A command as the short-stitch walk sees it: anything but a normal stitch, a jump or a
// needle-up.
bool isCleanupCommand(const HStitch& s) {
  return !s.isNormal() && !isJumpOrNeedleUp(s);
}

int roundedLength(int squared) {
  return static_cast<int>(std::lround(std::sqrt(static_cast<double>(squared))));
}

// The design trace jumps to this many points before it stops at the start point.
constexpr int kTraceJumps = 6;

}  // namespace

EncoderKind encoderKindForFormat(HDiskFileFormat format, const HString& formatType,
                                 bool withContainerFormats) {
  const int code = format;
  for (const EncoderRow& row : kEncoderTable) {
    if (code < row.first || code > row.last) continue;
    if (row.onlyWithContainerFormats && !withContainerFormats) return EncoderKind::kNone;
    if (row.variantFormatType != nullptr && formatType == row.variantFormatType) {
      return row.variantKind;
    }
    return row.kind;
  }
  return EncoderKind::kNone;
}

DecoderKind decoderKindForFormat(HDiskFileFormat format, bool forHsf) {
  const int code = format;
  for (const DecoderRow& row : kDecoderTable) {
    if (code < row.first || code > row.last) continue;
    return forHsf && !row.inHsf ? DecoderKind::kNone : row.kind;
  }
  return DecoderKind::kNone;
}

StitchFilter::StitchFilter(StitchWrapper& stitches)
    : stitches_(stitches), stitchCount_(stitches.length()) {
  recalcStats(1);
}

StitchFilter::~StitchFilter() = default;

void StitchFilter::recalcStats(int countEmptyParent) {
  try {
    if (auto* wrapper = dynamic_cast<StitchArrayWrapper*>(&stitches_)) {
      stats_.setupStitchStats(wrapper->array(), countEmptyParent, 0, 0);
      return;
    }
    HXArray<HStitch> copy;
    const int n = stitches_.length();
    copy.setAllocSize(n);
    for (int i = 0; i < n; ++i)
      copy.add(stitches_[i]);
    stats_.setupStitchStats(copy, countEmptyParent, 0, 0);
  } catch (const std::exception&) {
    stats_.reset();
  }
}

int StitchFilter::decodeStitches(StitchOptions& options, int needle, InputBytestream& stream) {
  return decode(options, nullptr, nullptr, needle, stream);
}

int StitchFilter::decodeStitchesAsHsf(StitchOptions& options, const HXArray<StopInfo>& stops,
                                      const HXArray<HString>& stopNames, int needle,
                                      InputBytestream& stream) {
  return decode(options, &stops, &stopNames, needle, stream);
}

void StitchFilter::reserveFor(const InputBytestream& stream) {
  if (stream.position() < 0) return;
  const long size = stream.size();
  if (size <= 0) return;
  // The container still grows past the limit when a design really is that large.
  const long count = std::min<long>(size / 3 + 16, kMaxReservedStitches);
  try {
    stitches_.reserve(static_cast<int>(count));
  } catch (const std::exception&) {
    // Reserving is only a hint.
  }
}

int StitchFilter::decode(StitchOptions& options, const HXArray<StopInfo>* stops,
                         const HXArray<HString>* stopNames, int needle, InputBytestream& stream) {
  const bool asHsf = stops != nullptr;
  try {
    stitches_.clear();
    stitchCount_ = 0;
    reserveFor(stream);

    decoder_.reset();
    const HDiskFileFormat format = options.getFileFormat();
    const DecoderKind kind = decoderKindForFormat(format, asHsf);
    if (kind == DecoderKind::kNone) return kFilterNoCoder;
    decoder_ = createDecoder(kind, options);
    if (!decoder_) return kFilterNoCoder;

    decoder_->setBytestream(stream);
    startPoint_ = HCoord<short>(0, 0);
    if (asHsf) {
      decoder_->setStopTable(*stops, *stopNames);
    } else {
      decoder_->setExtendedVariant(isPlainVariantFormat(format) ? 0 : 1);
    }

    int r = decoder_->beginDesign(startPoint_, needle);
    HStitch s;
    while (r == kDecodeOk) {
      r = decoder_->decodeStitch(s);
      if (r == kDecodeOk) stitches_.append(s);
    }
    if (r == kDecodeEnd || (asHsf && r == kDecodeMalformed)) r = decoder_->endDesign();
    stitchCount_ = stitches_.length();

    if (!asHsf && options.getStripBeginEnd()) {
      stripBeginEnd();
      stitchCount_ = stitches_.length();
      recalcStats(1);
    } else {
      stats_ = decoder_->getStats();
    }
    return r == kDecodeOk ? kFilterOk : kFilterFailure;
  } catch (const std::exception&) {
    stitchCount_ = stitches_.length();
    return kFilterFailure;
  }
}

void StitchFilter::stripBeginEnd() {
  int keep = stitches_.length();
  while (keep > 0 && isStrippedAtEnd(stitches_[keep - 1]))
    --keep;
  stitches_.truncate(keep);
  int lead = 0;
  while (lead < keep && isStrippedAtBegin(stitches_[lead]))
    ++lead;
  if (lead > 0) stitches_.remove(0, lead);
}

int StitchFilter::devirtualizeStitch(HStitch& s, int first, int last) {
  try {
    // `s` may live in the range about to change: work from a copy.
    const HStitch virtualStitch(s);
    const int rangeLength = last < first ? 0 : last - first + 1;

    if (!virtualStitch.hasRealStitches() || virtualStitch.isDropSequin() ||
        virtualStitch.isDropBead()) {
      if (rangeLength == 0) {
        stitches_.insert(first, virtualStitch);
        stitchCount_ += 1;
      } else {
        stitches_[first] = virtualStitch;
        stitches_.remove(first + 1, rangeLength - 1);
        stitchCount_ -= rangeLength - 1;
      }
      return first;
    }

    const HXArray<HStitch>& real = virtualStitch.getRealStitches();
    const int n = real.length();
    int lead = 0;
    while (lead < n && isJumpOrNeedleUp(real[lead]))
      ++lead;
    int trail = 0;
    if (lead == n) {
      lead = n - 1;
    } else {
      while (trail < n - lead && isJumpOrNeedleUp(real[n - 1 - trail]))
        ++trail;
    }

    const int wanted = lead + 1 + trail;
    if (rangeLength > wanted) {
      stitches_.remove(first, rangeLength - wanted);
    } else if (rangeLength < wanted) {
      stitches_.insertEmpty(first, wanted - rangeLength);
    }
    stitchCount_ += wanted - rangeLength;
    const int newLast = first + lead + trail;

    for (int i = 0; i < lead; ++i)
      stitches_[first + i] = real[i];
    for (int i = 0; i < trail; ++i)
      stitches_[newLast - i] = real[n - 1 - i];

    HXArray<HStitch> middle;
    middle.setAllocSize(n - lead - trail);
    for (int i = lead; i < n - trail; ++i)
      middle.add(real[i]);
    HStitch& opened = stitches_[first + lead];
    opened.copyStitch(virtualStitch, 0);
    opened.setRealStitches(middle, 1);
    if (trail > 0) opened.setPoint(real[n - trail - 1].getPoint());
    return newLast;
  } catch (const std::exception&) {
    stitchCount_ = stitches_.length();
    return -1;
  }
}

// --- Encoding ---------------------------------------------------------------------------------

namespace {

enum class EncodeEntry : std::uint8_t {
  kStitches,  // encodeStitches
  kHsf,       // encodeStitchesAsHsf
  kSegment,   // encodeStitchSegment
};

}  // namespace

struct StitchFilter::EncodeRequest {
  EncodeEntry entry;
  const StitchOptions& options;
  OutputBytestream* out;
  HXArray<StopInfo>* stops;        // kHsf: receives the stop table
  HXArray<HString>* stopComments;  // kHsf: receives the stop comments
  EncoderState* state;             // kSegment: the machine state carried between segments
  int first;                       // kSegment: the first segment of the design
  int last;                        // kSegment: the last segment of the design
  int forceResplit;                // kSegment
};

int StitchFilter::encodeStitches(const StitchOptions& options, OutputBytestream* out) {
  return encode({EncodeEntry::kStitches, options, out, nullptr, nullptr, nullptr, 1, 1, 0});
}

int StitchFilter::encodeStitchesAsHsf(StitchOptions& options, HXArray<StopInfo>& stops,
                                      HXArray<HString>& stopComments, OutputBytestream* out) {
  return encode({EncodeEntry::kHsf, options, out, &stops, &stopComments, nullptr, 1, 1, 0});
}

int StitchFilter::encodeStitchSegment(EncoderState& state, int first, int last,
                                      StitchOptions& options, int forceResplit,
                                      OutputBytestream* out) {
  return encode(
      {EncodeEntry::kSegment, options, out, nullptr, nullptr, &state, first, last, forceResplit});
}

int StitchFilter::setTraceDesign(int on) {
  const int previous = trace;
  trace = on;
  return previous;
}

int StitchFilter::encode(const EncodeRequest& request) {
  const StitchOptions& options = request.options;
  const bool segment = request.entry == EncodeEntry::kSegment;
  try {
    // The host may have changed the container since the filter last looked.
    stitchCount_ = stitches_.length();

    const HDiskFileFormat format = options.getFileFormat();
    const EncoderKind kind = encoderKindForFormat(format, options.getFormatType(),
                                                  request.entry == EncodeEntry::kStitches);
    if (kind == EncoderKind::kNone) return kFilterNoCoder;
    const std::unique_ptr<BytestreamStitchEncoder> encoder = createEncoder(kind, options);
    if (!encoder) return kFilterNoCoder;

    // The Zangs machines want a trim before the jumps it ends, not after them.
    if (kind == EncoderKind::kZangs) moveTrimsBeforeJumps();
    if (request.out != nullptr) encoder->setBytestream(*request.out);
    if (request.entry == EncodeEntry::kHsf) encoder->setMakeStopTable(1);

    // A leading design start gives the start point; only the stitch file writes it as well.
    const bool leadingDesignStart = stitchCount_ > 0 && stitches_[0].isBegin();
    const int traceIndex = leadingDesignStart ? 1 : 0;
    const int startIndex = request.entry == EncodeEntry::kStitches ? traceIndex : 0;
    int afterTrim = 1;
    int r = kEncodeOk;
    if (segment) {
      startPoint_ = request.state->getCurrentPosition();
      previousIsCommand = request.state->isCurCmdStc();
      afterTrim = request.state->hasTrimmed();
      r = request.first != 0
              ? encoder->beginDesign(startPoint_, getCentre(), request.forceResplit)
              : encoder->beginSegment(*request.state, getCentre(), request.forceResplit);
    } else {
      startPoint_ = leadingDesignStart ? stitches_[0].getPoint() : HCoord<short>(0, 0);
      r = encoder->beginDesign(startPoint_, getCentre(), 0);
    }
    if (r != kEncodeOk) return kFilterFailure;

    if (trace != 0 && (!segment || request.first != 0) && traceDesign(traceIndex) != 0) {
      return kFilterFailure;
    }
    encoder->setSeparateCommands(isPlainVariantFormat(format) ? 0 : 1);

    const int forceFirst = segment ? request.first : 1;
    if (revirtualizeAndEncode(encoder.get(), startIndex, forceFirst, 1, options, afterTrim, 1) !=
        0) {
      return kFilterFailure;
    }

    if (segment && request.last == 0) {
      r = encoder->endSegment(request.state);
    } else {
      r = encoder->endDesign(request.state);
    }
    if (r != kEncodeOk) return kFilterFailure;

    if (request.entry == EncodeEntry::kHsf) {
      encoder->getStopTable(*request.stops, *request.stopComments);
    }
    stats_ = segment ? encoder->getSegmentStats() : encoder->getStats();
    // The records are complete; a stream that cannot flush reports it when it is closed.
    static_cast<void>(encoder->flush());
    if (segment) request.state->setTrimmed(afterTrim);
    return kFilterOk;
  } catch (const std::exception&) {
    stitchCount_ = stitches_.length();
    return kFilterFailure;
  }
}

void StitchFilter::takeCleanParameters(const StitchOptions& options) {
  const bool copyOriginal = options.getCopyOriginal() != 0;
  jumpsPerTrim = options.getJumpsPerTrim();
  hardLength = options.getHardLength();
  const int maxLength = options.getMaxLength();
  if (!copyOriginal && maxLength > 0 && maxLength < hardLength) hardLength = maxLength;
  const bool cleaning =
      !copyOriginal && options.getCleanShort() != 0 && options.getCleanLength() > 0;
  cleanLength = options.getCleanLength();
  if (cleanLength >= 1 && !cleaning) cleanLength = 0;
  cleanLengthSquared = cleanLength * cleanLength;
  preserveBlanks = options.getPreserveBlanks();
  filterBlankJumps = options.getFilterBlankJumps();
}

int StitchFilter::revirtualizeAndEncode(BytestreamStitchEncoder* encoder, int start, int forceFirst,
                                        int /*reserved*/, const StitchOptions& options,
                                        int& afterTrim, int cleanFlag) {
  if (encoder == nullptr || start < 0 || start >= stitchCount_) return kFilterFailure;
  takeCleanParameters(options);
  if (options.getSplitStitchToJumps()) encoder->setSplitStitchToJumps();

  // Where the needle is after the last group written.
  HCoord<short> pos = startPoint_;

  if (forceFirst != 0 && options.getForceFirstColourChange() && !options.getCopyOriginal()) {
    const HStitch& opening = stitches_[start];
    if (!opening.isColorChange() && !opening.isChenille() && !opening.isLockStitchChenille()) {
      HStitch change(startPoint_.x, startPoint_.y, StitchCode::ChangeNeedle, opening.getColor());
      const int r = encoder->encodeStitch(change, afterTrim, 0);
      if (r != kEncodeOk) return r;
      const int last = devirtualizeStitch(change, start, start - 1);
      if (last < 0) return kFilterFailure;
      start = last + 1;
    }
  }

  HStitch v;
  HStitch next;
  HStitch w;
  HXArray<HStitch> pieces;
  int i = start;
  int cleanedUpTo = -1;
  while (i < stitchCount_) {
    // Device modes switch jump preservation on and off as the design goes.
    const int preserveJumps = encoder->preserveJumps();

    // The design is cleaned stretch by stretch (up to the next command), each just before it
    // is encoded.
    if (i > cleanedUpTo) {
      cleanedUpTo = stitchCount_ - 1;
      if (afterTrim != 0) cleanFlag = 1;
      cleanShortStitches(i, cleanedUpTo, preserveJumps, cleanFlag);
      if (i >= stitchCount_) break;
    }

    // Without a trim code, or with trims written as jumps, a trim is placed like a jump trim.
    const int trimAsJump =
        preserveJumps == 0 && (!options.getHasTrimCode() || options.getTrimsAsJumps()) ? 1 : 0;
    int end = findGroupEnd(i, preserveJumps, trimAsJump, options.getFilterBlankJumps() ? 0 : 1);
    virtualizeStitch(v, i, end);

    // A sequin end and the next sequin start are combined when the jumps between them are
    // short enough for one move.
    if (options.getCombineSequinCommands() && v.isSequinEnd()) {
      int dx = 0;
      int dy = 0;
      for (int k = end + 1; k < stitchCount_; ++k) {
        const HStitch& ahead = stitches_[k];
        if (ahead.isJump()) {
          dx += getDeltaX(k);
          dy += getDeltaY(k);
          continue;
        }
        if (ahead.isSequinStart()) {
          encoder->setInCombineSequinCommands(std::abs(dx) < 256 && std::abs(dy) < 256 ? 1 : 0);
        }
        break;
      }
    }

    // A trim written as jumps: when the move to the next stitch is cut into pieces, the trim
    // group ends one piece before the next stitch, so that the trim's jumps are followed by
    // a single move to it.
    if ((v.isJumpTrim() || (trimAsJump != 0 && (v.isTrim() || v.isUpperTrim()))) &&
        end + 1 < stitchCount_ && stitches_[end + 1].getPoint() != stitches_[end].getPoint()) {
      next = stitches_[end + 1];
      stitches_[end + 1].setFlags(StitchCode::Jump);
      virtualizeStitch(w, i, end + 1);
      if (encoder->needResplit(w, 1, 1)) {
        const int n = encoder->splitIntoJumps(pieces, w, 1, 1);
        if (n > 1 && n <= pieces.length() && !stitches_[end].isPreserved()) {
          const int piece = options.getInsertBlankStitchAfterTrim() ? n - 1 : n - 2;
          stitches_[end].setPoint(pieces[piece].getPoint());
          virtualizeStitch(v, i, end);
        }
      }
      stitches_[end + 1] = next;
    }

    if (v.isEndRewind()) {
      if (options.getReturnToFirstNeedleAtEnd()) {
        // Back to the first needle before the end; skipped while no design has begun when the
        // end is on the first needle already.
        HStitch change(pos.x, pos.y, StitchCode::ChangeNeedle, 0);
        const int r = encoder->encodeStitch(change, afterTrim, v.getColor() == 0 ? 1 : 0);
        if (r == kEncodeRefused) return r;
        if (r == kEncodeOk) {
          const int last = devirtualizeStitch(change, i, i - 1);
          if (last < 0) return kFilterFailure;
          const int inserted = last - i + 1;
          i += inserted;
          end += inserted;
          cleanedUpTo += inserted;
        }
        v.setColor(0);
      } else if (options.getJumpBeforeEnd() && afterTrim == 0 && v.getPoint() != pos) {
        // The move to the end goes after a trim. `replaceFirst..replaceLast` is what the trim
        // stands for in the container (empty for a new one).
        HStitch cut;
        const int replaceFirst = i;
        int replaceLast = i - 1;
        if (trimAsJump == 0) {
          cut = HStitch(pos.x, pos.y, StitchCode::Trim);
        } else if (i == end) {
          cut = HStitch(v.xval(), v.yval(), StitchCode::JumpTrim);
        } else {
          stitches_[i].setFlags(StitchCode::JumpTrim);
          virtualizeStitch(cut, i, end - 1);
          replaceLast = end - 1;
        }
        cut.setColor(v.getColor());
        std::uint8_t effectFlag = 0;
        std::uint32_t effectColour = 0;
        HString effectId;
        v.getEffectInfo(effectFlag, effectColour, effectId);
        cut.setEffectInfo(effectFlag, effectColour, effectId);
        afterTrim = 1;
        const int r = encoder->encodeStitch(cut, 0, 0);
        if (r != kEncodeOk) return r;

        const int oldLength = replaceLast - replaceFirst + 1;
        int newLength = 0;
        if (cut.isAutoCleaned()) {
          if (oldLength > 0) stitches_.remove(replaceFirst, oldLength);
          stitchCount_ -= oldLength;
        } else {
          const int last = devirtualizeStitch(cut, replaceFirst, replaceLast);
          if (last < 0) return kFilterFailure;
          newLength = last - replaceFirst + 1;
        }
        const int lengthChange = newLength - oldLength;
        i = replaceFirst + newLength;
        end += lengthChange;
        cleanedUpTo += lengthChange;
        if (replaceLast >= replaceFirst) virtualizeStitch(v, end, end);
        pos = cut.getPoint();
      }
    }

    // A laser that goes off only to come on again after some jumps pauses instead.
    if (encoder->isRealOutput() && v.isLaserOff()) {
      int k = end + 1;
      while (k < stitchCount_ && stitches_[k].isJumping())
        ++k;
      if (k < stitchCount_ && stitches_[k].isLaserOn()) v.setFlags(StitchCode::LaserPause);
    }

    const int r = encoder->encodeStitch(v, afterTrim, 0);
    if (r != kEncodeOk) return r;

    if (v.isTrim() || v.isUpperTrim() || v.isJumpTrim() || v.isColorChange() || v.isLaserOn()) {
      afterTrim = 1;
    } else if (v.isPenetrationStitch()) {
      afterTrim = 0;
    }

    if (v.isAutoCleaned()) {
      const int removed = end - i + 1;
      stitches_.remove(i, removed);
      stitchCount_ -= removed;
      cleanedUpTo -= removed;
    } else {
      const int last = devirtualizeStitch(v, i, end);
      if (last < 0) return kFilterFailure;
      cleanedUpTo += last - end;
      pos = v.getPoint();
      i = last + 1;
    }
  }
  return kEncodeOk;
}

void StitchFilter::virtualizeStitch(HStitch& out, int first, int last) {
  if (last <= first) {
    out = HStitch(stitches_[first], 0);
    return;
  }
  int commandIndex = last;
  while (commandIndex >= first && isJumpOrNeedleUp(stitches_[commandIndex]))
    --commandIndex;
  if (commandIndex < first) commandIndex = last;

  HXArray<HStitch> real;
  real.setAllocSize(last - first + 1);
  for (int k = first; k <= last; ++k)
    real.add(HStitch(stitches_[k], 0));
  out.copyStitch(stitches_[commandIndex], 0);
  out.setPoint(stitches_[last].getPoint());
  out.setRealStitches(std::move(real));
}

int StitchFilter::findGroupEnd(int start, int preserveJumps, int trimAsJump, int keepBlankJumps) {
  int command = -1;
  int trim = -1;
  int k = start;
  for (; k < stitchCount_; ++k) {
    HStitch& s = stitches_[k];
    if (isJumpOrNeedleUp(s)) {
      if (preserveJumps != 0) break;
      if (keepBlankJumps != 0 && (k == 0 || s.getPoint() == stitches_[k - 1].getPoint())) break;
      continue;
    }
    const bool trimOrUpperTrim = s.isTrim() || s.isUpperTrim();
    if (trimOrUpperTrim && trimAsJump == 0) {
      if (trim < 0) {
        trim = k;
        continue;
      }
      if (command < 0) break;
      // A trim wins over a pending jump trim.
      stitches_[command].setFlags(StitchCode::Jump);
      command = -1;
      trim = k;
      continue;
    }
    if (s.isJumpTrim() || trimOrUpperTrim) {
      if (command < 0 && trim < 0) {
        command = k;
      } else {
        s.setFlags(StitchCode::Jump);
      }
      continue;
    }
    break;
  }
  if (k >= stitchCount_) return stitchCount_ - 1;
  return trim >= 0 || command >= 0 ? k - 1 : k;
}

// --- Short-stitch clean-up ----------------------------------------------------------------------

HCoord<short> StitchFilter::pointAt(int index) const {
  return index < 0 ? startPoint_ : stitches_[index].getPoint();
}

int StitchFilter::getDeltaX(int a, int b) const {
  if (a >= stitchCount_ || b >= stitchCount_) return 0;
  return pointAt(b).x - pointAt(a).x;
}

int StitchFilter::getDeltaY(int a, int b) const {
  if (a >= stitchCount_ || b >= stitchCount_) return 0;
  return pointAt(b).y - pointAt(a).y;
}

int StitchFilter::getDeltaSquared(int a, int b) const {
  const std::int64_t dx = getDeltaX(a, b);
  const std::int64_t dy = getDeltaY(a, b);
  // Moves across the whole coordinate range do not fit; they are long in any case.
  return static_cast<int>(std::min<std::int64_t>(dx * dx + dy * dy, INT_MAX));
}

int StitchFilter::getDeltaX(int i) const {
  return getDeltaX(i - 1, i);
}

int StitchFilter::getDeltaY(int i) const {
  return getDeltaY(i - 1, i);
}

int StitchFilter::getDeltaSquared(int i) const {
  return getDeltaSquared(i - 1, i);
}

int StitchFilter::cleanStitch(int a, int b, int preserveJumps) const {
  if (cleanLength < 1 || b < 0 || b >= stitchCount_) return 0;
  const int squared = getDeltaSquared(a, b);
  if (squared >= cleanLengthSquared) return 0;
  const int d = roundedLength(squared);

  // The jumps that lead to `a` lend their length, unless they are a run that stands for a
  // trim: the thread is cut there, so they lend nothing.
  int lent = 0;
  if (preserveJumps == 0) {
    int jumps = 0;
    for (int j = a;
         j >= 0 && j < stitchCount_ && isJumpOrNeedleUp(stitches_[j]) && d + lent < cleanLength;
         --j) {
      lent += roundedLength(getDeltaSquared(j));
      if (jumpsPerTrim > 0 && ++jumps >= jumpsPerTrim) {
        lent = 0;
        break;
      }
    }
  }
  if (d + lent >= cleanLength) return 0;

  const HStitch& s = stitches_[b];
  if (d != 0) return 1;
  if (s.isJump()) return filterBlankJumps != 0 ? 1 : 0;
  if (!s.isNormal()) return 1;

  // A blank (zero-length normal stitch).
  if (preserveBlanks == kPreserveBlanksNone) return 1;
  if (preserveBlanks == kPreserveBlanksAlways) return 0;
  const bool afterCommand =
      a < 0 ? previousIsCommand != 0 : a < stitchCount_ && isBlankNeighbourCommand(stitches_[a]);
  if (afterCommand && (preserveBlanks == kPreserveBlanksAfterCommand ||
                       preserveBlanks == kPreserveBlanksNextToCommand)) {
    return 0;
  }
  if (b == stitchCount_ - 1) return 1;
  if (preserveBlanks != kPreserveBlanksBeforeCommand &&
      preserveBlanks != kPreserveBlanksNextToCommand) {
    return 1;
  }
  return isBlankNeighbourCommand(stitches_[b + 1]) ? 0 : 1;
}

int StitchFilter::cleanShortStitches(int start, int& end, int preserveJumps, int& skipNext) {
  if (cleanLength < 1 || start < 0 || start >= stitchCount_) return 0;
  if (end < 0 || end >= stitchCount_) end = stitchCount_ - 1;

  int removed = 0;
  int i = start;
  while (i <= end) {
    const HStitch& s = stitches_[i];

    // Runs of blank stitches of one kind keep their first two.
    if (i > 0 && (s.isNormal() || isJumpOrNeedleUp(s)) &&
        s.getFlags() == stitches_[i - 1].getFlags() && getDeltaSquared(i) == 0 &&
        getDeltaSquared(i - 1) == 0) {
      const bool beforeCommand = i + 1 < stitchCount_ && isBlankNeighbourCommand(stitches_[i + 1]);
      const bool kept =
          (s.isNormal() && preserveBlanks == kPreserveBlanksAlways) ||
          (s.isNormal() && preserveBlanks == kPreserveBlanksBeforeCommand && beforeCommand) ||
          (s.isJump() && filterBlankJumps == 0);
      if (!kept) {
        stitches_.remove(i);
        --stitchCount_;
        --end;
        ++removed;
        continue;
      }
    }

    if (skipNext != 0 && isCleanupCommand(s)) skipNext = 0;

    if (s.isNormal()) {
      if (skipNext != 0) {
        // The first stitch after a trim anchors the thread; it is never cleaned.
        skipNext = 0;
      } else if (cleanStitch(i - 1, i, preserveJumps)) {
        const int n = fixShortStitch(i, start, end, preserveJumps);
        removed += n;
        if (n > 0) start = i + 1;
      }
    } else if (isCleanupCommand(s)) {
      break;
    }
    ++i;
  }
  end = i;
  return removed;
}

int StitchFilter::fixShortStitch(int& i, int& start, int& end, int preserveJumps) {
  if (start == end && end == i) {
    stitches_.remove(i);
    --stitchCount_;
    end = start - 1;
    return 1;
  }

  // Forward: the first stitch far enough from the one before the cluster.
  int k = i;
  int movements = 0;
  for (int j = i + 1; j <= end; ++j) {
    const HStitch& s = stitches_[j];
    if (s.isNormal()) {
      k = j;
      if (!cleanStitch(i - 1, j, preserveJumps)) break;
      movements = 0;
    } else {
      if (preserveJumps != 0 || !isJumpOrNeedleUp(s)) break;
      if (jumpsPerTrim > 0 && ++movements >= jumpsPerTrim) break;
    }
  }

  // Backward, when the stretch ends before a far enough stitch: look for an anchor up to
  // three stitches further back from which stitch k is far enough.
  int anchor = i - 1;
  if (cleanStitch(i - 1, k, preserveJumps)) {
    int candidate = i - 1;
    int normals = 0;
    movements = 0;
    for (int j = i - 1;; --j) {
      if (j < start) break;
      if (j < 1) {
        anchor = -1;
        break;
      }
      const HStitch& s = stitches_[j];
      if (s.isNormal()) {
        if (candidate < anchor) {
          anchor = candidate;
          break;
        }
        if (++normals > 3) break;
        if (!cleanStitch(j, k, preserveJumps)) {
          anchor = j;
          break;
        }
        anchor = j - 1;
        movements = 0;
      } else {
        if (preserveJumps != 0 || !isJumpOrNeedleUp(s)) {
          anchor = candidate < anchor ? candidate : j;
          break;
        }
        if (jumpsPerTrim > 0 && ++movements >= jumpsPerTrim) break;
        if (j == start) {
          anchor = candidate >= anchor ? j - 1 : candidate;
          break;
        }
        if (candidate >= anchor && !cleanStitch(j - 1, k, preserveJumps)) candidate = j - 1;
      }
    }
  }

  const int n = k - anchor - 1;
  if (n >= 1) {
    stitches_.remove(anchor + 1, n);
    stitchCount_ -= n;
    end -= n;
  }
  i = anchor + 1;
  return n > 0 ? n : 0;
}

int StitchFilter::moveTrimsBeforeJumps() {
  int runStart = -1;
  for (int k = 0; k < stitchCount_; ++k) {
    HStitch& s = stitches_[k];
    if (s.hasRealStitches()) {
      const HXArray<HStitch>& real = s.getRealStitches();
      if (!std::all_of(real.begin(), real.end(), [](const HStitch& r) { return r.isJump(); })) {
        runStart = -1;
        continue;
      }
    }
    if (s.isJump()) {
      if (runStart < 0) runStart = k;
      continue;
    }
    if (s.isTrim() && runStart >= 0) {
      stitches_[runStart].setFlags(StitchCode::Trim);
      s.setFlags(StitchCode::Jump);
    }
    runStart = -1;
  }
  return 0;
}

int StitchFilter::traceDesign(int index) {
  if (index < 0 || index >= stitchCount_) return 0;
  const unsigned short colour = stitches_[index].getColor();
  const StitchStats& st = stats_;
  const std::array<HCoord<short>, kTraceJumps> corners = {{
      {st.minX, st.minY},
      {st.minX, st.maxY},
      {st.maxX, st.maxY},
      {st.maxX, st.minY},
      {st.minX, st.minY},
      {st.startX, st.startY},
  }};
  stitches_.insertEmpty(index, kTraceJumps + 1);
  stitchCount_ += kTraceJumps + 1;
  for (int k = 0; k < kTraceJumps; ++k) {
    HStitch& jump = stitches_[index + k];
    jump = HStitch(corners[k].x, corners[k].y, StitchCode::Jump, colour);
    jump.preserve(true);
  }
  stitches_[index + kTraceJumps] = HStitch(st.startX, st.startY, StitchCode::Stop, colour);
  return 0;
}

HCoord<short> StitchFilter::getCentre() const {
  const int n = stitches_.length();
  if (n == 0) return {0, 0};
  int minX = stitches_[0].xval();
  int maxX = minX;
  int minY = stitches_[0].yval();
  int maxY = minY;
  for (int k = 1; k < n; ++k) {
    const HStitch& s = stitches_[k];
    minX = std::min<int>(minX, s.xval());
    maxX = std::max<int>(maxX, s.xval());
    minY = std::min<int>(minY, s.yval());
    maxY = std::max<int>(maxY, s.yval());
  }
  return {static_cast<short>((minX + maxX) / 2), static_cast<short>((minY + maxY) / 2)};
}

HCoord<short> StitchFilter::getCentre() {
  return std::as_const(*this).getCentre();
}

}  // namespace stitchkit
