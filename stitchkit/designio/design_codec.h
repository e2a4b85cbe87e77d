#pragma once

#include <string>
#include <string_view>

#include "stitchkit/designio/st_des.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// Reads a whole file's bytes into a design; false when the bytes are malformed.
using DesignReadFunction = bool (*)(std::string_view bytes, CStDes& design,
                                    STDESSETTINGS& settings);
// Writes a design as a whole file's bytes; false when the design cannot be expressed.
using DesignWriteFunction = bool (*)(const CStDes& design, const STDESSETTINGS& settings,
                                     std::string& bytes);

// One format a design object loads and saves.
struct DesignCodec {
  const wchar_t* extension;  // with the dot
  DesignReadFunction read;
  DesignWriteFunction write;
};

// The codec for `path` by its extension (compared without regard to case), or null.
const DesignCodec* findDesignCodec(const HString& path);

// Files longer than this are not loaded.
inline constexpr std::size_t kMaxDesignFileBytes = std::size_t{64} << 20;

}  // namespace stitchkit
