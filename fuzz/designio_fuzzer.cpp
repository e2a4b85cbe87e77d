// Feeds arbitrary bytes to the PES, PEC, JEF, VP3 and XXX readers and checks what a caller relies
// on besides not crashing: a design that reads, written again in any of the formats, reads again
// with the same penetrations and colour changes (PES and PEC all moved alike, by the corner of
// the design's box).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "stitchkit/designio/jef_codec.h"
#include "stitchkit/designio/pec_codec.h"
#include "stitchkit/designio/pes_codec.h"
#include "stitchkit/designio/st_des.h"
#include "stitchkit/designio/vp3_codec.h"
#include "stitchkit/designio/xxx_codec.h"

using namespace stitchkit;

namespace {

using Positions = std::vector<std::pair<float, float>>;

Positions positionsOf(const CStDes& design, std::uint8_t type) {
  Positions out;
  for (const StDesPoint& p : design.points)
    if (p.type == type) out.emplace_back(p.x, p.y);
  return out;
}

// Positions a float holds exactly, moved by the box's corner or not, so that writing them
// loses nothing.
bool exactPositions(const CStDes& design) {
  for (const StDesPoint& p : design.points)
    if (std::fabs(p.x) > 4.0e6f || std::fabs(p.y) > 4.0e6f) return false;
  return true;
}

// The same positions, all moved by one offset.
bool sameUpToShift(const Positions& first, const Positions& second, std::pair<float, float>& shift,
                   bool& shiftKnown) {
  if (first.size() != second.size()) return false;
  for (std::size_t i = 0; i < first.size(); ++i) {
    const std::pair<float, float> offset{second[i].first - first[i].first,
                                         second[i].second - first[i].second};
    if (!shiftKnown) {
      shift = offset;
      shiftKnown = true;
    }
    if (offset != shift) return false;
  }
  return true;
}

void checkRewrites(const CStDes& first) {
  if (!exactPositions(first)) return;
  using Writer = bool (*)(const CStDes&, const STDESSETTINGS&, std::string&);
  using Reader = bool (*)(std::string_view, CStDes&, STDESSETTINGS&);
  struct Codec {
    Writer write;
    Reader read;
    bool movesToCorner;
  };
  const Codec codecs[] = {{writePes, readPes, true},
                          {writePec, readPec, true},
                          {writeJef, readJef, false},
                          {writeVp3, readVp3, false},
                          {writeXxx, readXxx, false}};
  for (const auto& [write, read, movesToCorner] : codecs) {
    STDESSETTINGS settings;
    std::string bytes;
    if (!write(first, settings, bytes)) continue;
    CStDes second;
    if (!read(bytes, second, settings)) __builtin_trap();
    std::pair<float, float> shift{0.0f, 0.0f};
    bool shiftKnown = !movesToCorner;
    for (std::uint8_t type : {StDesPointType::Normal, StDesPointType::ColourChange}) {
      if (!sameUpToShift(positionsOf(first, type), positionsOf(second, type), shift, shiftKnown))
        __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (auto read : {readPes, readPec, readJef, readVp3, readXxx}) {
    CStDes design;
    STDESSETTINGS settings;
    if (read(bytes, design, settings)) checkRewrites(design);
  }
  return 0;
}
