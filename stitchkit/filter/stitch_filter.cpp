#include "stitchkit/filter/stitch_filter.h"

#include <algorithm>
#include <array>
#include <exception>
#include <new>

#include "stitchkit/decode/dst_decoder.h"

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
constexpr std::array<int, 4> kPlainVariantFormats = {0, 1, 3, 36};

// A new decoder of `kind`. A kind whose decoder is not part of the library creates none, so
// its formats read as formats without a decoder. Throws std::bad_alloc when memory runs out.
std::unique_ptr<BytestreamStitchDecoder> createDecoder(DecoderKind kind, StitchOptions& options) {
  switch (kind) {
    case DecoderKind::kDst:
      return std::make_unique<KorvanStitchDecoder>(options);
    case DecoderKind::kKvb:
    case DecoderKind::kBarudan:
    case DecoderKind::kExp:
    case DecoderKind::kZangs:
    case DecoderKind::kZskTransport:
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

bool isJumpOrNeedleUp(const HStitch& s) {
  return s.isJump() || s.isNeedleUp();
}

}  // namespace

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
      const bool plain = std::find(kPlainVariantFormats.begin(), kPlainVariantFormats.end(),
                                   static_cast<int>(format)) != kPlainVariantFormats.end();
      decoder_->setExtendedVariant(plain ? 0 : 1);
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

}  // namespace stitchkit
