#include "stitchkit/designio/pes_codec.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "stitchkit/designio/little_endian.h"
#include "stitchkit/designio/move_plan.h"
#include "stitchkit/designio/pec_codec.h"
#include "stitchkit/designio/pes_layout.h"

namespace stitchkit {

namespace {

// Reads the header's fields in order, never past `end`.
class HeaderReader {
 public:
  HeaderReader(std::string_view bytes, std::size_t at, std::size_t end)
      : bytes_(bytes.substr(0, end)), at_(at) {}

  bool skip(std::size_t length) {
    if (length > bytes_.size() - std::min(at_, bytes_.size())) return false;
    at_ += length;
    return true;
  }
  bool byte(std::uint8_t& value) {
    if (at_ >= bytes_.size()) return false;
    value = le::byteAt(bytes_, at_++);
    return true;
  }
  bool word(std::uint32_t& value) {
    if (!skip(2)) return false;
    value = le::byteAt(bytes_, at_ - 2) | static_cast<std::uint32_t>(le::byteAt(bytes_, at_ - 1))
                                              << 8;
    return true;
  }
  bool text(std::string& value) {
    std::uint8_t length = 0;
    if (!byte(length) || !skip(length)) return false;
    value.assign(bytes_.substr(at_ - length, length));
    return true;
  }

