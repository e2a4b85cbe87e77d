#include "stitchkit/machine/ct1_block.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "stitchkit/machine/condition_text_internal.h"
#include "stitchkit/platform/h_file.h"

namespace stitchkit {

namespace {

using detail::putNumber;
using detail::putText;
using detail::readDecimal;

// Largest CT1 file load() takes: 999 blocks of every per-block section and the rest fit.
constexpr std::size_t kMaxFileSize = 1 << 20;

// The value rule of the block: clamp to low..high, then round half away from zero to a
// multiple of `step` and clamp again.
int ruledValue(int value, int low, int high, int step) {
  value = std::clamp(value, low, high);
  if (step > 1) {
    const int sign = value < 0 ? -1 : 1;
    value = sign * ((sign * value + step / 2) / step) * step;
  }
  return std::clamp(value, low, high);
}

int blockSpeed(int speed) {
  if (speed == ct1::kNoSpeed) return speed;
  return ruledValue(speed, ct1::kLowestSpeed, ct1::kHighestSpeed, ct1::kSpeedStep);
}

// Fixed-stroke and start-timing limits of a presser-foot record.
constexpr int kStrokeLow = 20;
constexpr int kStrokeHigh = 250;
constexpr int kFootStep = 5;
constexpr int kStartTimingHigh = 60;
constexpr int kStartTimingOff = 99;

const ThreadProperty* threadOf(const ThreadPalette& palette, unsigned colour) {
  return colour < static_cast<unsigned>(palette.length()) ? &palette[static_cast<int>(colour)]
                                                          : nullptr;
}

// What one colour block contributes, from the stitch that opens it.
struct BlockSource {
  HString comment;
  CT1PresserFootRecord presserFoot;
  int speed;
};

BlockSource sourceOf(const HStitch& opening, const ThreadPalette& palette) {
  const ThreadProperty* thread = threadOf(palette, opening.getColor());
  const bool normalThread = thread != nullptr && thread->type == ThreadType::kNormal;
  BlockSource source;
  source.comment = opening.getComment();
  if (source.comment.isEmpty() && thread != nullptr) source.comment = thread->comment;
  if (opening.hasPresserFootSettings()) {
    source.presserFoot = makeCT1PresserFootRecord(opening.getPresserFootSettings());
  } else if (normalThread && thread->presserFoot.valid) {
    source.presserFoot = makeCT1PresserFootRecord(thread->presserFoot);
  } else {
    source.presserFoot = makeCT1PresserFootRecord(PresserFootSettings{});
  }
  source.speed = ct1::kNoSpeed;
  if (opening.hasIndividualSpeed()) {
    source.speed = blockSpeed(opening.getIndividualSpeed());
  } else if (normalThread && thread->hasIndividualSpeed()) {
    source.speed = blockSpeed(thread->individualSpeed);
  }
  return source;
}

// The comment of a design: the design-begin stitch's own, else the first colour's thread's.
HString designComment(const HStitch& first, const ThreadPalette& palette) {
  if (first.isBegin() && !first.getComment().isEmpty()) return first.getComment();
  const ThreadProperty* thread = threadOf(palette, first.getColor());
  return thread != nullptr ? thread->comment : HString();
}

bool isDefaultRecord(const CT1Record& record) {
  return record[ct1::kRecordFlag] != '1' &&
         std::memcmp(record.data(), ct1::kDefaultRecordStart.data(), 4) == 0;
}

CT1Record defaultRecord() {
  CT1Record record;
  record.fill(' ');
  std::memcpy(record.data(), ct1::kDefaultRecordStart.data(), ct1::kDefaultRecordStart.size());
  return record;
}

// Texts as 256 UTF-16 little-endian characters, blank-filled; characters beyond the basic
// plane become '?'.
void appendText(std::vector<unsigned char>& out, const HString& text) {
  for (std::size_t i = 0; i < ct1::kTextCharacters; ++i) {
    unsigned value = ' ';
    if (i < static_cast<std::size_t>(text.length())) {
      value = static_cast<unsigned>(text[static_cast<int>(i)]);
      if (value > 0xFFFF) value = '?';
    }
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>(value >> 8));
  }
}

HString readText(const unsigned char* bytes) {
  HWideString text;
  for (std::size_t i = 0; i < ct1::kTextCharacters; ++i)
    text += static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  while (!text.empty() && text.back() == L' ')
    text.pop_back();
  return HString(std::move(text));
}

std::size_t sectionSize(const CT1Block& block, ct1::SectionIndex section) {
  const auto count = [](auto& list) { return static_cast<std::size_t>(list.length()); };
  const std::size_t frame = ct1::kKeyLength + 1;  // key and CR
  switch (section) {
    case ct1::kRM2:
      return ct1::kSpeedRecordSize * count(block.speeds) + frame;
    case ct1::kPF2:
      return ct1::kPresserFootRecordSize * count(block.presserFoot) + frame;
    case ct1::kCO2:
      return ct1::kTextBytes * count(block.comments) + frame;
    case ct1::kCO4:
    case ct1::kCO6:
      return ct1::kTextBytes + frame;
    case ct1::kAB2:
      return ct1::kRecordSize * count(block.records) + frame;
    case ct1::kTD3:
      return static_cast<std::size_t>(block.threadTextLength) + ct1::kKeyLength;
    case ct1::kNS8:
      return static_cast<std::size_t>(block.ns1MoreLength) + frame;
    case ct1::kNSA:
      return static_cast<std::size_t>(block.ns2MoreLength) + frame;
    case ct1::kNSC:
      return static_cast<std::size_t>(block.ns3MoreLength) + frame;
  }
  return 0;
}

bool isPresent(const CT1Block& block, ct1::SectionIndex section) {
  switch (section) {
    case ct1::kRM2:
      return !block.speeds.isEmpty();
    case ct1::kPF2:
      return !block.presserFoot.isEmpty();
    case ct1::kCO2:
      return !block.comments.isEmpty();
    case ct1::kCO4:
      return block.text1Present != 0;
    case ct1::kCO6:
      return block.text2Present != 0;
    case ct1::kAB2:
      return !block.records.isEmpty();
    case ct1::kTD3:
      return !block.threads.isEmpty() && block.threadTextLength > 0;
    case ct1::kNS8:
      return block.needleCount > ct1::kBlocksInCT0 && block.ns1MoreLength > 0;
    case ct1::kNSA:
      return block.needleCount > ct1::kBlocksInCT0 && block.ns2MoreLength > 0;
    case ct1::kNSC:
      return block.needleCount > ct1::kBlocksInCT0 && block.ns3MoreLength > 0;
  }
  return false;
}

void appendBytes(std::vector<unsigned char>& out, const char* bytes, std::size_t size) {
  out.insert(out.end(), bytes, bytes + size);
}

void appendSectionData(std::vector<unsigned char>& out, const CT1Block& block,
                       ct1::SectionIndex section) {
  switch (section) {
    case ct1::kRM2:
      for (const std::int32_t speed : block.speeds) {
        char field[ct1::kSpeedRecordSize];
        putNumber(field, sizeof field, speed);
        appendBytes(out, field, sizeof field);
      }
      break;
    case ct1::kPF2:
      for (const CT1PresserFootRecord& record : block.presserFoot)
        appendBytes(out, record.data(), record.size());
      break;
    case ct1::kCO2:
      for (const HString& comment : block.comments)
        appendText(out, comment);
      break;
    case ct1::kCO4:
      appendText(out, block.text1);
      break;
    case ct1::kCO6:
      appendText(out, block.text2);
      break;
    case ct1::kAB2:
      for (const CT1Record& record : block.records)
        appendBytes(out, record.data(), record.size());
      break;
    case ct1::kTD3:
      for (int i = 0; i < block.threads.length(); ++i) {
        const CT1ThreadEntry& entry = block.threads[i];
        const std::string text = entry.manufacturer + ',' + entry.name + ',' + entry.code +
                                 (i + 1 < block.threads.length() ? ',' : ct1::kLineEnd);
        appendBytes(out, text.data(), text.size());
      }
      return;  // the last entry's CR ends the section
    case ct1::kNS8:
      appendBytes(out, block.ns1More.data(), static_cast<std::size_t>(block.ns1MoreLength));
      break;
    case ct1::kNSA:
      appendBytes(out, block.ns2More.data(), static_cast<std::size_t>(block.ns2MoreLength));
      break;
    case ct1::kNSC:
      appendBytes(out, block.ns3More.data(), static_cast<std::size_t>(block.ns3MoreLength));
      break;
  }
  out.push_back(static_cast<unsigned char>(ct1::kLineEnd));
}

void writeHeaderLine(std::array<char, ct1::kHeaderSize>& header, const ct1::Line& line) {
  std::memcpy(header.data() + line.offset, line.key.data(), ct1::kKeyLength);
  header[line.lineEnd] = ct1::kLineEnd;
}

void writeDirectoryLine(std::array<char, ct1::kHeaderSize>& header, const ct1::Section& section,
                        bool present, std::size_t offset) {
  char* line = header.data() + section.offset;
  std::memcpy(line, section.directoryKey.data(), ct1::kKeyLength);
  line[ct1::kFlagPosition] = present ? '1' : '0';
  if (present) {
    char text[16];
    std::snprintf(text, sizeof text, "%07zx", offset);
    std::memcpy(line + ct1::kOffsetPosition, text, ct1::kOffsetWidth);
  }
  line[ct1::kDirectoryLineEnd] = ct1::kLineEnd;
}

constexpr ct1::Line kHeaderLines[] = {ct1::kFR1, ct1::kNS5, ct1::kTH1, ct1::kTH2,
                                      ct1::kRM3, ct1::kTD2, ct1::kNS6};

// The header of a block without sections: keys, CRs, every flag '0', RM3 "9999".
std::array<char, ct1::kHeaderSize> defaultHeader() {
  std::array<char, ct1::kHeaderSize> header;
  header.fill(' ');
  for (const ct1::Line& line : kHeaderLines)
    writeHeaderLine(header, line);
  header[ct1::kTH1.offset + ct1::kKeyLength] = '0';
  header[ct1::kNS6.offset + ct1::kFlagPosition] = '0';
  putNumber(header.data() + ct1::kRM3.offset + ct1::kKeyLength, ct1::kSpeedWidth, ct1::kNoSpeed);
  for (const ct1::Section& section : ct1::kSections)
    writeDirectoryLine(header, section, false, 0);
  return header;
}

// Keeps the first 72 thread entries whose text (each entry's three texts and three
// separators) stays within 9999 bytes, and sets `length` to that text's length.
void limitThreads(HXArray<CT1ThreadEntry>& threads, std::int32_t& length) {
  length = 0;
  int kept = 0;
  for (const CT1ThreadEntry& entry : threads) {
    const auto size = entry.manufacturer.size() + entry.name.size() + entry.code.size() + 3;
    if (kept == static_cast<int>(ct1::kMaxThreads) ||
        static_cast<std::size_t>(length) + size > static_cast<std::size_t>(ct1::kMaxThreadText))
      break;
    length += static_cast<std::int32_t>(size);
    ++kept;
  }
  threads.setSize(kept);
}

}  // namespace

