#include "stitchkit/designio/xxx_codec.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "stitchkit/designio/little_endian.h"
#include "stitchkit/designio/move_plan.h"
#include "stitchkit/designio/xxx_layout.h"

namespace stitchkit {

namespace {

void addPoint(CStDes& design, long x, long y, int block, std::uint8_t type) {
  const auto colour = static_cast<std::uint16_t>(std::min(block, 0xFFFF));
  design.points.push_back({static_cast<float>(x), static_cast<float>(y), colour, type});
}

std::int32_t clamp16(int value) {
  return std::clamp(value, -32768, 32767);
}

bool fitsIn(const PlannedMove& move, int limit) {
  return std::abs(move.dx) <= limit && std::abs(move.dy) <= limit;
}

void putMove(std::string& bytes, const PlannedMove& move) {
  const bool isStitch = move.kind == MoveKind::Stitch;
  if (isStitch && fitsIn(move, xxx::kShortStitchMax)) {
    le::putByte(bytes, static_cast<unsigned>(move.dx));
    le::putByte(bytes, static_cast<unsigned>(-move.dy));
  } else if (isStitch || (move.kind == MoveKind::Jump && !fitsIn(move, xxx::kByteMoveMax))) {
    le::putByte(bytes, isStitch ? xxx::kLongStitch : xxx::kLongJump);
    le::put16(bytes, move.dx);
    le::put16(bytes, -move.dy);
  } else {
    le::putByte(bytes, xxx::kCommand);
    le::putByte(bytes, move.kind == MoveKind::Jump   ? xxx::kJump
                       : move.kind == MoveKind::Trim ? xxx::kTrim
                                                     : xxx::kColourChange);
    le::putByte(bytes, static_cast<unsigned>(move.dx));
    le::putByte(bytes, static_cast<unsigned>(-move.dy));
  }
}

}  // namespace

bool readXxx(std::string_view bytes, CStDes& design, STDESSETTINGS& settings) {
  design.points.clear();
  design.threads.RemoveAll();
  if (bytes.size() < xxx::kHeaderLength) return false;
  const std::uint32_t colours = le::u32At(bytes, xxx::kColourCountAt);
  const std::uint32_t endOffset = le::u32At(bytes, xxx::kEndOffsetAt);
  if (colours > xxx::kMaxColours || endOffset < xxx::kHeaderLength) return false;
  const std::size_t paletteAt = std::size_t{endOffset} + std::size(xxx::kEndCode);
  if (paletteAt > bytes.size() || (bytes.size() - paletteAt) / xxx::kPaletteEntryLength < colours) {
    return false;
  }
  for (std::uint32_t i = 0; i < colours; ++i) {
    const std::size_t at = paletteAt + i * xxx::kPaletteEntryLength;
    THREAD thread;
    thread.colour = THREAD::rgb(le::byteAt(bytes, at + 1), le::byteAt(bytes, at + 2),
                                le::byteAt(bytes, at + 3));
    design.threads.Add(thread);
  }

  long x = 0;
  long y = 0;
  int block = 0;
  for (std::size_t at = xxx::kHeaderLength; at + 2 <= bytes.size();) {
    const std::uint8_t first = le::byteAt(bytes, at);
    const std::uint8_t second = le::byteAt(bytes, at + 1);
    if (first == xxx::kLongStitch || first == xxx::kLongJump) {
      if (at + 5 > bytes.size()) return false;
      x += le::i16At(bytes, at + 1);
      y -= le::i16At(bytes, at + 3);
      at += 5;
      addPoint(design, x, y, block,
               first == xxx::kLongStitch ? StDesPointType::Normal : StDesPointType::Jump);
      continue;
    }
    if (first != xxx::kCommand) {
      x += static_cast<std::int8_t>(first);
      y -= static_cast<std::int8_t>(second);
      at += 2;
      addPoint(design, x, y, block, StDesPointType::Normal);
      continue;
    }
    if (second == xxx::kEnd) {
      addPoint(design, x, y, block, StDesPointType::End);
      settings.version = 0;
      return true;
    }
    if (at + 4 > bytes.size()) return false;
    std::uint8_t type = StDesPointType::Jump;
    if (second == xxx::kTrim) {
      type = StDesPointType::Trim;
    } else if (second == xxx::kColourChange) {
      type = StDesPointType::ColourChange;
      ++block;
    } else if (second != xxx::kJump) {
      return false;
    }
    x += static_cast<std::int8_t>(le::byteAt(bytes, at + 2));
    y -= static_cast<std::int8_t>(le::byteAt(bytes, at + 3));
    at += 4;
    addPoint(design, x, y, block, type);
  }
  return false;  // no end code
}

bool writeXxx(const CStDes& design, const STDESSETTINGS& /*settings*/, std::string& bytes) {
  MovePlan plan;
  if (!planMoves(design.points, {xxx::kLongMoveMax, xxx::kLongMoveMax, xxx::kByteMoveMax}, plan)) {
    return false;
  }
  if (plan.blockColours.size() > xxx::kMaxColours) return false;
  CThreadArray chart;
  CStDes::SetDefaultPalette(chart);

  bytes.assign(xxx::kHeaderLength, '\0');
  std::int64_t records = 0;
  for (const PlannedMove& move : plan.moves) {
    if (move.kind == MoveKind::End) break;
    putMove(bytes, move);
    if (move.kind != MoveKind::ColourChange) ++records;
  }
  le::set32(bytes, xxx::kRecordCountAt, records);
  le::set32(bytes, xxx::kColourCountAt, static_cast<std::int64_t>(plan.blockColours.size()));
  le::set16(bytes, xxx::kWidthAt, clamp16(plan.maxX - plan.minX));
  le::set16(bytes, xxx::kHeightAt, clamp16(plan.maxY - plan.minY));
  le::set16(bytes, xxx::kLastStitchXAt, clamp16(plan.lastStitchX));
  le::set16(bytes, xxx::kLastStitchYAt, clamp16(-plan.lastStitchY));
  le::set32(bytes, xxx::kEndOffsetAt, static_cast<std::int64_t>(bytes.size()));
  for (std::uint8_t byte : xxx::kEndCode)
    le::putByte(bytes, byte);

  std::size_t entries = 0;
  for (std::uint16_t colour : plan.blockColours) {
    const THREAD& thread = colour < design.threads.GetSize()
                               ? design.threads.GetAt(colour)
                               : chart.GetAt(colour % chart.GetSize());
    le::putByte(bytes, 0);
    le::putByte(bytes, thread.red());
    le::putByte(bytes, thread.green());
    le::putByte(bytes, thread.blue());
    ++entries;
  }
  for (; entries < xxx::kMinPaletteEntries; ++entries)
    le::put32(bytes, 0);
  return true;
}

}  // namespace stitchkit