 private:
  std::string_view bytes_;
  std::size_t at_;
};

// The threads of a header that carries them; false when the header is cut.
bool readHeaderThreads(std::string_view bytes, std::size_t pecOffset,
                       std::vector<THREAD>& threads) {
  HeaderReader reader(bytes, pes::kHeaderStart, pecOffset);
  std::string text;
  std::uint32_t count = 0;
  if (!reader.skip(2 * pes::kThreadHeaderWordsBeforeTexts)) return false;
  for (std::size_t i = 0; i < pes::kThreadHeaderTexts; ++i) {
    if (!reader.text(text)) return false;
  }
  if (!reader.skip(2 * pes::kThreadHeaderWords) || !reader.text(text) ||
      !reader.skip(pes::kAffineLength + 2 * pes::kThreadHeaderWordsBeforeThreads) ||
      !reader.word(count)) {
    return false;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string code;
    std::string name;
    std::string brand;
    std::uint8_t rgb[3] = {};
    if (!reader.text(code) || !reader.byte(rgb[0]) || !reader.byte(rgb[1]) ||
        !reader.byte(rgb[2]) || !reader.skip(1 + pes::kThreadTypeLength) || !reader.text(name) ||
        !reader.text(brand) || !reader.text(text)) {
      return false;
    }
    THREAD thread;
    thread.colour = THREAD::rgb(rgb[0], rgb[1], rgb[2]);
    thread.code = HString(code.c_str());
    thread.name = HString(name.c_str());
    thread.manufacturer = HString(brand.c_str());
    threads.push_back(thread);
  }
  return true;
}

// A run of points of one kind in one colour block.
struct Segment {
  std::int32_t kind;
  std::size_t block;
  std::vector<std::pair<int, int>> points;
};

// The segments of a planned design: stitches, and jumps for every other move (a colour
// change starts the next block with the jump to its position).
std::vector<Segment> segmentsOf(const MovePlan& plan) {
  std::vector<Segment> segments;
  int x = 0;
  int y = 0;
  std::size_t block = 0;
  for (const PlannedMove& move : plan.moves) {
    if (move.kind == MoveKind::End) break;
    if (move.kind == MoveKind::ColourChange) ++block;
    const std::int32_t kind =
        move.kind == MoveKind::Stitch ? pes::kSegmentStitches : pes::kSegmentJump;
    if (segments.empty() || segments.back().kind != kind || segments.back().block != block ||
        segments.back().points.size() >= pes::kMaxSegmentPoints) {
      segments.push_back({kind, block, {{x, y}}});
    }
    x += move.dx;
    y += move.dy;
    segments.back().points.emplace_back(x, y);
  }
  if (segments.empty()) segments.push_back({pes::kSegmentStitches, 0, {{0, 0}}});
  return segments;
}

void putFloat(std::string& bytes, float value) {
  le::put32(bytes, std::bit_cast<std::uint32_t>(value));
}

void putName(std::string& bytes, const char* name) {
  le::put16(bytes, static_cast<std::int32_t>(pes::kBlockNameLength));
  bytes.append(name, pes::kBlockNameLength);
}

void putText(std::string& bytes, const HString& text) {
  const std::string ascii = text.getAscii();
  const std::size_t length = std::min(ascii.size(), pes::kMaxTextLength);
  le::putByte(bytes, static_cast<unsigned>(length));
  bytes.append(ascii, 0, length);
}

const pes::WrittenVersion* writtenVersion(int version) {
  if (version == 0) version = pes::kDefaultVersion;
  for (const pes::WrittenVersion& row : pes::kWrittenVersions) {
    if (row.value == version) return &row;
  }
  return nullptr;
}

// The thread of each colour block: the design's thread its colour number names, else the
// library's chart (as the PEC colour table chooses its indexes).
std::vector<THREAD> blockThreads(const CStDes& design, const MovePlan& plan) {
  CThreadArray chart;
  CStDes::SetDefaultPalette(chart);
  std::vector<THREAD> threads;
  for (std::uint16_t colour : plan.blockColours) {
    threads.push_back(colour < design.threads.GetSize() ? design.threads.GetAt(colour)
                                                        : chart.GetAt(colour % chart.GetSize()));
  }
  return threads;
}

// The header fields after the PEC offset, up to the number of objects.
void putHeader(std::string& bytes, const pes::WrittenVersion& version,
               const std::vector<THREAD>& threads) {
  if (version.hoopCode) {
    le::put16(bytes, pes::kHoop130x180);
    le::put16(bytes, pes::kUseDesignArea);
    return;
  }
  if (version.opening) {
    le::put16(bytes, pes::kOpening);
    bytes += pes::kSubversion;
  }
  bytes.append(version.zeroBytesBeforeHoop, '\0');
  le::put16(bytes, pes::kHoopWidthMm);
  le::put16(bytes, pes::kHoopHeightMm);
  le::put16(bytes, 0);  // not rotated
  if (version.pageSize) {
    for (std::int32_t word : pes::kPageSize)
      le::put16(bytes, word);
  }
  for (std::int32_t word : pes::kDesignPage)
    le::put16(bytes, word);
  for (std::size_t i = 0; i < version.zeroWordsAfterPage; ++i)
    le::put16(bytes, 0);
  if (!version.threadTable) return;
  putText(bytes, HString());
  for (float value : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f})
    putFloat(bytes, value);
  for (std::size_t i = 0; i < pes::kThreadHeaderWordsBeforeThreads; ++i)
    le::put16(bytes, 0);
  le::put16(bytes, static_cast<std::int32_t>(threads.size()));
  for (const THREAD& thread : threads) {
    putText(bytes, thread.code);
    le::putByte(bytes, thread.red());
    le::putByte(bytes, thread.green());
    le::putByte(bytes, thread.blue());
    le::putByte(bytes, 0);
    le::put32(bytes, pes::kThreadType);
    putText(bytes, thread.name);
    putText(bytes, thread.manufacturer);
    putText(bytes, HString());
  }
}

}  // namespace

bool readPes(std::string_view bytes, CStDes& design, STDESSETTINGS& settings) {
  design.points.clear();
  design.threads.RemoveAll();
  if (bytes.size() < pes::kHeaderStart || bytes.substr(0, pes::kMagicLength) != pes::kMagic) {
    return false;
  }
  const std::string_view digits = bytes.substr(pes::kMagicLength, pes::kVersionDigits);
  int version = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), version);
  if (error != std::errc() || end != digits.data() + digits.size()) return false;
  for (const pes::Version& row : pes::kVersions) {
    if (digits == row.digits) version = row.value;
  }
  const std::uint32_t pecOffset = le::u32At(bytes, pes::kPecOffsetAt);
  if (pecOffset < pes::kHeaderStart || pecOffset > bytes.size()) return false;
  if (!readPecBlock(bytes.substr(pecOffset), design)) return false;

  if (std::find(std::begin(pes::kThreadHeaderVersions), std::end(pes::kThreadHeaderVersions),
                version) != std::end(pes::kThreadHeaderVersions)) {
    std::vector<THREAD> threads;
    if (!readHeaderThreads(bytes, pecOffset, threads)) {
      design.points.clear();
      design.threads.RemoveAll();
      return false;
    }
    for (int i = 0; i < design.threads.GetSize(); ++i) {
      const std::uint8_t index = pecIndexOfThread(design.threads.GetAt(i));
      const auto match = std::find_if(threads.begin(), threads.end(), [index](const THREAD& t) {
        return pecIndexOfThread(t) == index;
      });
      if (match != threads.end()) design.threads.GetAt(i) = *match;
    }
  }
  settings.version = version;
  return true;
}