CT1PresserFootRecord makeCT1PresserFootRecord(const PresserFootSettings& settings) {
  CT1PresserFootRecord record;
  record.fill(' ');
  record[ct1::kFootValid] = settings.valid ? '1' : '0';
  if (!settings.valid) return record;
  putNumber(&record[ct1::kFootLowerDeadPoint], 2, std::clamp<int>(settings.lowerDeadPoint, 3, 63));
  record[ct1::kFootFixedStroke] = settings.fixedStroke ? '1' : '0';
  if (settings.fixedStroke) {
    putNumber(&record[ct1::kFootStroke], 3,
              ruledValue(settings.stroke, kStrokeLow, kStrokeHigh, kFootStep));
  }
  const int timing = settings.startTiming == kStartTimingOff
                         ? kStartTimingOff
                         : ruledValue(settings.startTiming, 0, kStartTimingHigh, kFootStep);
  putNumber(&record[ct1::kFootStartTiming], 2, timing);
  putNumber(&record[ct1::kFootSecondLowerDeadPoint], 2,
            std::clamp<int>(settings.secondFootLowerDeadPoint, 5, 25));
  return record;
}

void CT1Block::init() {
  header = defaultHeader();
  blockCount = 0;
  speeds.clear();
  presserFoot.clear();
  comments.clear();
  machineSpeed = ct1::kNoSpeed;
  text1Present = 0;
  text2Present = 0;
  text1 = HString();
  text2 = HString();
  records.clear();
  threads.clear();
  threadTextLength = 0;
  needleCount = 0;
  ns1More.fill(' ');
  ns1MoreLength = 0;
  ns2More.fill(' ');
  ns2MoreLength = 0;
  ns3More.fill(' ');
  ns3MoreLength = 0;
}

