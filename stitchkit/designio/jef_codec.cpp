#include "stitchkit/designio/jef_codec.h"

#include <algorithm>
#include <ctime>
#include <iterator>

#include "stitchkit/designio/jef_layout.h"
#include "stitchkit/designio/little_endian.h"
#include "stitchkit/designio/move_plan.h"

namespace stitchkit {

namespace {

void addPoint(CStDes& design, long x, long y, int block, std::uint8_t type) {
  const auto colour = static_cast<std::uint16_t>(std::min(block, 0xFFFF));
  design.points.push_back({static_cast<float>(x), static_cast<float>(y), colour, type});
}

// "YYYYMMDDHHMMSS" in UTC.
std::string timeStamp(std::int64_t seconds) {
  const std::time_t when = seconds < 0 ? std::time(nullptr) : static_cast<std::time_t>(seconds);
  std::tm parts{};
  char text[32] = {};
  if (gmtime_r(&when, &parts) == nullptr ||
      std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts) != jef::kTimeStampLength) {
    return std::string(jef::kTimeStampLength, '0');
  }
  return text;
}

const jef::Hoop* hoopOfCode(std::int32_t code) {
  for (const jef::Hoop& hoop : jef::kHoops) {
    if (hoop.code == code) return &hoop;
  }
  return nullptr;
}

// Distances from the extents (left, top, right, bottom) to the hoop's edges, or -1 each.
void putHoopRecord(std::string& bytes, const jef::Hoop* hoop, const std::int32_t extents[4]) {
  const std::int32_t half[4] = {hoop ? hoop->halfWidth : 0, hoop ? hoop->halfHeight : 0,
                                hoop ? hoop->halfWidth : 0, hoop ? hoop->halfHeight : 0};
  bool fits = hoop != nullptr;
  for (int i = 0; i < 4; ++i)
    fits = fits && extents[i] <= half[i];
  for (int i = 0; i < 4; ++i)
    le::put32(bytes, fits ? half[i] - extents[i] : -1);
}

void putMove(std::string& bytes, const PlannedMove& move) {
  if (move.kind != MoveKind::Stitch) {
    le::putByte(bytes, jef::kEscape);
    le::putByte(bytes, move.kind == MoveKind::ColourChange ? jef::kColourChange : jef::kJump);
  }
  le::putByte(bytes, static_cast<unsigned>(move.dx));
  le::putByte(bytes, static_cast<unsigned>(-move.dy));
}

}  // namespace

int jefChartSize() {
  return static_cast<int>(std::size(jef::kChart));
}

THREAD jefThreadOfIndex(std::int32_t index) {
  return chartThread(jef::kChart, index);
}

std::int32_t jefIndexOfThread(const THREAD& thread) {
  int index = 0;
  if (chartCodeOf(thread, index) && jefThreadOfIndex(index).colour == thread.colour) return index;
  return nearestChartIndex(jef::kChart, thread);
}

