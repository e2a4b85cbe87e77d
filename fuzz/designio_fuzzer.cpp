// Feeds arbitrary bytes to the PES, PEC, JEF and XXX readers and checks what a caller relies on
// besides not crashing: a design that reads, written again in any of the formats, reads again
// with the same penetrations and colour changes.

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

// Positions a float holds exactly, so that writing them loses nothing.
bool exactPositions(const CStDes& design) {
  for (const StDesPoint& p : design.points)
    if (std::fabs(p.x) > 1.0e7f || std::fabs(p.y) > 1.0e7f) return false;
  return true;
}

void checkRewrites(const CStDes& first) {
  if (!exactPositions(first)) return;
  using Writer = bool (*)(const CStDes&, const STDESSETTINGS&, std::string&);
  using Reader = bool (*)(std::string_view, CStDes&, STDESSETTINGS&);
  const std::pair<Writer, Reader> codecs[] = {
      {writePes, readPes}, {writePec, readPec}, {writeJef, readJef}, {writeXxx, readXxx}};
  for (const auto& [write, read] : codecs) {
    STDESSETTINGS settings;
    std::string bytes;
    if (!write(first, settings, bytes)) continue;
    CStDes second;
    if (!read(bytes, second, settings)) __builtin_trap();
    if (positionsOf(second, StDesPointType::Normal) != positionsOf(first, StDesPointType::Normal))
      __builtin_trap();
    if (positionsOf(second, StDesPointType::ColourChange) !=
        positionsOf(first, StDesPointType::ColourChange)) {
      __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (auto read : {readPes, readPec, readJef, readXxx}) {
    CStDes design;
    STDESSETTINGS settings;
    if (read(bytes, design, settings)) checkRewrites(design);
  }
  return 0;
}