void CT1Block::build(const StitchWrapper& stitches, const ThreadPalette& palette,
                     const StitchOptions& options, const CT1Properties& properties,
                     const NeedleBarData& needles) {
  init();
  buildFromStitches(stitches, palette, options, properties);
  setProperties(properties);
  setThreads(palette);
  setNeedleBarOverflow(needles);
  layOutHeader();
}

void CT1Block::buildFromStitches(const StitchWrapper& stitches, const ThreadPalette& palette,
                                 const StitchOptions& options, const CT1Properties& properties) {
  HXArray<BlockSource> sources;
  const NeedleBlockWalk walk =
      walkNeedleBlocks(stitches, options, nullptr, [&](int entry, int, const HStitch& opening) {
        sources.set(entry, sourceOf(opening, palette));
      });
  blockCount = walk.count;
  sources.setSize(walk.count);
  if (!sources.isEmpty()) sources[0].comment = designComment(stitches[0], palette);
  comments.clear();
  presserFoot.clear();
  speeds.clear();
  for (const BlockSource& source : sources) {
    comments.add(source.comment);
    presserFoot.add(source.presserFoot);
    speeds.add(source.speed);
  }
  records.clear();
  for (const CT1Record& record : properties.records) {
    if (records.length() == static_cast<int>(ct1::kRecordCount)) break;
    records.add(record);
  }
  while (records.length() < static_cast<int>(ct1::kRecordCount))
    records.add(defaultRecord());

  if (std::all_of(comments.begin(), comments.end(), [](const HString& c) { return c.isEmpty(); }))
    comments.clear();
  if (std::none_of(presserFoot.begin(), presserFoot.end(),
                   [](const CT1PresserFootRecord& r) { return r[ct1::kFootValid] == '1'; }))
    presserFoot.clear();
  if (std::all_of(speeds.begin(), speeds.end(), [](int s) { return s == ct1::kNoSpeed; }))
    speeds.clear();
  if (std::all_of(records.begin(), records.end(), isDefaultRecord)) records.clear();
}

