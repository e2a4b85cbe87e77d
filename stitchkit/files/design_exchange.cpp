#include "stitchkit/files/design_exchange.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <vector>

#include "stitchkit/files/kvb_file_internal.h"
#include "stitchkit/platform/compound_file.h"

namespace stitchkit {

int readEmbFileIcon(const HString& path, HXArray<unsigned char>& icon) {
  try {
    std::vector<unsigned char> file;
    if (!detail::readWholeFile(path, file, kMaxCompoundFileSize + 1) ||
        file.size() > kMaxCompoundFileSize) {
      return kEmbIconFailed;
    }
    std::vector<std::uint8_t> stream;
    if (readCompoundStream(file, u"DESIGN_ICON", stream) != kCompoundOk) return kEmbIconFailed;
    icon.setSize(static_cast<int>(stream.size()));
    std::copy(stream.begin(), stream.end(), icon.data());
    return kEmbIconOk;
  } catch (const std::exception&) {
    return kEmbIconFailed;
  }
}

}  // namespace stitchkit
