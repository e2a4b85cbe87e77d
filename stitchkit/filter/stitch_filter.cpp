#include "stitchkit/filter/stitch_filter.h"

#include "stitchkit/filter/stitch_filter_internal.h"

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
#include "stitchkit/decode/kvb_decoder.h"
#include "stitchkit/decode/zangs_decoder.h"
#include "stitchkit/decode/zsk_transport_decoder.h"
#include "stitchkit/encode/barudan_encoder.h"
#include "stitchkit/encode/dst_encoder.h"
#include "stitchkit/encode/exp_encoder.h"
#include "stitchkit/encode/kvb_encoder.h"
#include "stitchkit/encode/vrzn_encoder.h"
#include "stitchkit/encode/zangs_encoder.h"
#include "stitchkit/encode/zsk_transport_encoder.h"
#include "stitchkit/platform/memory_advice.h"

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

constexpr std::array<int, 4> kPlainVariantFormats = {0, 1, 3, 36};

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
      return std::make_unique<KorvanKVBStitchDecoder>(options);
    case DecoderKind::kZskTransport:
      return std::make_unique<ZSKTransportStitchDecoder>(options);
    case DecoderKind::kNone:
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

}  // namespace

namespace detail {

bool isPlainVariantFormat(HDiskFileFormat format) {
  return std::find(kPlainVariantFormats.begin(), kPlainVariantFormats.end(),
                   static_cast<int>(format)) != kPlainVariantFormats.end();
}

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
      return std::make_unique<KorvanKVBStitchEncoder>(options);
    case EncoderKind::kZskTransport:
      return std::make_unique<ZSKTransportStitchEncoder>(options);
    case EncoderKind::kNone:
      break;
  }
  return nullptr;
}

}  // namespace detail

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
    : stitches_(stitches), stitchCount_(stitches.length()) {}

StitchFilter::~StitchFilter() = default;

const StitchStats& StitchFilter::getStats() const {
  ensureStats();
  return stats_;
}

void StitchFilter::ensureStats() const {
  if (!statsPending_) return;
  // The statistics of a filter that was only made to write a design are never looked at:
  // they wait until they are.
  const_cast<StitchFilter*>(this)->recalcStats(1);
}

void StitchFilter::recalcStats(int countEmptyParent) {
  statsPending_ = false;
  try {
    auto* wrapper = dynamic_cast<StitchArrayWrapper*>(&stitches_);
    if (wrapper != nullptr && !work_.isBound()) {
      stats_.setupStitchStats(wrapper->array(), countEmptyParent, 0, 0);
      return;
    }
    HXArray<HStitch> copy;
    const int n = work_.isBound() ? work_.length() : stitches_.length();
    copy.setAllocSize(n);
    for (int i = 0; i < n; ++i)
      copy.add(at(i));
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
    if (auto* wrapper = dynamic_cast<StitchArrayWrapper*>(&stitches_)) {
      HXArray<HStitch>& array = wrapper->array();
      adviseLargeBuffer(array.data(),
                        static_cast<std::size_t>(array.allocSize()) * sizeof(HStitch));
    }
  } catch (const std::exception&) {
    // Reserving is only a hint.
  }
}

namespace {

// Plain stitches taken from the decoder in one call.
constexpr std::size_t kDecodeBatch = 256;

DataEnding endingOf(int result, bool endRecordSeen) {
  switch (result) {
    case kDecodeEnd:
      return endRecordSeen ? DataEnding::kEndRecord : DataEnding::kEndOfData;
    case kDecodeMalformed:
      return DataEnding::kBrokenRecord;
    case kDecodeOutOfRange:
      return DataEnding::kOutOfRange;
    default:
      return DataEnding::kReadFailure;
  }
}

}  // namespace