void CT1Block::setProperties(const CT1Properties& properties) {
  machineSpeed = ct1::kNoSpeed;
  if (properties.speedEnabled != 0 && properties.machineSpeed != ct1::kNoSpeed) {
    const int speed =
        std::clamp<int>(properties.machineSpeed, ct1::kLowestSpeed, ct1::kHighestSpeed);
    machineSpeed = (speed + ct1::kSpeedStep / 2) / ct1::kSpeedStep * ct1::kSpeedStep;
  }
  text1 = properties.text1;
  text2 = properties.text2;
  text1Present = properties.text1Enabled != 0 && !text1.isEmpty() ? 1 : 0;
  text2Present = properties.text2Enabled != 0 && !text2.isEmpty() ? 1 : 0;
}

void CT1Block::setThreads(const ThreadPalette& palette) {
  threads.clear();
  for (int i = 0; i < palette.length() && i < static_cast<int>(ct1::kMaxThreads); ++i) {
    threads.add(CT1ThreadEntry{strToMbs(palette[i].manufacturer), strToMbs(palette[i].name),
                               strToMbs(palette[i].code)});
  }
  limitThreads(threads, threadTextLength);
}

void CT1Block::setNeedleBarOverflow(const NeedleBarData& needles) {
  needleCount = std::clamp<int>(needles.count, 0, ct1::kMaxNeedleBlocks);
  ns1MoreLength = ns2MoreLength = ns3MoreLength = 0;
  if (needleCount <= ct1::kBlocksInCT0) return;
  const int more = needleCount - ct1::kBlocksInCT0;
  const auto from = static_cast<std::size_t>(ct1::kBlocksInCT0);
  ns1MoreLength = 2 * more;
  std::memcpy(ns1More.data(), needles.ns1[from].data(), static_cast<std::size_t>(ns1MoreLength));
  ns2MoreLength = more;
  std::memcpy(ns2More.data(), &needles.ns2[from], static_cast<std::size_t>(ns2MoreLength));
  ns3MoreLength = 2 * more;
  std::memcpy(ns3More.data(), needles.ns3[from].data(), static_cast<std::size_t>(ns3MoreLength));
}

