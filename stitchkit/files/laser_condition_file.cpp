#include "stitchkit/files/laser_condition_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

#include "stitchkit/platform/console_app.h"

namespace stitchkit {

namespace {

constexpr std::string_view kIdentifier = "KRV-HXQP-VARKO  ";
constexpr std::string_view kVersion = "1.006";
constexpr unsigned char kLineEnd = 0x0D;
constexpr unsigned char kEndMark = 0x1A;

void putText(LT0File& record, std::size_t offset, std::string_view text) {
  std::memcpy(record.data.data() + offset, text.data(), text.size());
}

}  // namespace

int makeLaserConditionFile(LT0File& record, const HList<LT0LaserBlock>& blocks,
                           const HList<int>& stitchList) {
  record.data.fill(' ');
  putText(record, 0, kIdentifier);
  char number[16] = {};
  if (const ConsoleApp* app = getConsoleApp()) {
    std::snprintf(number, sizeof number, "%d", app->getHostData().number);
  }
  std::memcpy(record.data.data() + lt0::kHostNumberOffset, number, lt0::kHostNumberLength);
  putText(record, lt0::kVersionOffset, kVersion);
  const auto now = static_cast<std::uint32_t>(std::time(nullptr));
  for (std::size_t i = 0; i < 4; ++i)
    record.data[lt0::kTimeOffset + i] = static_cast<unsigned char>(now >> (8 * i));

  for (std::size_t i = 0; i < lt0::kBlockCount; ++i) {
    unsigned char* out = record.data.data() + lt0::kBlocksOffset + i * lt0::kBlockSize;
    if (i < static_cast<std::size_t>(blocks.length())) {
      const auto& bytes = blocks(static_cast<int>(i)).bytes;
      out[0] = static_cast<unsigned char>(bytes[0] + 1);
      std::memcpy(out + 1, bytes.data() + 1, lt0::kBlockDataEnd - 1);
    } else {
      out[0] = static_cast<unsigned char>(i + 1);
    }
    out[lt0::kBlockSize - 1] = kLineEnd;
  }

  if (stitchList.isEmpty()) return kLaserFileOk;
  const std::size_t copied =
      std::min(static_cast<std::size_t>(stitchList.length()), lt0::kMaxListEntries);
  for (std::size_t i = 0; i < copied; ++i)
    record.data[lt0::kListOffset + i] =
        static_cast<unsigned char>(stitchList(static_cast<int>(i)) & 0xFF);
  record.data[lt0::kListOffset + copied] = kEndMark;
  char count[16];
  const int length = std::snprintf(count, sizeof count, "%5d", stitchList.length());
  const std::size_t size = length < 0 ? 0 : static_cast<std::size_t>(length);
  const std::size_t skip = size > lt0::kEntryCountWidth ? size - lt0::kEntryCountWidth : 0;
  putText(record, lt0::kEntryCountOffset, std::string_view(count + skip, size - skip));
  return kLaserFileOk;
}

}  // namespace stitchkit
