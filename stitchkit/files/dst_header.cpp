#include "stitchkit/files/dst_header.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "stitchkit/platform/h_file.h"

namespace stitchkit {

namespace {

// Largest values the fields can show.
constexpr int kMaxStitchCount = 9999999;  // 7 digits
constexpr int kMaxColourChanges = 999;    // 3 digits
constexpr int kMaxDistance = 99999;       // 5 digits

// The DST file header's text; its last character is the byte 0x1A.
constexpr const char kDstHeaderFormat[] =
    "LA:%-16.16s\rST:%7d\rCO:%3d\r+X:%5d\r-X:%5d\r+Y:%5d\r-Y:%5d\rAX:%s%5d\rAY:%s%5d\r"
    "MX:+    0\rMY:+    0\rPD:******\r"
    "\x1A";
// The container variant's text.
constexpr const char kInternalDstHeaderFormat[] =
    "LA:%-16.16s\rST:%7d\rCO:%3d\r+X:%5d\r-X:%5d\r+Y:%5d\r-Y:%5d\rAX:%s%5d\rAY:%s%5d\r"
    "TP:EG/                             \rJC:3\rDO:";

// The values of the header's fields, each bounded to its field width.
struct HeaderFields {
  int stitches;
  int colourChanges;
  int plusX;
  int minusX;
  int plusY;
  int minusY;
  const char* endXSign;
  int endX;
  const char* endYSign;
  int endY;
};

int bounded(int value, int largest) {
  return std::clamp(value, 0, largest);
}

// Distance between two 16-bit coordinates (at most 65535, so int holds it).
int distance(short from, short to) {
  return bounded(std::abs(static_cast<int>(to) - static_cast<int>(from)), kMaxDistance);
}

HeaderFields fieldsOf(const StitchStats& stats) {
  HeaderFields f{};
  f.stitches = bounded(stats.stitchCount, kMaxStitchCount);
  f.colourChanges = bounded(stats.colourChangeCount, kMaxColourChanges);
  f.plusX = distance(stats.startX, stats.maxX);
  f.minusX = distance(stats.minX, stats.startX);
  // The header's y runs the other way: +Y is the extent towards smaller y.
  f.plusY = distance(stats.minY, stats.startY);
  f.minusY = distance(stats.startY, stats.maxY);
  f.endXSign = stats.endX < stats.startX ? "-" : "+";
  f.endX = distance(stats.startX, stats.endX);
  f.endYSign = stats.endY < stats.startY ? "-" : "+";
  f.endY = distance(stats.startY, stats.endY);
  return f;
}

// How the label's narrow text is made.
enum class LabelConversion { kUtf8, kAnsi, kAscii };

// Windows-1252 form of `name`, or the legacy form when the name does not survive the round
// trip through the page.
std::string ansiText(const HString& name) {
  std::string ansi = wideToMbs(name.wide(), kCodePageAnsi);
  if (mbsToWide(ansi, kCodePageAnsi) == name.wide()) return ansi;
  return writeOldWideToMbs(name.wide());
}

std::string convert(const HString& name, LabelConversion conversion) {
  switch (conversion) {
    case LabelConversion::kAnsi:
      return ansiText(name);
    case LabelConversion::kAscii:
      return name.getAscii();
    case LabelConversion::kUtf8:
      break;
  }
  return strToUtf8(name);
}

// The label of the design `name`: its file name (no drive, no folder, no extension) with
// characters dropped from the end until the converted text is at most kDstLabelBytes long.
// Whole characters are dropped, so one that takes several bytes is never split; an empty
// name gives an empty label. False when memory runs out.
bool makeLabel(const HString& name, LabelConversion conversion, std::string& label) {
  try {
    HString drive;
    HString dir;
    HString fileName;
    HString ext;
    StringUtils::splitPath(name, drive, dir, fileName, ext);
    // Each conversion gives at least one byte per character, so no more than the first
    // kDstLabelBytes characters can ever be kept; the rest is not looked at.
    fileName = fileName.subString(0, kDstLabelBytes);
    label.clear();
    while (!fileName.isEmpty()) {
      std::string text = convert(fileName, conversion);
      if (text.size() <= static_cast<std::size_t>(kDstLabelBytes)) {
        label = std::move(text);
        break;
      }
      fileName = fileName.subString(0, fileName.length() - 1);
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Formats `format` (one of the two header texts) into `out`, at most room - 1 characters and
// a zero. Returns the length of the whole text, as snprintf does.
int formatHeader(char* out, std::size_t room, const char* format, const std::string& label,
                 const StitchStats& stats) {
  const HeaderFields f = fieldsOf(stats);
  return std::snprintf(out, room, format, label.c_str(), f.stitches, f.colourChanges, f.plusX,
                       f.minusX, f.plusY, f.minusY, f.endXSign, f.endX, f.endYSign, f.endY);
}

}  // namespace

int makeDSTHeader(char* header, const HString& name, StitchStats& stats, int ansiLabel) {
  if (header == nullptr) return kDstHeaderNoBuffer;
  std::string label;
  if (!makeLabel(name, ansiLabel != 0 ? LabelConversion::kAnsi : LabelConversion::kUtf8, label)) {
    return kDstHeaderNoBuffer;
  }
  const int written = formatHeader(header, kDstHeaderSize, kDstHeaderFormat, label, stats);
  if (written != kDstHeaderTextLength) return kDstHeaderWrongLength;
  std::memset(header + kDstHeaderTextLength, ' ', kDstHeaderSize - kDstHeaderTextLength);
  return kDstHeaderOk;
}

int makeInternalDSTHeader(char* buffer, int size, const HString& name, const StitchStats& stats,
                          int asciiLabel) {
  if (buffer == nullptr) return kDstHeaderNoBuffer;
  size = std::min(size, kDstHeaderSize);
  std::string label;
  if (!makeLabel(name, asciiLabel != 0 ? LabelConversion::kAscii : LabelConversion::kUtf8, label)) {
    return kDstHeaderNoBuffer;
  }
  // Room for `size` characters and the terminating zero; none for a negative size.
  const std::size_t room = size < 0 ? 0 : static_cast<std::size_t>(size) + 1;
  // The length of the whole text is reported, so a text cut to fit `size` (or shorter than
  // it) gives a count other than `size`.
  const int written = formatHeader(buffer, room, kInternalDstHeaderFormat, label, stats);
  return written == size ? kDstHeaderOk : kDstHeaderWrongLength;
}

}  // namespace stitchkit