void CT1Block::layOutHeader() {
  limitThreads(threads, threadTextLength);
  header = defaultHeader();
  needleCount = std::min(needleCount, ct1::kMaxNeedleBlocks);
  if (blockCount > 0) {
    putNumber(header.data() + ct1::kNS5.offset + ct1::kKeyLength, ct1::kBlockCountWidth,
              std::min(blockCount, ct1::kBlocksInCT0));
  }
  std::size_t offset = ct1::kHeaderSize;
  for (std::size_t i = 0; i < ct1::kSections.size(); ++i) {
    const auto section = static_cast<ct1::SectionIndex>(i);
    if (!isPresent(*this, section)) continue;
    writeDirectoryLine(header, ct1::kSections[i], true, offset);
    offset += sectionSize(*this, section);
  }
  if (!threads.isEmpty()) {
    char* td2 = header.data() + ct1::kTD2.offset + ct1::kKeyLength;
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d", std::clamp(threadTextLength, 0, 9999),
                  std::min(threads.length(), static_cast<int>(ct1::kMaxThreads)));
    std::memcpy(td2, text, ct1::kThreadTextWidth + ct1::kThreadCountWidth);
  }
  if (machineSpeed >= ct1::kLowestSpeed && machineSpeed <= ct1::kHighestSpeed) {
    putNumber(header.data() + ct1::kRM3.offset + ct1::kKeyLength, ct1::kSpeedWidth, machineSpeed);
  }
  if (needleCount > ct1::kBlocksInCT0) {
    char* ns6 = header.data() + ct1::kNS6.offset;
    ns6[ct1::kFlagPosition] = '1';
    putNumber(ns6 + ct1::kFlagPosition + 1, ct1::kNeedleCountWidth, needleCount);
  }
}

std::vector<unsigned char> CT1Block::bytes() const {
  std::vector<unsigned char> out(header.begin(), header.end());
  for (std::size_t i = 0; i < ct1::kSections.size(); ++i) {
    const auto section = static_cast<ct1::SectionIndex>(i);
    if (header[ct1::kSections[i].offset + ct1::kFlagPosition] != '1') continue;
    appendBytes(out, ct1::kSections[i].key.data(), ct1::kKeyLength);
    appendSectionData(out, *this, section);
  }
  out.push_back(static_cast<unsigned char>(ct1::kEndMark));
  return out;
}

