#include "stitchkit/designio/design_codec.h"

#include <iterator>

#include "stitchkit/designio/jef_codec.h"
#include "stitchkit/designio/pec_codec.h"
#include "stitchkit/designio/pes_codec.h"
#include "stitchkit/designio/vp3_codec.h"
#include "stitchkit/designio/xxx_codec.h"

namespace stitchkit {

namespace {

constexpr DesignCodec kCodecs[] = {
    {L".jef", readJef, writeJef}, {L".pes", readPes, writePes}, {L".pec", readPec, writePec},
    {L".vp3", readVp3, writeVp3}, {L".xxx", readXxx, writeXxx},
};

}  // namespace

const DesignCodec* findDesignCodec(const HString& path) {
  const int dot = path.findLast(L'.');
  if (dot < 0) return nullptr;
  const HString extension = path.subString(dot);
  if (extension.findOneOf(L"/\\") >= 0) return nullptr;
  for (const DesignCodec& codec : kCodecs) {
    if (extension.compareNoCase(codec.extension) == 0) return &codec;
  }
  return nullptr;
}

}  // namespace stitchkit
