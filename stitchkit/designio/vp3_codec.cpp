#include "stitchkit/designio/vp3_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "stitchkit/designio/move_plan.h"
#include "stitchkit/designio/vp3_layout.h"

namespace stitchkit {

namespace {

// Big-endian numbers and the file's texts.
void putByte(std::string& bytes, unsigned value) {
  bytes.push_back(static_cast<char>(value & 0xFF));
}
void put16(std::string& bytes, std::int32_t value) {
  putByte(bytes, static_cast<unsigned>(value) >> 8);
  putByte(bytes, static_cast<unsigned>(value));
}
void put32(std::string& bytes, std::int64_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    putByte(bytes, static_cast<unsigned>(static_cast<std::uint64_t>(value) >> shift));
}
void set32(std::string& bytes, std::size_t at, std::int64_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[at + static_cast<std::size_t>(i)] =
        static_cast<char>((static_cast<std::uint64_t>(value) >> (24 - 8 * i)) & 0xFF);
  }
}
template <std::size_t N>
void putTag(std::string& bytes, const std::uint8_t (&tag)[N]) {
  for (std::uint8_t byte : tag)
    putByte(bytes, byte);
}
void putWideText(std::string& bytes, std::string_view text) {
  put16(bytes, static_cast<std::int32_t>(2 * text.size()));
  for (char c : text) {
    putByte(bytes, 0);
    putByte(bytes, static_cast<unsigned char>(c));
  }
}
void putText(std::string& bytes, const std::string& text) {
  const std::size_t length = std::min<std::size_t>(text.size(), 0xFFFF);
  put16(bytes, static_cast<std::int32_t>(length));
  bytes.append(text, 0, length);
}
// Starts a length field counting the bytes after it; returns where to set it.
std::size_t openLength(std::string& bytes) {
  put32(bytes, 0);
  return bytes.size();
}
void closeLength(std::string& bytes, std::size_t after) {
  set32(bytes, after - 4, static_cast<std::int64_t>(bytes.size() - after));
}

std::int64_t micrometres(long units) {
  return static_cast<std::int64_t>(units) * vp3::kMicrometresPerUnit;
}

// Reads the fields in order, never past the end.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  std::size_t at() const { return at_; }
  bool skip(std::size_t length) {
    if (length > bytes_.size() - at_) return false;
    at_ += length;
    return true;
  }
  bool seek(std::size_t at) {
    if (at > bytes_.size()) return false;
    at_ = at;
    return true;
  }
  bool byte(std::uint8_t& value) {
    if (!skip(1)) return false;
    value = static_cast<std::uint8_t>(bytes_[at_ - 1]);
    return true;
  }
  bool number(int width, std::int64_t& value) {
    if (!skip(static_cast<std::size_t>(width))) return false;
    std::uint32_t raw = 0;
    for (int i = width; i > 0; --i)
      raw = raw << 8 | static_cast<std::uint8_t>(bytes_[at_ - static_cast<std::size_t>(i)]);
    value = width == 2 ? static_cast<std::int16_t>(raw) : static_cast<std::int32_t>(raw);
    return true;
  }
  bool unsignedNumber(int width, std::uint32_t& value) {
    std::int64_t signedValue = 0;
    if (!number(width, signedValue)) return false;
    value = static_cast<std::uint32_t>(signedValue) & (width == 2 ? 0xFFFFu : 0xFFFFFFFFu);
    return true;
  }
  template <std::size_t N>
  bool expect(const std::uint8_t (&tag)[N]) {
    if (!skip(N)) return false;
    return std::equal(std::begin(tag), std::end(tag), bytes_.begin() + static_cast<long>(at_ - N),
                      [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
  }
  bool text(std::string& value) {
    std::uint32_t length = 0;
    if (!unsignedNumber(2, length) || !skip(length)) return false;
    value.assign(bytes_.substr(at_ - length, length));
    return true;
  }
  // A length field: the offset it reaches, which must lie within the file.
  bool end(std::size_t& end) {
    std::uint32_t length = 0;
    if (!unsignedNumber(4, length) || length > bytes_.size() - at_) return false;
    end = at_ + length;
    return true;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

void addPoint(CStDes& design, long x, long y, std::size_t block, std::uint8_t type) {
  const auto colour = static_cast<std::uint16_t>(std::min<std::size_t>(block, 0xFFFF));
  design.points.push_back({static_cast<float>(x), static_cast<float>(y), colour, type});
}

long unitsOf(std::int64_t micrometres) {
  return static_cast<long>(
      std::llround(static_cast<double>(micrometres) / vp3::kMicrometresPerUnit));
}

bool readThread(Reader& reader, std::size_t block, CStDes& design, long& x, long& y) {
  std::size_t next = 0;
  std::int64_t startX = 0;
  std::int64_t startY = 0;
  std::uint8_t colours = 0;
  if (!reader.expect(vp3::kThreadTag) || !reader.end(next) || !reader.number(4, startX) ||
      !reader.number(4, startY) || !reader.byte(colours) || colours == 0 || !reader.skip(1)) {
    return false;
  }
  std::uint8_t rgb[3] = {};
  std::string code;
  std::string name;
  std::string brand;
  std::size_t stitchesEnd = 0;
  if (!reader.byte(rgb[0]) || !reader.byte(rgb[1]) || !reader.byte(rgb[2]) ||
      !reader.skip(vp3::kColourDetailLength - 3 +
                   (colours - std::size_t{1}) * vp3::kColourDetailLength + 2) ||
      !reader.text(code) || !reader.text(name) || !reader.text(brand) || !reader.skip(8) ||
      !reader.expect(vp3::kStitchesTag) || !reader.end(stitchesEnd) ||
      !reader.skip(std::size(vp3::kStitchScale)) || stitchesEnd < reader.at()) {
    return false;
  }
  THREAD thread;
  thread.colour = THREAD::rgb(rgb[0], rgb[1], rgb[2]);
  thread.code = HString(code.c_str());
  thread.name = HString(name.c_str());
  thread.manufacturer = HString(brand.c_str());
  design.threads.Add(thread);

  x = unitsOf(startX);
  y = -unitsOf(startY);
  if (block > 0) addPoint(design, x, y, block, StDesPointType::ColourChange);
  while (reader.at() < stitchesEnd) {
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    if (!reader.byte(first) || !reader.byte(second)) return false;
    if (first != vp3::kEscape) {
      x += static_cast<std::int8_t>(first);
      y += static_cast<std::int8_t>(second);
      addPoint(design, x, y, block, StDesPointType::Normal);
    } else if (second == vp3::kLongMove) {
      std::int64_t dx = 0;
      std::int64_t dy = 0;
      if (!reader.number(2, dx) || !reader.number(2, dy)) return false;
      x += static_cast<long>(dx);
      y += static_cast<long>(dy);
      addPoint(design, x, y, block, StDesPointType::Jump);
    } else if (second == vp3::kTrim) {
      addPoint(design, x, y, block, StDesPointType::Trim);
    } else if (second != vp3::kEndMove) {
      return false;
    }
  }
  return reader.at() == stitchesEnd && reader.seek(next);
}

// Appends one move as stitch records.
void putMove(std::string& bytes, const PlannedMove& move) {
  if (move.kind == MoveKind::Stitch) {
    putByte(bytes, static_cast<unsigned>(move.dx));
    putByte(bytes, static_cast<unsigned>(move.dy));
    return;
  }
  if (move.dx != 0 || move.dy != 0 || move.kind == MoveKind::Jump) {
    putByte(bytes, vp3::kEscape);
    putByte(bytes, vp3::kLongMove);
    put16(bytes, move.dx);
    put16(bytes, move.dy);
    putByte(bytes, vp3::kEscape);
    putByte(bytes, vp3::kEndMove);
  }
  if (move.kind == MoveKind::Trim) {
    putByte(bytes, vp3::kEscape);
    putByte(bytes, vp3::kTrim);
  }
}

}  // namespace

bool readVp3(std::string_view bytes, CStDes& design, STDESSETTINGS& settings) {
  design.points.clear();
  design.threads.RemoveAll();
  Reader reader(bytes);
  std::string text;
  std::size_t end = 0;
  std::uint32_t threads = 0;
  if (bytes.substr(0, std::size(vp3::kMagic)) !=
          std::string_view(vp3::kMagic, std::size(vp3::kMagic)) ||
      !reader.skip(std::size(vp3::kMagic)) || !reader.text(text) ||
      !reader.expect(vp3::kExtentTag) || !reader.end(end) || !reader.text(text) ||
      !reader.skip(4 * 4 + 4 + 2 + 1 + 2) || !reader.expect(vp3::kHoopTag) || !reader.end(end) ||
      !reader.skip(2 * 4) || !reader.expect(vp3::kCanvasTag) || !reader.skip(6 * 4) ||
      !reader.text(text) ||
      !reader.skip(std::size(vp3::kHoopMarks) + 4 * std::size(vp3::kHoopWords)) ||
      !reader.expect(vp3::kThreadsMagic) || !reader.text(text) ||
      !reader.unsignedNumber(2, threads) || threads > vp3::kMaxThreads) {
    return false;
  }
  long x = 0;
  long y = 0;
  for (std::uint32_t i = 0; i < threads; ++i) {
    if (!readThread(reader, i, design, x, y)) {
      design.points.clear();
      design.threads.RemoveAll();
      return false;
    }
  }
  addPoint(design, x, y, threads == 0 ? 0 : threads - 1, StDesPointType::End);
  settings.version = 0;
  return true;
}

bool writeVp3(const CStDes& design, const STDESSETTINGS& /*settings*/, std::string& bytes) {
  MovePlan plan;
  if (!planMoves(design.points, {vp3::kShortMax, vp3::kLongMax, vp3::kLongMax}, plan)) {
    return false;
  }
  if (plan.blockColours.size() > vp3::kMaxThreads) return false;
  CThreadArray chart;
  CStDes::SetDefaultPalette(chart);
  std::int64_t stitchCount = 0;
  for (const PlannedMove& move : plan.moves)
    stitchCount += move.kind == MoveKind::Stitch ? 1 : 0;
  const auto threadCount = static_cast<std::int32_t>(plan.blockColours.size());

  bytes.assign(vp3::kMagic, std::size(vp3::kMagic));
  putWideText(bytes, vp3::kProducer);
  putTag(bytes, vp3::kExtentTag);
  const std::size_t extent = openLength(bytes);
  putWideText(bytes, "");
  for (std::int64_t edge : {micrometres(plan.maxX), micrometres(-plan.minY), micrometres(plan.minX),
                            micrometres(-plan.maxY)}) {
    put32(bytes, edge);
  }
  put32(bytes, stitchCount);
  put16(bytes, threadCount);
  putByte(bytes, vp3::kExtentMark);
  put16(bytes, vp3::kHoops);
  putTag(bytes, vp3::kHoopTag);
  const std::size_t hoop = openLength(bytes);
  put32(bytes, 0);  // the hoop's centre: the design's origin
  put32(bytes, 0);
  putTag(bytes, vp3::kCanvasTag);
  for (std::int64_t value :
       {-vp3::kHoopHalfWidth, vp3::kHoopHalfWidth, -vp3::kHoopHalfHeight, vp3::kHoopHalfHeight,
        2 * vp3::kHoopHalfWidth, 2 * vp3::kHoopHalfHeight}) {
    put32(bytes, value);
  }
  putWideText(bytes, "");
  for (std::uint8_t mark : vp3::kHoopMarks)
    putByte(bytes, mark);
  for (std::int32_t word : vp3::kHoopWords)
    put32(bytes, word);
  putTag(bytes, vp3::kThreadsMagic);
  putWideText(bytes, vp3::kProducer);
  put16(bytes, threadCount);

  long x = 0;
  long y = 0;
  auto move = plan.moves.begin();
  for (std::uint16_t colour : plan.blockColours) {
    const THREAD& thread = colour < design.threads.GetSize()
                               ? design.threads.GetAt(colour)
                               : chart.GetAt(colour % chart.GetSize());
    putTag(bytes, vp3::kThreadTag);
    const std::size_t section = openLength(bytes);
    put32(bytes, micrometres(x));
    put32(bytes, micrometres(-y));
    putByte(bytes, 1);
    putByte(bytes, 0);
    putByte(bytes, thread.red());
    putByte(bytes, thread.green());
    putByte(bytes, thread.blue());
    bytes.append(vp3::kColourDetailLength - 3, '\0');
    putByte(bytes, vp3::kThreadType);
    putByte(bytes, vp3::kThreadWeight);
    putText(bytes, thread.code.getAscii());
    putText(bytes, thread.name.getAscii());
    putText(bytes, thread.manufacturer.getAscii());
    const std::size_t shiftAt = bytes.size();
    put32(bytes, 0);
    put32(bytes, 0);
    putTag(bytes, vp3::kStitchesTag);
    const std::size_t stitches = openLength(bytes);
    putTag(bytes, vp3::kStitchScale);
    const long startX = x;
    const long startY = y;
    for (; move != plan.moves.end(); ++move) {
      if (move->kind == MoveKind::End) break;
      if (move->kind == MoveKind::ColourChange) {
        // The next section starts where the change moves to.
        x += move->dx;
        y += move->dy;
        ++move;
        break;
      }
      putMove(bytes, *move);
      x += move->dx;
      y += move->dy;
    }
    closeLength(bytes, stitches);
    putByte(bytes, 0);
    set32(bytes, shiftAt, micrometres(x - startX));
    set32(bytes, shiftAt + 4, micrometres(startY - y));
    closeLength(bytes, section);
  }
  closeLength(bytes, hoop);
  closeLength(bytes, extent);
  return true;
}

}  // namespace stitchkit