int CT1Block::append(OutputBytestream& out) const {
  const std::vector<unsigned char> block = bytes();
  return out.outputBytes(block.data(), block.size());
}

void CT1Block::getProperties(CT1Properties& properties) const {
  properties.speedEnabled = machineSpeed != ct1::kNoSpeed ? 1 : 0;
  properties.machineSpeed = machineSpeed;
  properties.text1Enabled = text1Present;
  properties.text1 = text1;
  properties.text2Enabled = text2Present;
  properties.text2 = text2;
  if (!comments.isEmpty()) properties.comments = comments;
  if (!records.isEmpty()) properties.records = records;
  if (!threads.isEmpty()) properties.threads = threads;
  if (!speeds.isEmpty()) properties.speeds = speeds;
  if (!presserFoot.isEmpty()) properties.presserFoot = presserFoot;
}

void CT1Block::getNeedleBarData(NeedleBarData& needles) const {
  needles.count = std::clamp<int>(blockCount, 0, ct1::kMaxNeedleBlocks);
  if (needleCount <= ct1::kBlocksInCT0) return;
  needles.count = std::min(needleCount, ct1::kMaxNeedleBlocks);
  const auto from = static_cast<std::size_t>(ct1::kBlocksInCT0);
  std::memcpy(needles.ns1[from].data(), ns1More.data(),
              static_cast<std::size_t>(
                  std::clamp(ns1MoreLength, 0, 2 * (ct1::kMaxNeedleBlocks - ct1::kBlocksInCT0))));
  std::memcpy(&needles.ns2[from], ns2More.data(),
              static_cast<std::size_t>(
                  std::clamp(ns2MoreLength, 0, ct1::kMaxNeedleBlocks - ct1::kBlocksInCT0)));
  std::memcpy(needles.ns3[from].data(), ns3More.data(),
              static_cast<std::size_t>(
                  std::clamp(ns3MoreLength, 0, 2 * (ct1::kMaxNeedleBlocks - ct1::kBlocksInCT0))));
}

namespace {

// Reads the parts of a block from outside, checking each before it is used.
class BlockReader {
 public:
  BlockReader(const unsigned char* data, std::size_t size, ConditionBlockFault& fault)
      : data_(data), size_(size), fault_(fault) {}

  const char* at(std::size_t offset) const { return reinterpret_cast<const char*>(data_) + offset; }
  std::size_t size() const { return size_; }

  bool fail(std::size_t offset, std::string expected) {
    fault_ = {offset, std::move(expected)};
    return false;
  }
  bool room(std::size_t offset, std::size_t length, const std::string& what) {
    return offset <= size_ && length <= size_ - offset ? true : fail(offset, what);
  }
  bool key(std::size_t offset, std::string_view key) {
    if (offset <= size_ && ct1::kKeyLength <= size_ - offset &&
        std::memcmp(at(offset), key.data(), ct1::kKeyLength) == 0) {
      return true;
    }
    return fail(offset, "the key \"" + std::string(key) + "\"");
  }
  // A decimal number; blanks give `blankValue`.
  bool number(std::size_t offset, std::size_t width, long blankValue, long& value) {
    if (!room(offset, width, "a number of " + std::to_string(width) + " characters")) return false;
    if (detail::isBlank(at(offset), width)) {
      value = blankValue;
      return true;
    }
    if (readDecimal(at(offset), width, value) && value >= 0) return true;
    return fail(offset, "a decimal number");
  }
  bool flag(std::size_t offset, bool& present) {
    const char c = *at(offset);
    present = c == '1';
    return c == '0' || c == '1' || c == ' ' ? true : fail(offset, "the flag '0' or '1'");
  }
  bool hexOffset(std::size_t offset, std::size_t& value) {
    value = 0;
    for (std::size_t i = 0; i < ct1::kOffsetWidth; ++i) {
      const char c = *at(offset + i);
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0) return fail(offset, "7 hexadecimal digits");
      value = value * 16 + static_cast<std::size_t>(digit);
    }
    return true;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
  ConditionBlockFault& fault_;
};

// Splits the thread text into at most `count` entries of three texts.
HXArray<CT1ThreadEntry> threadEntries(const char* text, std::size_t length, int count) {
  if (length > 0 && text[length - 1] == ct1::kLineEnd) --length;
  HXArray<HMultiByteString> fields;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= length; ++i) {
    if (i == length || text[i] == ',') {
      fields.add(HMultiByteString(text + start, i - start));
      start = i + 1;
    }
  }
  HXArray<CT1ThreadEntry> entries;
  for (int i = 0; i + 2 < fields.length() && entries.length() < count; i += 3)
    entries.add(CT1ThreadEntry{fields[i], fields[i + 1], fields[i + 2]});
  return entries;
}

}  // namespace

