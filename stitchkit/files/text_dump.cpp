#include "stitchkit/files/text_dump.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>

#include "stitchkit/encode/stitch_encoder.h"
#include "stitchkit/encode/text_encoder.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/platform/geometry.h"

namespace stitchkit {

namespace {

// The centre of the box around every stitch point; (0,0) for an empty design.
HCoord<short> centreOf(const StitchWrapper& stitches) {
  const int n = stitches.length();
  if (n == 0) return {0, 0};
  int minX = stitches[0].xval();
  int maxX = minX;
  int minY = stitches[0].yval();
  int maxY = minY;
  for (int i = 1; i < n; ++i) {
    minX = std::min<int>(minX, stitches[i].xval());
    maxX = std::max<int>(maxX, stitches[i].xval());
    minY = std::min<int>(minY, stitches[i].yval());
    maxY = std::max<int>(maxY, stitches[i].yval());
  }
  return {static_cast<short>((minX + maxX) / 2), static_cast<short>((minY + maxY) / 2)};
}

// Whether the machine is trimmed after `s` was written, given whether it was before: a
// command that cuts or changes the thread (or turns the laser on) leaves it trimmed until the
// next stitch that penetrates.
int afterTrimFollowing(const HStitch& s, int afterTrim) {
  if (s.isTrim() || s.isUpperTrim() || s.isJumpTrim() || s.isColorChange() || s.isLaserOn()) {
    return 1;
  }
  return s.isPenetrationStitch() ? 0 : afterTrim;
}

int dump(const StitchWrapper& stitches, const StitchOptions& options, OutputBytestream& out) {
  // The encoder keeps a pointer to its option record, so the copy lives as long as it does.
  StitchEncoderOptions encoderOptions(options);
  TextStitchEncoderFactory factory;
  const std::unique_ptr<StitchEncoder> made(factory.createEncoder(encoderOptions));
  auto* encoder = dynamic_cast<BytestreamStitchEncoder*>(made.get());
  if (encoder == nullptr) return kEncodeRefused;
  encoder->setBytestream(out);

  const int n = stitches.length();
  const HCoord<short> start =
      n > 0 && stitches[0].isBegin() ? stitches[0].getPoint() : HCoord<short>(0, 0);
  int r = encoder->beginDesign(start, centreOf(stitches), 0);
  if (r != kEncodeOk) return r;

  // The machine starts trimmed: nothing has been sewn yet.
  int afterTrim = 1;
  for (int i = 0; i < n; ++i) {
    HStitch s = stitches[i];
    r = encoder->encodeStitch(s, afterTrim, 0);
    if (r != kEncodeOk) return r;
    afterTrim = afterTrimFollowing(s, afterTrim);
  }

  r = encoder->endDesign(nullptr);
  if (r != kEncodeOk) return r;
  return encoder->flush();
}

}  // namespace

int writeTextDump(const StitchWrapper& stitches, const StitchOptions& options,
                  OutputBytestream& out) {
  try {
    return dump(stitches, options, out);
  } catch (const std::exception&) {
    return kEncodeRefused;
  }
}

}  // namespace stitchkit