int StitchFilter::decode(StitchOptions& options, const HXArray<StopInfo>* stops,
                         const HXArray<HString>* stopNames, int needle, InputBytestream& stream) {
  const bool asHsf = stops != nullptr;
  try {
    stitches_.clear();
    decodeEnding_ = {};
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
      decoder_->setExtendedVariant(detail::isPlainVariantFormat(format) ? 0 : 1);
    }

    int r = decoder_->beginDesign(startPoint_, needle);
    HStitch s;
    std::array<HStitch, kDecodeBatch> batch;
    while (r == kDecodeOk) {
      const int plain = decoder_->decodePlainStitches(batch);
      if (plain > 0) {
        stitches_.appendAll(
            std::span<const HStitch>(batch.data(), static_cast<std::size_t>(plain)));
        continue;
      }
      r = decoder_->decodeStitch(s);
      if (r == kDecodeOk) stitches_.append(s);
    }
    decodeEnding_ = {endingOf(r, decoder_->endRecordSeen()), decoder_->failedRecordOffset()};
    if (r == kDecodeEnd || (asHsf && r == kDecodeMalformed)) r = decoder_->endDesign();
    stitchCount_ = stitches_.length();

    if (!asHsf && options.getStripBeginEnd()) {
      stripBeginEnd();
      stitchCount_ = stitches_.length();
      recalcStats(1);
    } else {
      stats_ = decoder_->getStats();
      statsPending_ = false;
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
    DesignScope scope(*this);
    // `s` may live in the range about to change: work from a copy.
    const HStitch virtualStitch(s);
    if (!virtualStitch.hasRealStitches() || virtualStitch.isDropSequin() ||
        virtualStitch.isDropBead()) {
      const int rangeLength = last < first ? 0 : last - first + 1;
      work_.replace(first, rangeLength, 1, [&](int, HStitch& out) { out = virtualStitch; });
      stitchCount_ += 1 - rangeLength;
      return first;
    }
    const HXArray<HStitch>& real = virtualStitch.getRealStitches();
    return openGroup(virtualStitch, {real.data(), static_cast<std::size_t>(real.length())}, true,
                     first, last);
  } catch (const std::exception&) {
    stitchCount_ = work_.isBound() ? work_.length() : stitches_.length();
    return -1;
  }
}

int StitchFilter::replaceByWritten(const HStitch& head, const StitchEncoder& encoder, int first,
                                   int last) {
  const HXArray<HStitch>& written = encoder.lastWritten();
  const std::span<const HStitch> real{written.data(), static_cast<std::size_t>(written.length())};
  const int rangeLength = last < first ? 0 : last - first + 1;
  if (encoder.wasWrittenAsItself(head)) {
    if (rangeLength == 1) {
      work_.replaceOne(first, head);
      return first;
    }
    work_.replace(first, rangeLength, 1, [&](int, HStitch& out) { out = head; });
  } else if (head.isDropSequin() || head.isDropBead()) {
    // A drop stands for its records as a whole.
    work_.replace(first, rangeLength, 1, [&](int, HStitch& out) {
      out = head;
      out.getRealStitches() = written;
    });
  } else {
    return openGroup(head, real, false, first, last);
  }
  stitchCount_ += 1 - rangeLength;
  return first;
}

int StitchFilter::openGroup(const HStitch& head, std::span<const HStitch> real, bool keepLoneMiddle,
                            int first, int last) {
  const int n = static_cast<int>(real.size());
  const auto realAt = [&](int k) -> const HStitch& { return real[static_cast<std::size_t>(k)]; };
  int lead = 0;
  while (lead < n && detail::isJumpOrNeedleUp(realAt(lead)))
    ++lead;
  int trail = 0;
  if (lead == n) {
    lead = n - 1;
  } else {
    while (trail < n - lead && detail::isJumpOrNeedleUp(realAt(n - 1 - trail)))
      ++trail;
  }

  const int rangeLength = last < first ? 0 : last - first + 1;
  const int wanted = lead + 1 + trail;
  work_.replace(first, rangeLength, wanted, [&](int k, HStitch& out) {
    if (k != lead) {
      // Leading movements in order, then the trailing ones, the last record last.
      out = realAt(k < lead ? k : n - wanted + k);
      return;
    }
    out.copyStitch(head, 0);
    if (trail > 0) out.setPoint(realAt(n - trail - 1).getPoint());
    const int middle = n - lead - trail;
    if (!keepLoneMiddle && middle == 1 && realAt(lead).isSameRecordAs(out)) return;
    HXArray<HStitch> copies;
    copies.setAllocSize(middle);
    for (int m = lead; m < n - trail; ++m)
      copies.add(HStitch(realAt(m), 0));
    out.setRealStitches(std::move(copies));
  });
  stitchCount_ += wanted - rangeLength;
  return first + lead + trail;
}

}  // namespace stitchkit