int CT1Block::read(const unsigned char* data, std::size_t size, ConditionBlockFault& fault) {
  init();
  BlockReader in(data, data == nullptr ? 0 : size, fault);
  if (in.size() < ct1::kHeaderSize) {
    in.fail(in.size(), "a CT1 header of 256 bytes");
    return kConditionMalformed;
  }
  std::memcpy(header.data(), in.at(0), ct1::kHeaderSize);
  for (const ct1::Line& line : kHeaderLines) {
    if (!in.key(line.offset, line.key)) return kConditionMalformed;
  }
  for (const ct1::Section& section : ct1::kSections) {
    if (!in.key(section.offset, section.directoryKey)) return kConditionMalformed;
  }
  long value = 0;
  if (!in.number(ct1::kNS5.offset + ct1::kKeyLength, ct1::kBlockCountWidth, 0, value))
    return kConditionMalformed;
  blockCount = static_cast<std::int32_t>(std::min<long>(value, ct1::kBlocksInCT0));
  if (!in.number(ct1::kRM3.offset + ct1::kKeyLength, ct1::kSpeedWidth, ct1::kNoSpeed, value))
    return kConditionMalformed;
  // The block carries machine speeds of 250 to 1500 only; anything else is no speed.
  machineSpeed = value >= ct1::kLowestSpeed && value <= ct1::kHighestSpeed
                     ? static_cast<std::int32_t>(value)
                     : ct1::kNoSpeed;
  bool hasOverflow = false;
  if (!in.flag(ct1::kNS6.offset + ct1::kFlagPosition, hasOverflow)) return kConditionMalformed;
  if (hasOverflow) {
    if (!in.number(ct1::kNS6.offset + ct1::kFlagPosition + 1, ct1::kNeedleCountWidth, 0, value))
      return kConditionMalformed;
    needleCount = static_cast<std::int32_t>(std::min<long>(value, ct1::kMaxNeedleBlocks));
  }
  // The per-block lists hold every block, also those beyond the 256 that NS5 can count.
  const std::size_t blocks = static_cast<std::size_t>(
      blockCount == ct1::kBlocksInCT0 && needleCount > blockCount ? needleCount : blockCount);
  const int overflow = needleCount > ct1::kBlocksInCT0 ? needleCount - ct1::kBlocksInCT0 : 0;

  for (std::size_t i = 0; i < ct1::kSections.size(); ++i) {
    const ct1::Section& section = ct1::kSections[i];
    bool present = false;
    std::size_t offset = 0;
    if (!in.flag(section.offset + ct1::kFlagPosition, present)) return kConditionMalformed;
    if (!present) continue;
    if (!in.hexOffset(section.offset + ct1::kOffsetPosition, offset)) return kConditionMalformed;
    if (offset < ct1::kHeaderSize || offset >= in.size()) {
      in.fail(section.offset + ct1::kOffsetPosition, "a section offset inside the block");
      return kConditionMalformed;
    }
    if (!in.key(offset, section.key)) return kConditionMalformed;
    const std::size_t p = offset + ct1::kKeyLength;
    const std::string count = std::to_string(blocks);
    switch (static_cast<ct1::SectionIndex>(i)) {
      case ct1::kRM2:
        for (std::size_t q = p;
             q < in.size() && *in.at(q) != ct1::kLineEnd && speeds.length() < ct1::kMaxNeedleBlocks;
             q += ct1::kSpeedRecordSize) {
          if (!in.number(q, ct1::kSpeedRecordSize, ct1::kNoSpeed, value))
            return kConditionMalformed;
          speeds.add(static_cast<std::int32_t>(value));
        }
        break;
      case ct1::kPF2:
        if (!in.room(p, blocks * ct1::kPresserFootRecordSize,
                     count + " presser-foot records of 16 bytes"))
          return kConditionMalformed;
        for (std::size_t b = 0; b < blocks; ++b) {
          CT1PresserFootRecord record;
          std::memcpy(record.data(), in.at(p + b * record.size()), record.size());
          presserFoot.add(record);
        }
        break;
      case ct1::kCO2:
        if (!in.room(p, blocks * ct1::kTextBytes, count + " comments of 512 bytes"))
          return kConditionMalformed;
        for (std::size_t b = 0; b < blocks; ++b)
          comments.add(readText(data + p + b * ct1::kTextBytes));
        break;
      case ct1::kCO4:
      case ct1::kCO6:
        if (!in.room(p, ct1::kTextBytes, "a text of 512 bytes")) return kConditionMalformed;
        (i == ct1::kCO4 ? text1Present : text2Present) = 1;
        (i == ct1::kCO4 ? text1 : text2) = readText(data + p);
        break;
      case ct1::kAB2:
        if (!in.room(p, ct1::kRecordCount * ct1::kRecordSize, "16 records of 32 bytes"))
          return kConditionMalformed;
        for (std::size_t r = 0; r < ct1::kRecordCount; ++r) {
          CT1Record record;
          std::memcpy(record.data(), in.at(p + r * record.size()), record.size());
          records.add(record);
        }
        break;
      case ct1::kTD3: {
        long length = 0;
        long entries = 0;
        if (!in.number(ct1::kTD2.offset + ct1::kKeyLength, ct1::kThreadTextWidth, 0, length) ||
            !in.number(ct1::kThreadCountOffset, ct1::kThreadCountWidth, 0, entries) ||
            !in.room(p, static_cast<std::size_t>(length), "a thread text of the TD2 length"))
          return kConditionMalformed;
        threadTextLength = static_cast<std::int32_t>(length);
        threads = threadEntries(in.at(p), static_cast<std::size_t>(length),
                                std::min<int>(static_cast<int>(entries), ct1::kMaxThreads));
        break;
      }
      case ct1::kNS8:
      case ct1::kNSA:
      case ct1::kNSC: {
        if (overflow == 0) break;
        const bool single = i == ct1::kNSA;
        const auto length = static_cast<std::size_t>(single ? overflow : 2 * overflow);
        if (!in.room(p, length, std::to_string(length) + " needle-bar codes"))
          return kConditionMalformed;
        char* area = i == ct1::kNS8 ? ns1More.data() : single ? ns2More.data() : ns3More.data();
        std::memcpy(area, in.at(p), length);
        (i == ct1::kNS8 ? ns1MoreLength
         : single       ? ns2MoreLength
                        : ns3MoreLength) = static_cast<std::int32_t>(length);
        break;
      }
    }
  }
  return kConditionOk;
}

int CT1Block::load(const HString& path, ConditionBlockFault& fault) {
  HFile file;
  if (!file.open(path, kGenericRead, kOpenExisting, kShareRead)) return kConditionNotOpened;
  std::vector<unsigned char> bytes(kMaxFileSize);
  std::size_t total = 0;
  while (total < bytes.size()) {
    const int read = file.read(bytes.data() + total, static_cast<int>(bytes.size() - total));
    if (read <= 0) break;
    total += static_cast<std::size_t>(read);
  }
  return read(bytes.data(), total, fault);
}

}  // namespace stitchkit