bool writePes(const CStDes& design, const STDESSETTINGS& settings, std::string& bytes) {
  const pes::WrittenVersion* version = writtenVersion(settings.version);
  if (version == nullptr) return false;
  MovePlan plan;
  if (!planMoves(design.points, pecMoveLimits(), plan)) return false;
  const int width = plan.maxX - plan.minX;
  const int height = plan.maxY - plan.minY;
  if (width > 0x7FFF || height > 0x7FFF) return false;
  const std::vector<Segment> segments = segmentsOf(plan);
  if (segments.size() > 0xFFFF) return false;
  const std::vector<std::uint8_t> indexes = pecColourIndexes(design, plan);
  const std::vector<THREAD> threads = blockThreads(design, plan);
  // A block's colour in the segments: its palette index, or its thread's number in the header.
  const auto colourOf = [&](std::size_t block) -> std::int32_t {
    if (version->threadTable) return static_cast<std::int32_t>(std::min(block + 1, threads.size()));
    return indexes.empty() ? 0 : indexes[std::min(block, indexes.size() - 1)];
  };

  bytes.assign(pes::kMagic, pes::kMagicLength);
  bytes += version->digits;
  le::put32(bytes, 0);  // the PEC offset, set below
  putHeader(bytes, *version, threads);
  le::put16(bytes, pes::kObjects);
  le::put16(bytes, pes::kBlocksFollow);
  le::put16(bytes, 0);

  putName(bytes, pes::kEmbOne);
  for (int copy = 0; copy < 2; ++copy) {
    for (int value : {0, 0, width, height})
      le::put16(bytes, value);
  }
  for (float value : {1.0f, 0.0f, 0.0f, 1.0f})
    putFloat(bytes, value);
  putFloat(bytes, static_cast<float>(pes::kHoopLeft + (pes::kHoopWidth - width) / 2));
  putFloat(bytes, static_cast<float>(pes::kHoopTop + (pes::kHoopHeight - height) / 2));
  le::put16(bytes, 1);
  le::put16(bytes, 0);
  le::put16(bytes, 0);
  le::put16(bytes, width);
  le::put16(bytes, height);
  bytes.append(pes::kZeroBytesAfterSize, '\0');
  le::put16(bytes, static_cast<std::int32_t>(segments.size()));
  le::put16(bytes, pes::kBlocksFollow);
  le::put16(bytes, 0);

  putName(bytes, pes::kSewSeg);
  std::vector<std::pair<std::size_t, std::int32_t>> colourList;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const Segment& segment = segments[i];
    const std::int32_t colour = colourOf(segment.block);
    if (i == 0 || segments[i - 1].block != segment.block) colourList.emplace_back(i, colour);
    if (i > 0) le::put16(bytes, pes::kSegmentContinues);
    le::put16(bytes, segment.kind);
    le::put16(bytes, colour);
    le::put16(bytes, static_cast<std::int32_t>(segment.points.size()));
    for (const auto& [x, y] : segment.points) {
      le::put16(bytes, x - plan.minX);
      le::put16(bytes, y - plan.minY);
    }
  }
  le::put16(bytes, static_cast<std::int32_t>(colourList.size()));
  for (const auto& [segment, colour] : colourList) {
    le::put16(bytes, static_cast<std::int32_t>(segment));
    le::put16(bytes, colour);
  }
  le::put16(bytes, 0);
  le::put16(bytes, 0);
  if (version->trailer) bytes.append(pes::kTrailerLength, '\0');

  le::set32(bytes, pes::kPecOffsetAt, static_cast<std::int64_t>(bytes.size()));
  return appendPecBlock(design, plan, "", bytes);
}

bool writesPesVersion(int version) {
  return writtenVersion(version) != nullptr;
}

}  // namespace stitchkit
