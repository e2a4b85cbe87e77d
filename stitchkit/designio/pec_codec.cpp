#include "stitchkit/designio/pec_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "stitchkit/designio/little_endian.h"
#include "stitchkit/designio/pec_layout.h"

namespace stitchkit {

namespace {

using Thumbnail = std::vector<std::uint8_t>;

void addPoint(CStDes& design, long x, long y, int block, std::uint8_t type) {
  const auto colour = static_cast<std::uint16_t>(std::min(block, 0xFFFF));
  design.points.push_back({static_cast<float>(x), static_cast<float>(y), colour, type});
}

// One coordinate of the stitch list at `at`, advancing it; false when it is cut short.
bool readCoordinate(std::string_view block, std::size_t& at, int& value, std::uint8_t& flags) {
  if (at >= block.size()) return false;
  const std::uint8_t first = le::byteAt(block, at);
  if ((first & pec::kLongFlag) == 0) {
    value = first > pec::kShortMax ? first - 0x80 : first;
    ++at;
    return true;
  }
  if (at + 2 > block.size()) return false;
  flags |= first & (pec::kTrimFlag | pec::kJumpFlag);
  value = (first & 0x0F) << 8 | le::byteAt(block, at + 1);
  if (value > pec::kLongMax) value -= 0x1000;
  at += 2;
  return true;
}

void putLong(std::string& bytes, int value, std::uint8_t flags) {
  const auto twelveBits = static_cast<unsigned>(value) & 0xFFF;
  le::putByte(bytes, pec::kLongFlag | flags | twelveBits >> 8);
  le::putByte(bytes, twelveBits);
}

void putCoordinate(std::string& bytes, int value, std::uint8_t flags, bool forceLong) {
  if (!forceLong && std::abs(value) <= pec::kShortMax) {
    le::putByte(bytes, static_cast<unsigned>(value) & 0x7F);
  } else {
    putLong(bytes, value, flags);
  }
}

void putMove(std::string& bytes, const PlannedMove& move, int& changes) {
  switch (move.kind) {
    case MoveKind::Stitch:
      putCoordinate(bytes, move.dx, 0, false);
      putCoordinate(bytes, move.dy, 0, false);
      break;
    case MoveKind::Jump:
    case MoveKind::Trim: {
      const std::uint8_t flag = move.kind == MoveKind::Jump ? pec::kJumpFlag : pec::kTrimFlag;
      putLong(bytes, move.dx, flag);
      putLong(bytes, move.dy, flag);
      break;
    }
    case MoveKind::ColourChange:
      // The change carries no move: jump to its position first.
      if (move.dx != 0 || move.dy != 0) putMove(bytes, {MoveKind::Jump, move.dx, move.dy}, changes);
      le::putByte(bytes, pec::kColourChange);
      le::putByte(bytes, pec::kColourChangeSecond);
      le::putByte(bytes, changes++ % 2 == 0 ? 2 : 1);
      break;
    case MoveKind::End:
      le::putByte(bytes, pec::kEnd);
      break;
  }
}

void setPixel(Thumbnail& image, int x, int y) {
  image[static_cast<std::size_t>(y * pec::kThumbnailBytesPerRow + x / 8)] |=
      static_cast<std::uint8_t>(1u << (x % 8));
}

void drawLine(Thumbnail& image, int x0, int y0, int x1, int y1) {
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  for (;;) {
    setPixel(image, x0, y0);
    if (x0 == x1 && y0 == y1) return;
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x0 += sx;
    }
    if (twice <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

Thumbnail framedThumbnail() {
  Thumbnail image(pec::kThumbnailLength, 0);
  drawLine(image, pec::kFrameLeft, pec::kFrameTop, pec::kFrameRight, pec::kFrameTop);
  drawLine(image, pec::kFrameLeft, pec::kFrameBottom, pec::kFrameRight, pec::kFrameBottom);
  drawLine(image, pec::kFrameLeft, pec::kFrameTop, pec::kFrameLeft, pec::kFrameBottom);
  drawLine(image, pec::kFrameRight, pec::kFrameTop, pec::kFrameRight, pec::kFrameBottom);
  return image;
}

// The whole design's thumbnail, then one per colour block: the stitches as lines, scaled
// alike into the frame.
std::vector<Thumbnail> drawThumbnails(const MovePlan& plan) {
  std::vector<Thumbnail> images(plan.blockColours.size() + 1, framedThumbnail());
  const double width = std::max(1, plan.maxX - plan.minX);
  const double height = std::max(1, plan.maxY - plan.minY);
  const double scale = std::min((pec::kDrawWidth - 1) / width, (pec::kDrawHeight - 1) / height);
  const auto pixelX = [&](long x) {
    return pec::kDrawLeft + static_cast<int>(std::lround((x - plan.minX) * scale));
  };
  const auto pixelY = [&](long y) {
    return pec::kDrawTop + static_cast<int>(std::lround((y - plan.minY) * scale));
  };
  long x = 0;
  long y = 0;
  std::size_t block = 0;
  for (const PlannedMove& move : plan.moves) {
    const long nextX = x + move.dx;
    const long nextY = y + move.dy;
    if (move.kind == MoveKind::Stitch) {
      for (Thumbnail* image : {&images[0], &images[std::min(block + 1, images.size() - 1)]})
        drawLine(*image, pixelX(x), pixelY(y), pixelX(nextX), pixelY(nextY));
    }
    if (move.kind == MoveKind::ColourChange) ++block;
    x = nextX;
    y = nextY;
  }
  return images;
}

}  // namespace

int pecPaletteSize() {
  return static_cast<int>(std::size(pec::kPalette));
}

THREAD pecThreadOfIndex(int index) {
  return chartThread(pec::kPalette, index);
}

std::uint8_t pecIndexOfThread(const THREAD& thread) {
  int index = 0;
  if (chartCodeOf(thread, index) && index > 0 && index < pecPaletteSize() &&
      pecThreadOfIndex(index).colour == thread.colour) {
    return static_cast<std::uint8_t>(index);
  }
  return static_cast<std::uint8_t>(nearestChartIndex(pec::kPalette, thread));
}

std::vector<std::uint8_t> pecColourIndexes(const CStDes& design, const MovePlan& plan) {
  CThreadArray chart;
  CStDes::SetDefaultPalette(chart);
  std::vector<std::uint8_t> indexes;
  indexes.reserve(plan.blockColours.size());
  for (std::uint16_t colour : plan.blockColours) {
    const THREAD& thread = colour < design.threads.GetSize()
                               ? design.threads.GetAt(colour)
                               : chart.GetAt(colour % chart.GetSize());
    indexes.push_back(pecIndexOfThread(thread));
  }
  return indexes;
}

MoveLimits pecMoveLimits() {
  return {pec::kLongMax, pec::kLongMax, pec::kLongMax};
}

bool readPecBlock(std::string_view block, CStDes& design) {
  design.points.clear();
  design.threads.RemoveAll();
  if (block.size() < pec::kStitchesAt ||
      block.substr(0, pec::kLabelPrefixLength) != pec::kLabelPrefix) {
    return false;
  }
  const std::uint8_t countByte = le::byteAt(block, pec::kColourCountAt);
  const std::size_t colours = countByte == pec::kNoColours ? 0 : std::size_t{countByte} + 1;
  for (std::size_t i = 0; i < colours; ++i)
    design.threads.Add(pecThreadOfIndex(le::byteAt(block, pec::kColourIndexesAt + i)));

  // Records take at least two bytes.
  design.points.reserve((block.size() - pec::kStitchesAt) / 2 + 1);
  long x = 0;
  long y = 0;
  int colourBlock = 0;
  for (std::size_t at = pec::kStitchesAt; at < block.size();) {
    const std::uint8_t first = le::byteAt(block, at);
    if (first == pec::kEnd) {
      addPoint(design, x, y, colourBlock, StDesPointType::End);
      return true;
    }
    if (first == pec::kColourChange) {
      if (at + 3 > block.size() || le::byteAt(block, at + 1) != pec::kColourChangeSecond) {
        return false;
      }
      at += 3;
      addPoint(design, x, y, ++colourBlock, StDesPointType::ColourChange);
      continue;
    }
    int dx = 0;
    int dy = 0;
    std::uint8_t flags = 0;
    if (!readCoordinate(block, at, dx, flags) || !readCoordinate(block, at, dy, flags)) {
      return false;
    }
    x += dx;
    y += dy;
    const std::uint8_t type = (flags & pec::kTrimFlag) != 0   ? StDesPointType::Trim
                              : (flags & pec::kJumpFlag) != 0 ? StDesPointType::Jump
                                                              : StDesPointType::Normal;
    addPoint(design, x, y, colourBlock, type);
  }
  return false;  // no end
}

bool appendPecBlock(const CStDes& design, const MovePlan& plan, std::string_view label,
                    std::string& bytes) {
  if (plan.blockColours.size() > pec::kMaxColours) return false;

  std::string stitches;
  // The list starts at the corner of the design's box: a leading jump (12-bit, in pieces when
  // longer) brings it to the design's origin, from where the planned moves run.
  const int toOriginX = -plan.minX;
  const int toOriginY = -plan.minY;
  const int pieces =
      std::max(1, (std::max(toOriginX, toOriginY) + pec::kLongMax - 1) / pec::kLongMax);
  for (int i = 1; i <= pieces; ++i) {
    putLong(stitches, toOriginX * i / pieces - toOriginX * (i - 1) / pieces, pec::kJumpFlag);
    putLong(stitches, toOriginY * i / pieces - toOriginY * (i - 1) / pieces, pec::kJumpFlag);
  }
  int changes = 0;
  for (const PlannedMove& move : plan.moves)
    putMove(stitches, move, changes);
  const std::size_t thumbnailOffset = pec::kStitchesAt - pec::kStitchHeaderAt + stitches.size();
  if (thumbnailOffset >= std::size_t{1} << 24) return false;

  const std::size_t start = bytes.size();
  bytes += pec::kLabelPrefix;
  std::string name(label.substr(0, pec::kLabelLength));
  name.resize(pec::kLabelLength, ' ');
  bytes += name;
  bytes += '\r';
  bytes.append(pec::kFillLength, ' ');
  le::putByte(bytes, 0xFF);
  le::putByte(bytes, 0x00);
  le::putByte(bytes, pec::kThumbnailBytesPerRow);
  le::putByte(bytes, pec::kThumbnailRows);
  bytes.append(pec::kFillLength, ' ');
  le::putByte(bytes, static_cast<unsigned>(plan.blockColours.size() - 1));
  for (std::uint8_t index : pecColourIndexes(design, plan))
    le::putByte(bytes, index);
  bytes.resize(start + pec::kStitchHeaderAt, ' ');
  le::put16(bytes, 0);
  le::put16(bytes, static_cast<std::int32_t>(thumbnailOffset & 0xFFFF));
  le::putByte(bytes, static_cast<unsigned>(thumbnailOffset >> 16));
  for (std::uint8_t mark : pec::kStitchHeaderMarks)
    le::putByte(bytes, mark);
  le::put16(bytes, std::min(plan.maxX - plan.minX, 0x7FFF));
  le::put16(bytes, std::min(plan.maxY - plan.minY, 0x7FFF));
  for (std::int32_t word : pec::kStitchHeaderWords)
    le::put16(bytes, word);
  bytes += stitches;
  for (const Thumbnail& image : drawThumbnails(plan))
    bytes.append(image.begin(), image.end());
  return true;
}

bool readPec(std::string_view bytes, CStDes& design, STDESSETTINGS& settings) {
  design.points.clear();
  design.threads.RemoveAll();
  if (bytes.substr(0, pec::kFileMagicLength) != pec::kFileMagic) return false;
  if (!readPecBlock(bytes.substr(pec::kFileMagicLength), design)) return false;
  settings.version = 0;
  return true;
}

bool writePec(const CStDes& design, const STDESSETTINGS& /*settings*/, std::string& bytes) {
  MovePlan plan;
  if (!planMoves(design.points, pecMoveLimits(), plan)) return false;
  bytes.assign(pec::kFileMagic, pec::kFileMagicLength);
  return appendPecBlock(design, plan, "", bytes);
}

}  // namespace stitchkit