bool readJef(std::string_view bytes, CStDes& design, STDESSETTINGS& settings) {
  design.points.clear();
  design.threads.RemoveAll();
  if (bytes.size() < jef::kHeaderLength) return false;
  const std::uint32_t offset = le::u32At(bytes, jef::kStitchOffsetAt);
  const std::int32_t threadCount = le::i32At(bytes, jef::kThreadCountAt);
  if (threadCount < 0 || threadCount > jef::kMaxThreads) return false;
  const std::size_t indexesEnd = jef::kThreadIndexesAt + 4 * static_cast<std::size_t>(threadCount);
  if (offset < indexesEnd || offset > bytes.size()) return false;
  for (std::int32_t i = 0; i < threadCount; ++i) {
    design.threads.Add(jefThreadOfIndex(
        le::i32At(bytes, jef::kThreadIndexesAt + 4 * static_cast<std::size_t>(i))));
  }

  design.points.reserve((bytes.size() - offset) / 2);  // records take at least two bytes
  long x = 0;
  long y = 0;
  int block = 0;
  for (std::size_t at = offset; at + 2 <= bytes.size();) {
    const std::uint8_t first = le::byteAt(bytes, at);
    const std::uint8_t second = le::byteAt(bytes, at + 1);
    at += 2;
    std::uint8_t type = StDesPointType::Normal;
    if (first == jef::kEscape) {
      if (second == jef::kEnd) {
        addPoint(design, x, y, block, StDesPointType::End);
        settings.version = 0;
        return true;
      }
      if (second != jef::kColourChange && second != jef::kJump) return false;
      if (at + 2 > bytes.size()) return false;
      type = second == jef::kJump ? StDesPointType::Jump : StDesPointType::ColourChange;
      if (type == StDesPointType::ColourChange) ++block;
      x += static_cast<std::int8_t>(le::byteAt(bytes, at));
      y -= static_cast<std::int8_t>(le::byteAt(bytes, at + 1));
      at += 2;
    } else {
      x += static_cast<std::int8_t>(first);
      y -= static_cast<std::int8_t>(second);
    }
    addPoint(design, x, y, block, type);
  }
  return false;  // no end command
}

bool writeJef(const CStDes& design, const STDESSETTINGS& settings, std::string& bytes) {
  MovePlan plan;
  if (!planMoves(design.points, {jef::kMaxStep, jef::kMaxStep, jef::kMaxStep}, plan)) {
    return false;
  }
  CThreadArray chart;
  CStDes::SetDefaultPalette(chart);
  const auto threadCount = static_cast<std::int64_t>(plan.blockColours.size());
  if (threadCount > jef::kMaxThreads) return false;

  std::string stream;
  for (const PlannedMove& move : plan.moves) {
    if (move.kind == MoveKind::End) break;
    putMove(stream, move);
  }
  le::putByte(stream, jef::kEscape);
  le::putByte(stream, jef::kEnd);

  // Left, top, right, bottom; the file's y grows upwards.
  const std::int32_t extents[4] = {-plan.minX, -plan.minY, plan.maxX, plan.maxY};
  const jef::Hoop* hoop = hoopOfCode(settings.hoopCode);
  if (settings.hoopCode < 0) {
    hoop = nullptr;
    for (const jef::Hoop& candidate : jef::kHoops) {
      if (extents[0] <= candidate.halfWidth && extents[2] <= candidate.halfWidth &&
          extents[1] <= candidate.halfHeight && extents[3] <= candidate.halfHeight) {
        hoop = &candidate;
        break;
      }
    }
    if (hoop == nullptr) hoop = &jef::kHoops[std::size(jef::kHoops) - 1];  // the largest
  }

  bytes.clear();
  le::put32(bytes, static_cast<std::int64_t>(jef::kHeaderLength) + 8 * threadCount);
  le::put32(bytes, jef::kFlags);
  bytes += timeStamp(settings.saveTime);
  le::put16(bytes, 0);
  le::put32(bytes, threadCount);
  le::put32(bytes, static_cast<std::int64_t>(stream.size() / 2));
  le::put32(bytes, hoop ? hoop->code : settings.hoopCode);
  for (std::int32_t extent : extents)
    le::put32(bytes, extent);
  for (std::int32_t code : jef::kRecordHoops)
    putHoopRecord(bytes, hoopOfCode(code), extents);
  putHoopRecord(bytes, hoop, extents);
  for (std::uint16_t colour : plan.blockColours) {
    const THREAD& thread = colour < design.threads.GetSize()
                               ? design.threads.GetAt(colour)
                               : chart.GetAt(colour % chart.GetSize());
    le::put32(bytes, jefIndexOfThread(thread));
  }
  for (std::int64_t i = 0; i < threadCount; ++i)
    le::put32(bytes, jef::kThreadType);
  bytes += stream;
  return true;
}

}  // namespace stitchkit
