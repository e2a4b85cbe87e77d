#include "stitchkit/machine/cto_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string_view>

#include "stitchkit/machine/condition_text_internal.h"
#include "stitchkit/platform/h_file.h"

namespace stitchkit {

namespace {

using ct0::kLines;
using detail::putNumber;
using detail::putSigned;
using detail::readDecimal;
using detail::readSigned;

constexpr std::string_view kListMarker = "KVB";

// Repeat counts fit the 2-character RP1 and RP2 fields.
constexpr long kRepeatCountLow = -9;
constexpr long kRepeatCountHigh = 99;

// How one member of CT0HTFData is held in its line.
enum class Conversion {
  kDecimal,       // right-aligned number clamped to low..high
  kCount,         // as kDecimal, but above `high` the infinity mark
  kSignedFirst,   // signed number at the start of the data
  kSignedSecond,  // signed number after the first one
  kCharacter,     // one of `characters`, by position; others read as `otherRead`
};

struct HTFField {
  std::int32_t CT0HTFData::*member;
  ct0::LineIndex line;
  Conversion conversion;
  long low;
  long high;
  std::string_view characters;
  int otherRead;   // value of a character not in `characters`
  int otherWrite;  // position in `characters` written for a value outside them
};

constexpr HTFField kHTFFields[] = {
    {&CT0HTFData::dc1, ct0::kDC1, Conversion::kDecimal, 50, 200, {}, 0, 0},
    {&CT0HTFData::dc2, ct0::kDC2, Conversion::kDecimal, 50, 200, {}, 0, 0},
    {&CT0HTFData::dc3, ct0::kDC3, Conversion::kDecimal, 0, 359, {}, 0, 0},
    {&CT0HTFData::dc4, ct0::kDC4, Conversion::kCharacter, 0, 0, "YN", 1, 1},
    {&CT0HTFData::dc5, ct0::kDC5, Conversion::kCharacter, 0, 0, "SR", 0, 0},
    {&CT0HTFData::rp0, ct0::kRP0, Conversion::kCharacter, 0, 0, "NUP", 0, 0},
    {&CT0HTFData::rp1, ct0::kRP1, Conversion::kCount, 1, 99, {}, 0, 0},
    {&CT0HTFData::rp2, ct0::kRP2, Conversion::kCount, 1, 99, {}, 0, 0},
    {&CT0HTFData::rp3, ct0::kRP3, Conversion::kSignedFirst, 0, 0, {}, 0, 0},
    {&CT0HTFData::rp4, ct0::kRP4, Conversion::kSignedFirst, 0, 0, {}, 0, 0},
    {&CT0HTFData::rp5, ct0::kRP5, Conversion::kCharacter, 0, 0, "XY", 0, 0},
    {&CT0HTFData::rp6, ct0::kRP6, Conversion::kCharacter, 0, 0, "SJ", 1, 1},
    {&CT0HTFData::rp7, ct0::kRP7, Conversion::kCharacter, 0, 0, "NXYZ", 0, 0},
    {&CT0HTFData::of1First, ct0::kOF1, Conversion::kSignedFirst, 0, 0, {}, 0, 0},
    {&CT0HTFData::of1Second, ct0::kOF1, Conversion::kSignedSecond, 0, 0, {}, 0, 0},
    {&CT0HTFData::of2First, ct0::kOF2, Conversion::kSignedFirst, 0, 0, {}, 0, 0},
    {&CT0HTFData::of2Second, ct0::kOF2, Conversion::kSignedSecond, 0, 0, {}, 0, 0},
    {&CT0HTFData::of3First, ct0::kOF3, Conversion::kSignedFirst, 0, 0, {}, 0, 0},
    {&CT0HTFData::of3Second, ct0::kOF3, Conversion::kSignedSecond, 0, 0, {}, 0, 0},
};

// Default data of the lines that fillDefault writes (the NS lines keep theirs).
struct DefaultLine {
  ct0::LineIndex line;
  std::string_view data;
};
constexpr DefaultLine kDefaultLines[] = {
    {ct0::kDC1, "100"}, {ct0::kDC2, "100"}, {ct0::kDC3, "  0"}, {ct0::kDC4, "N"}, {ct0::kDC5, "S"},
    {ct0::kRP0, "N"},   {ct0::kRP1, ""},    {ct0::kRP2, ""},    {ct0::kRP3, ""},  {ct0::kRP4, ""},
    {ct0::kRP5, ""},    {ct0::kRP6, ""},    {ct0::kRP7, ""},    {ct0::kST1, ""},  {ct0::kST0, "0"},
    {ct0::kAO1, "0"},   {ct0::kAO2, "0"},   {ct0::kAO3, "0"},   {ct0::kOF1, ""},  {ct0::kOF2, ""},
    {ct0::kOF3, ""},
};

// The header fields fillDefault writes.
struct HeaderField {
  std::size_t offset;
  std::string_view text;
};
constexpr HeaderField kHeaderFields[] = {
    {ct0::kIdentifierOffset, ct0::kIdentifier}, {ct0::kModelOffset, ct0::kModel},
    {ct0::kSerialOffset, ct0::kSerial},         {ct0::kFieldSizeOffset, ct0::kFieldSize},
    {ct0::kVersionOffset, ct0::kVersion},
};

char* dataOf(char* block, const ct0::Line& line) {
  return block + line.offset + ct0::kKeyLength;
}
const char* dataOf(const char* block, const ct0::Line& line) {
  return block + line.offset + ct0::kKeyLength;
}
const ct0::Line& lineAt(ct0::LineIndex index) {
  return kLines[index];
}

// The line's key, `data` left-aligned in its blanked data and its CR.
void writeLine(char* block, const ct0::Line& line, std::string_view data) {
  std::memcpy(block + line.offset, line.key.data(), ct0::kKeyLength);
  detail::putText(dataOf(block, line), line.width, data);
  block[line.offset + ct0::kKeyLength + line.width] = ct0::kLineEnd;
}

// Key and CR of a line, its data untouched.
void stampLine(char* block, const ct0::Line& line) {
  std::memcpy(block + line.offset, line.key.data(), ct0::kKeyLength);
  block[line.offset + ct0::kKeyLength + line.width] = ct0::kLineEnd;
}

char firstCharacter(const char* block, ct0::LineIndex index) {
  return *dataOf(block, lineAt(index));
}

// The text of `length` bytes at `bytes` up to its first zero byte, from the multibyte code
// page, with trailing white space removed.
HString trimmedText(const char* bytes, std::size_t length) {
  const std::size_t end = std::find(bytes, bytes + length, '\0') - bytes;
  HString text = mbsToStr(HMultiByteString(bytes, end));
  text.trimRight();
  return text;
}

void readHTFField(const char* block, const HTFField& field, CT0HTFData& data) {
  const ct0::Line& line = lineAt(field.line);
  const char* text = dataOf(block, line);
  std::int32_t& member = data.*field.member;
  long value = 0;
  switch (field.conversion) {
    case Conversion::kDecimal:
    case Conversion::kCount:
      if (readDecimal(text, line.width, value)) member = static_cast<std::int32_t>(value);
      break;
    case Conversion::kSignedFirst:
      if (readSigned(text, value)) member = static_cast<std::int32_t>(value);
      break;
    case Conversion::kSignedSecond:
      if (readSigned(text + ct0::kSignedWidth, value)) member = static_cast<std::int32_t>(value);
      break;
    case Conversion::kCharacter: {
      const std::size_t at = field.characters.find(text[0]);
      member = at == std::string_view::npos ? field.otherRead : static_cast<std::int32_t>(at);
      break;
    }
  }
}

void writeHTFField(char* block, const HTFField& field, const CT0HTFData& data) {
  const ct0::Line& line = lineAt(field.line);
  char* text = dataOf(block, line);
  const long value = data.*field.member;
  stampLine(block, line);
  switch (field.conversion) {
    case Conversion::kCount:
      if (value > field.high) {
        std::memcpy(text, ct0::kInfinity, sizeof ct0::kInfinity);
        break;
      }
      [[fallthrough]];
    case Conversion::kDecimal:
      putNumber(text, line.width, std::clamp(value, field.low, field.high));
      break;
    case Conversion::kSignedFirst:
      putSigned(text, value);
      break;
    case Conversion::kSignedSecond:
      putSigned(text + ct0::kSignedWidth, value);
      break;
    case Conversion::kCharacter: {
      const bool listed = value >= 0 && value < static_cast<long>(field.characters.size());
      text[0] = field.characters[listed ? static_cast<std::size_t>(value)
                                        : static_cast<std::size_t>(field.otherWrite)];
      break;
    }
  }
}

// A repeat offset as the integer the RP3 and RP4 lines hold.
long offsetValue(double offset) {
  if (std::isnan(offset)) return 0;
  return static_cast<long>(std::clamp(offset, -static_cast<double>(detail::kSignedMagnitudeMax),
                                      static_cast<double>(detail::kSignedMagnitudeMax)));
}

// Copies one needle-bar text area between the block and a record.
void copyText(char* to, const char* from, std::size_t length) {
  std::memcpy(to, from, length);
}

}  // namespace

void CTOFile::empty() {
  std::memset(data, ' ', sizeof data);
}

void CTOFile::fillDefault() {
  for (const HeaderField& field : kHeaderFields)
    std::memcpy(data + field.offset, field.text.data(), field.text.size());
  for (const DefaultLine& line : kDefaultLines)
    writeLine(data, lineAt(line.line), line.data);
  data[ct0::kEndMarkOffset] = ct0::kEndMark;
}

HXArray<HString> CTOFile::serialize() const {
  HXArray<HString> lines;
  lines.add(HString(kListMarker.data()));
  lines.add(trimmedText(data, ct0::kHeaderSize));
  for (const ct0::Line& line : kLines) {
    const HString text = trimmedText(data + line.offset, ct0::kKeyLength + line.width);
    if (!text.isEmpty()) lines.add(text);
  }
  return lines;
}

void CTOFile::deserialize(const HXArray<HString>& lines) {
  if (lines.length() < 2 || lines[0] != HString(kListMarker.data())) return;
  for (std::size_t index = 0; index < ct0::kDeserializedLines; ++index) {
    const ct0::Line& line = kLines[index];
    const HString key(HMultiByteString(line.key).c_str());
    for (int element = 1; element < lines.length(); ++element) {
      if (lines[element].findString(key) < 0) continue;
      const HMultiByteString bytes = strToMbs(lines[element]);
      std::memcpy(data + line.offset, bytes.data(),
                  std::min(bytes.size(), ct0::kKeyLength + line.width));
      data[line.offset + ct0::kKeyLength + line.width] = ct0::kLineEnd;
      break;
    }
  }
}

void CTOFile::setCTOFile(const HXArray<HString>& lines, const HeadGrouping& grouping,
                         const NeedleBarData& needles, const MachineRepeatSettings& repeat) {
  fillDefault();
  deserialize(lines);
  setTimeDate(static_cast<long>(std::time(nullptr)));
  initNS1();
  initNS2();
  initNS3();
  initNS4();
  setHeadType(grouping.type);
  setNS1(needles);
  setNS2(needles);
  setNS3(needles);
  setNS4(grouping);
  setMachineRepeatSettings(repeat);
}

void CTOFile::decodeCTOFile(HXArray<HString>& lines, HeadGrouping& grouping, NeedleBarData& needles,
                            MachineRepeatSettings& repeat) const {
  lines = serialize();
  getHeadType(grouping.type);
  getNS4(grouping);
  getNS1(needles);
  getNS2(needles);
  getNS3(needles);
  getMachineRepeatSettings(repeat);
}

void CTOFile::setTimeDate(long seconds) {
  const auto value = static_cast<std::uint32_t>(seconds);
  for (std::size_t i = 0; i < 4; ++i)
    data[ct0::kTimeOffset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t CTOFile::getTimeDate() const {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[ct0::kTimeOffset + i]))
             << (8 * i);
  return value;
}

void CTOFile::getHeadType(HeadGroupType& type) const {
  getHeadGroupTypeCode(data[ct0::kHeadGroupOffset], type);
}

void CTOFile::setHeadType(const HeadGroupType& type) {
  setHeadGroupTypeCode(type, data[ct0::kHeadGroupOffset]);
}

void CTOFile::initNS1() {
  const ct0::Line& line = lineAt(ct0::kNS1);
  stampLine(data, line);
  std::memset(data + ct0::kNS1TextOffset, ' ', ct0::kNS1TextLength);
}

void CTOFile::initNS2() {
  writeLine(data, lineAt(ct0::kNS2), "");
}

void CTOFile::initNS3() {
  writeLine(data, ct0::kNS3, "");
}

void CTOFile::initNS4() {
  stampLine(data, ct0::kNS4);
  std::memset(dataOf(data, ct0::kNS4), 0, ct0::kNS4.width);
}

void CTOFile::getNS1(NeedleBarData& needles) const {
  copyText(needles.ns1.data()->data(), data + ct0::kNS1TextOffset, ct0::kNS1TextLength);
}

void CTOFile::getNS2(NeedleBarData& needles) const {
  copyText(needles.ns2.data(), dataOf(data, lineAt(ct0::kNS2)), ct0::kNS2TextLength);
}

void CTOFile::getNS3(NeedleBarData& needles) const {
  copyText(needles.ns3.data()->data(), dataOf(data, ct0::kNS3), ct0::kNS3TextLength);
}

void CTOFile::setNS1(const NeedleBarData& needles) {
  if (needles.count > 0)
    copyText(data + ct0::kNS1TextOffset, needles.ns1.data()->data(), ct0::kNS1TextLength);
}

void CTOFile::setNS2(const NeedleBarData& needles) {
  if (needles.count > 0)
    copyText(dataOf(data, lineAt(ct0::kNS2)), needles.ns2.data(), ct0::kNS2TextLength);
}

void CTOFile::setNS3(const NeedleBarData& needles) {
  if (needles.count > 0)
    copyText(dataOf(data, ct0::kNS3), needles.ns3.data()->data(), ct0::kNS3TextLength);
}

void CTOFile::getNS4(HeadGrouping& grouping) const {
  if (grouping.type != kHeadGroupTypeFreePattern) return;
  grouping.headCount = 0;
  const char* masks = dataOf(data, ct0::kNS4);
  for (int head = 0; head < HeadGrouping::kMaxHeads; ++head) {
    HeadPattern& pattern = grouping.patterns[static_cast<std::size_t>(head)];
    bool anySet = false;
    for (std::size_t j = 0; j < ct0::kHeadPatternBytes; ++j) {
      const auto byte = static_cast<unsigned char>(masks[static_cast<std::size_t>(head) * 8 + j]);
      for (std::size_t bit = 0; bit < 8; ++bit) {
        const std::uint8_t element = (byte >> bit) & 1u;
        pattern.elements[j * 8 + bit] = element;
        anySet = anySet || element != 0;
      }
    }
    if (anySet) grouping.headCount = static_cast<std::uint16_t>(head + 1);
  }
}

void CTOFile::setNS4(const HeadGrouping& grouping) {
  if (grouping.type != kHeadGroupTypeFreePattern) return;
  char* masks = dataOf(data, ct0::kNS4);
  const int heads = std::min<int>(grouping.headCount, HeadGrouping::kMaxHeads);
  for (int head = 0; head < heads; ++head) {
    const HeadPattern& pattern = grouping.patterns[static_cast<std::size_t>(head)];
    for (std::size_t j = 0; j < ct0::kHeadPatternBytes; ++j) {
      unsigned byte = 0;
      for (std::size_t bit = 0; bit < 8; ++bit) {
        if (pattern.elements[j * 8 + bit] != 0) byte |= 1u << bit;
      }
      masks[static_cast<std::size_t>(head) * 8 + j] = static_cast<char>(byte);
    }
  }
}

void CTOFile::getMachineRepeatSettings(MachineRepeatSettings& repeat) const {
  repeat.enabled = firstCharacter(data, ct0::kRP0) == 'U' ? 1 : 0;
  if (repeat.enabled == 0) return;
  long value = 0;
  if (readDecimal(dataOf(data, lineAt(ct0::kRP1)), 2, value))
    repeat.firstCount = static_cast<std::int32_t>(value);
  if (readDecimal(dataOf(data, lineAt(ct0::kRP2)), 2, value))
    repeat.secondCount = static_cast<std::int32_t>(value);
  long offset = 0;
  repeat.firstOffset = readSigned(dataOf(data, lineAt(ct0::kRP3)), offset) ? offset : 0;
  offset = 0;
  repeat.secondOffset = readSigned(dataOf(data, lineAt(ct0::kRP4)), offset) ? offset : 0;
  const char direction = firstCharacter(data, ct0::kRP5);
  if (direction == 'X') repeat.direction = 0;
  if (direction == 'Y') repeat.direction = 1;
  const char axes = firstCharacter(data, ct0::kRP7);
  repeat.firstAxisFlag = axes == 'Z' || axes == 'X' ? 1 : 0;
  repeat.secondAxisFlag = axes == 'Z' || axes == 'Y' ? 1 : 0;
}

void CTOFile::setMachineRepeatSettings(const MachineRepeatSettings& repeat) {
  const bool inUse = repeat.enabled != 0 && (repeat.firstCount != 0 || repeat.secondCount != 0);
  writeLine(data, lineAt(ct0::kRP0), inUse ? "U" : "N");
  if (!inUse) return;
  const ct0::Line& rp1 = lineAt(ct0::kRP1);
  const ct0::Line& rp2 = lineAt(ct0::kRP2);
  stampLine(data, rp1);
  putNumber(dataOf(data, rp1), rp1.width,
            std::clamp<long>(repeat.firstCount, kRepeatCountLow, kRepeatCountHigh));
  stampLine(data, rp2);
  putNumber(dataOf(data, rp2), rp2.width,
            std::clamp<long>(repeat.secondCount, kRepeatCountLow, kRepeatCountHigh));
  stampLine(data, lineAt(ct0::kRP3));
  putSigned(dataOf(data, lineAt(ct0::kRP3)), offsetValue(repeat.firstOffset));
  stampLine(data, lineAt(ct0::kRP4));
  putSigned(dataOf(data, lineAt(ct0::kRP4)), offsetValue(repeat.secondOffset));
  if (repeat.direction == 0 || repeat.direction == 1)
    writeLine(data, lineAt(ct0::kRP5), repeat.direction == 0 ? "X" : "Y");
  writeLine(data, lineAt(ct0::kRP6), "J");
  const bool first = repeat.firstAxisFlag != 0;
  const bool second = repeat.secondAxisFlag != 0;
  writeLine(data, lineAt(ct0::kRP7), first && second ? "Z" : first ? "X" : second ? "Y" : "N");
}

void CTOFile::getHTFData(CT0HTFData& htf) const {
  for (const HTFField& field : kHTFFields)
    readHTFField(data, field, htf);
}

void CTOFile::setHTFData(const CT0HTFData& htf) {
  for (const HTFField& field : kHTFFields) {
    const ct0::Line& line = lineAt(field.line);
    if (field.conversion != Conversion::kSignedSecond)
      detail::putText(dataOf(data, line), line.width, "");
    writeHTFField(data, field, htf);
  }
}

void CTOFile::getProperties(CT0Properties& properties) const {
  properties.enabled = firstCharacter(data, ct0::kST0) == '1' ? 1 : 0;
  if (properties.enabled == 0) return;
  const char* values = dataOf(data, lineAt(ct0::kST1));
  long value = 0;
  if (readSigned(values, value)) properties.first = static_cast<std::int32_t>(value);
  if (readSigned(values + ct0::kSignedWidth, value))
    properties.second = static_cast<std::int32_t>(value);
}

void CTOFile::setProperties(const CT0Properties& properties) {
  writeLine(data, lineAt(ct0::kST0), properties.enabled != 0 ? "1" : "0");
  const ct0::Line& st1 = lineAt(ct0::kST1);
  writeLine(data, st1, "");
  if (properties.enabled == 0) return;
  putSigned(dataOf(data, st1), properties.first);
  putSigned(dataOf(data, st1) + ct0::kSignedWidth, properties.second);
}

namespace {

bool isSignedField(const char* field) {
  long value = 0;
  return detail::isBlank(field, ct0::kSignedWidth) ||
         ((field[0] == '+' || field[0] == '-') && readSigned(field, value));
}

// What is wrong with one line of a block, or nothing.
const char* lineFault(const char* block, const ct0::Line& line, std::size_t& offset) {
  offset = line.offset;
  if (std::memcmp(block + line.offset, line.key.data(), ct0::kKeyLength) != 0) return nullptr;
  offset = line.offset + ct0::kKeyLength + line.width;
  if (block[offset] != ct0::kLineEnd) return "a CR ending the line";
  const char* field = dataOf(block, line);
  offset = line.offset + ct0::kKeyLength;
  long value = 0;
  switch (line.kind) {
    case ct0::FieldKind::kText:
      return "";
    case ct0::FieldKind::kNumber:
      return detail::isBlank(field, line.width) || readDecimal(field, line.width, value)
                 ? ""
                 : "a decimal number";
    case ct0::FieldKind::kCount:
      return detail::isBlank(field, line.width) || readDecimal(field, line.width, value) ||
                     std::memcmp(field, ct0::kInfinity, sizeof ct0::kInfinity) == 0
                 ? ""
                 : "a decimal number or the infinity mark";
    case ct0::FieldKind::kSigned:
      return isSignedField(field) ? "" : "a sign and a 5-digit number";
    case ct0::FieldKind::kSignedPair:
      if (!isSignedField(field)) return "a sign and a 5-digit number";
      offset += ct0::kSignedWidth;
      return isSignedField(field + ct0::kSignedWidth) ? "" : "a sign and a 5-digit number";
  }
  return "";
}

}  // namespace

int checkCTOBlock(const unsigned char* bytes, std::size_t size, ConditionBlockFault& fault) {
  if (bytes == nullptr || size < ct0::kBlockSize) {
    fault = {bytes == nullptr ? 0 : size, "a CT0 block of 1936 bytes"};
    return kConditionMalformed;
  }
  const char* block = reinterpret_cast<const char*>(bytes);
  auto check = [&](const ct0::Line& line) {
    std::size_t offset = 0;
    const char* problem = lineFault(block, line, offset);
    if (problem == nullptr) {
      fault = {offset, "the key \"" + std::string(line.key) + "\""};
      return false;
    }
    if (*problem != '\0') {
      fault = {offset, problem};
      return false;
    }
    return true;
  };
  for (const ct0::Line& line : kLines) {
    if (!check(line)) return kConditionMalformed;
  }
  if (!check(ct0::kNS3) || !check(ct0::kNS4)) return kConditionMalformed;
  return kConditionOk;
}

namespace {

// Reads at most one block from `path` into `block`; the count read, or -1 when the file does
// not open.
int readBlockBytes(const HString& path, CTOFile& block) {
  HFile file;
  if (!file.open(path, kGenericRead, kOpenExisting, kShareRead)) return -1;
  block.empty();
  int total = 0;
  while (total < static_cast<int>(ct0::kBlockSize)) {
    const int read = file.read(block.data + total, static_cast<int>(ct0::kBlockSize) - total);
    if (read <= 0) break;
    total += read;
  }
  return total;
}

}  // namespace

int loadCTOFile(const HString& path, CTOFile& block, ConditionBlockFault& fault) {
  const int size = readBlockBytes(path, block);
  if (size < 0) return kConditionNotOpened;
  return checkCTOBlock(reinterpret_cast<const unsigned char*>(block.data),
                       static_cast<std::size_t>(size), fault);
}

int readCTOFile(const HString& path, HXArray<HString>& lines, HeadGrouping& grouping,
                NeedleBarData& needles, MachineRepeatSettings& repeat) {
  CTOFile block;
  if (readBlockBytes(path, block) < 0) return kConditionNotOpened;
  block.decodeCTOFile(lines, grouping, needles, repeat);
  return kConditionOk;
}

}  // namespace stitchkit
