#include "stitchkit/files/hsf_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "stitchkit/files/hsf_records.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/h_stream.h"

namespace stitchkit {
namespace {

using HeaderBytes = std::array<unsigned char, hsf::kHeaderSize>;

// Texts longer than their length field can say are cut, whole characters at a time.
constexpr std::size_t kMaxShortText = 32766;   // int16 length, terminator included
constexpr std::size_t kMaxLongText = 1 << 20;  // int32 length; far beyond any real name
constexpr int kMaxListed = 32767;              // int16 counts
// A palette is completed up to the highest needle used, but never beyond this.
constexpr int kMaxCompletedThreads = 100;

// The default thread codes of an HSF file written without a palette.
constexpr const char* kDefaultThreadCodes[] = {
    "1076", "1038", "1251", "1171", "1295", "1056", "1111", "1176", "1370", "1309",
    "1078", "1032", "1180", "1039", "1145", "1147", "1149", "1241", "1109", "1018",
};
constexpr int kDefaultPaletteSize = 40;  // the codes twice over
constexpr int kDefaultPaletteBlocks = 20;

template <typename T>
void putLittle(unsigned char* at, T value) {
  auto bits = static_cast<std::make_unsigned_t<T>>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    at[i] = static_cast<unsigned char>(bits & 0xFF);
    bits = static_cast<decltype(bits)>(bits >> 8);
  }
}

template <typename T>
T getLittle(const unsigned char* at) {
  std::make_unsigned_t<T> bits = 0;
  for (std::size_t i = sizeof(T); i-- > 0;) {
    bits = static_cast<decltype(bits)>(bits << 8 | at[i]);
  }
  return static_cast<T>(bits);
}

void putDouble(unsigned char* at, double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  putLittle(at, bits);
}

double getDouble(const unsigned char* at) {
  const auto bits = getLittle<std::uint64_t>(at);
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

HeaderBytes encodeHeader(const HchInfoHeader& h) {
  HeaderBytes b{};
  std::memcpy(b.data() + hsf::kVersionAt, h.version, hsf::kVersionSize);
  b[hsf::kKindAt] = static_cast<unsigned char>(h.kind);
  putLittle(&b[hsf::kStitchCountAt], h.stitchCount);
  b[hsf::kEncodingAt] = h.encoding;
  putLittle(&b[hsf::kPlusXAt], h.plusX);
  putLittle(&b[hsf::kMinusXAt], h.minusX);
  putLittle(&b[hsf::kPlusYAt], h.plusY);
  putLittle(&b[hsf::kMinusYAt], h.minusY);
  b[hsf::kOldExtraAt] = h.oldExtra;
  b[hsf::kCommandCountAt] = h.commandCountByte;
  putLittle(&b[hsf::kThreadCodesAt], h.threadCodeOffset);
  putLittle(&b[hsf::kStopTableAt], h.stopTableOffset);
  putLittle(&b[hsf::kNameListAt], h.nameListOffset);
  putLittle(&b[hsf::kFirstNeedleAt], h.firstNeedle);
  putLittle(&b[hsf::kStopCommentsAt], h.stopCommentOffset);
  putLittle(&b[hsf::kThreadPropertiesAt], h.threadPropertyOffset);
  putDouble(&b[hsf::kDesignValueAt], h.designValue);
  return b;
}

void decodeHeader(const HeaderBytes& b, HchInfoHeader& h) {
  std::memcpy(h.version, b.data() + hsf::kVersionAt, hsf::kVersionSize);
  h.kind = static_cast<char>(b[hsf::kKindAt]);
  h.stitchCount = getLittle<std::int32_t>(&b[hsf::kStitchCountAt]);
  h.encoding = b[hsf::kEncodingAt];
  h.plusX = getLittle<std::int16_t>(&b[hsf::kPlusXAt]);
  h.minusX = getLittle<std::int16_t>(&b[hsf::kMinusXAt]);
  h.plusY = getLittle<std::int16_t>(&b[hsf::kPlusYAt]);
  h.minusY = getLittle<std::int16_t>(&b[hsf::kMinusYAt]);
  h.oldExtra = b[hsf::kOldExtraAt];
  h.commandCountByte = b[hsf::kCommandCountAt];
  h.threadCodeOffset = getLittle<std::int32_t>(&b[hsf::kThreadCodesAt]);
  h.stopTableOffset = getLittle<std::int32_t>(&b[hsf::kStopTableAt]);
  h.nameListOffset = getLittle<std::int32_t>(&b[hsf::kNameListAt]);
  h.firstNeedle = getLittle<std::int16_t>(&b[hsf::kFirstNeedleAt]);
  h.stopCommentOffset = getLittle<std::int32_t>(&b[hsf::kStopCommentsAt]);
  h.threadPropertyOffset = getLittle<std::int32_t>(&b[hsf::kThreadPropertiesAt]);
  h.designValue = getDouble(&b[hsf::kDesignValueAt]);
}

// The 16-byte header of an old file in the 60-byte form.
void widenOldHeader(const unsigned char* old, HchInfoHeader& h) {
  h = HchInfoHeader();
  std::memcpy(h.version, hsf::kWidenedVersion, sizeof hsf::kWidenedVersion);
  h.kind = static_cast<char>(old[hsf::kOldKindAt]);
  h.stitchCount = getLittle<std::int32_t>(old + hsf::kOldStitchCountAt);
  h.encoding = old[hsf::kOldEncodingAt];
  h.commandCountByte = old[hsf::kOldEncodingAt];
  h.plusX = getLittle<std::int16_t>(old + hsf::kOldExtentsAt);
  h.minusX = getLittle<std::int16_t>(old + hsf::kOldExtentsAt + 2);
  h.plusY = getLittle<std::int16_t>(old + hsf::kOldExtentsAt + 4);
  h.minusY = getLittle<std::int16_t>(old + hsf::kOldExtentsAt + 6);
  h.oldExtra = old[hsf::kOldExtraByteAt];
  h.firstNeedle = 1;
  for (const hsf::KindRow& row : hsf::kKinds) {
    if (row.kind == h.kind) h.encoding = row.widenedEncoding;
  }
}

bool isVersioned(unsigned char first) {
  return first == 'V' || first == 'v';
}

// Reads the header from the start of `in`; `old` tells whether it was the 16-byte form.
// Leaves the stream wherever the reads left it.
bool readHeaderFromStart(std::istream& in, HchInfoHeader& header, bool& old) {
  HeaderBytes bytes{};
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), hsf::kVersionSize);
  if (in.gcount() != hsf::kVersionSize) return false;
  old = !isVersioned(bytes[0]);
  const int size = old ? hsf::kOldHeaderSize : hsf::kHeaderSize;
  in.read(reinterpret_cast<char*>(bytes.data()) + hsf::kVersionSize, size - hsf::kVersionSize);
  if (in.gcount() != size - hsf::kVersionSize) return false;
  if (old) {
    widenOldHeader(bytes.data(), header);
  } else {
    decodeHeader(bytes, header);
  }
  return true;
}

// Narrow text of the file: the ANSI code page, cut to at most `maxBytes`.
std::string narrowText(const HString& text, std::size_t maxBytes) {
  return encodeWithin(text, maxBytes, kCodePageAnsi);
}

// --- Writing ------------------------------------------------------------------------------------

// The bytes of one section, appended little-endian.
class SectionBytes {
 public:
  void i16(std::int16_t v) { put(v); }
  void i32(std::int32_t v) { put(v); }
  void u32(std::uint32_t v) { put(v); }
  void f64(double v) {
    unsigned char b[8];
    putDouble(b, v);
    bytes_.insert(bytes_.end(), b, b + 8);
  }
  // The text, then its terminating zero.
  void text(const std::string& s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    bytes_.push_back(0);
  }
  const std::vector<unsigned char>& bytes() const { return bytes_; }

 private:
  template <typename T>
  void put(T v) {
    unsigned char b[sizeof(T)];
    putLittle(b, v);
    bytes_.insert(bytes_.end(), b, b + sizeof(T));
  }
  std::vector<unsigned char> bytes_;
};

SectionBytes stopTableSection(const HXArray<StopInfo>& stops) {
  SectionBytes s;
  s.i16(hsf::kStopTableTag);
  s.i32(stops.length());
  for (const StopInfo& stop : stops) {
    s.u32(stop.commandCode);
    s.u32(stop.stitchesSinceLast);
    s.f64(stop.threadSinceLast);
    s.i16(static_cast<std::int16_t>(stop.colour));
    s.i16(static_cast<std::int16_t>(stop.data));
    s.i16(static_cast<std::int16_t>(stop.sequinHead));
    s.i16(static_cast<std::int16_t>(stop.reserved));
  }
  return s;
}

SectionBytes stopCommentSection(const HXArray<HString>& comments) {
  SectionBytes s;
  s.i16(hsf::kStopCommentTag);
  s.i32(comments.length());
  for (const HString& comment : comments) {
    const std::string text = narrowText(comment, kMaxShortText);
    s.i16(static_cast<std::int16_t>(text.size() + 1));
    s.text(text);
  }
  return s;
}

SectionBytes nameListSection(const HXArray<HString>& names) {
  SectionBytes s;
  const int count = std::min(names.length(), kMaxListed);
  s.i16(static_cast<std::int16_t>(count));
  for (int i = 0; i < count; ++i) {
    const std::string text = narrowText(names[i], kMaxLongText);
    s.i32(static_cast<std::int32_t>(text.size() + 1));
    s.text(text);
  }
  return s;
}

// Each thread by its code under its brand number, or by its colour when its brand is not one
// the thread catalogue knows (brand -1).
SectionBytes threadCodeSection(const ThreadPalette& palette, int count) {
  SectionBytes s;
  s.u32(hsf::kThreadCodeMark | static_cast<std::uint32_t>(count));
  const ThreadDB& db = ThreadDB::shared();
  for (int i = 0; i < count; ++i) {
    const ThreadProperty& thread = palette[i];
    const int brand = thread.manufacturer.isEmpty() ? -1 : db.getBrandNumber(thread.manufacturer);
    std::string text;
    if (brand >= 0) {
      text = narrowText(thread.code, kMaxShortText);
    } else {
      text = std::to_string(static_cast<int>(thread.colour));
    }
    s.i16(static_cast<std::int16_t>(text.size() + 1));
    s.text(text);
    s.i16(static_cast<std::int16_t>(brand));
  }
  return s;
}

bool writeBytes(std::ostream& out, std::span<const unsigned char> bytes) {
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool writeHeader(std::ostream& out, const HchInfoHeader& header) {
  const HeaderBytes bytes = encodeHeader(header);
  return writeBytes(out, bytes);
}

// The current write position as a header offset; false when it cannot be told or held.
bool sectionOffset(std::ostream& out, std::int32_t& offset) {
  const std::streamoff at = out.tellp();
  if (at < 0 || at > INT32_MAX) return false;
  offset = static_cast<std::int32_t>(at);
  return true;
}

// Appends one section when it is present, recording its offset.
bool appendSection(std::ostream& out, const SectionBytes& section, std::int32_t& offset) {
  return sectionOffset(out, offset) && writeBytes(out, section.bytes());
}

bool appendThreadProperties(std::ostream& out, const ThreadPalette& palette, int count,
                            std::int32_t& offset) {
  if (!sectionOffset(out, offset)) return false;
  DefaultOutStream stream(&out, 0);
  int r = writePByte(stream, hsf::kThreadPropertyVersion);
  if (r == kHStreamOk) r = writeLong(stream, 0);
  if (r == kHStreamOk) r = writeShort(stream, static_cast<std::int16_t>(count));
  for (int i = 0; i < count && r == kHStreamOk; ++i) {
    r = palette[i].write(stream);
  }
  return r == kHStreamOk && out;
}

// The record the stitches are written with and the encoding byte that names it.
struct WorkingRecord {
  StitchOptions options;
  std::uint8_t encoding = hsf::kDefaultEncoding;
};

// Chooses the record; false when it can write none of the embedded encodings.
bool chooseRecord(const StitchOptions* callers, WorkingRecord& working) {
  working.options.setFileFormat(hsf::kDefaultFormat);
  working.options.setHardLength(kDefaultHardLength);
  if (callers != nullptr) {
    for (const hsf::WrittenEncodingRow& row : hsf::kWrittenEncodings) {
      const HDiskFileFormat* end = row.formats + row.formatCount;
      if (std::find(row.formats, end, callers->getFileFormat()) == end) continue;
      // A record whose moves are longer than the records can carry is not used; the default
      // record writes the file then, and the encoding byte says so.
      if (callers->getHardLength() < row.hardLengthLimit) {
        working.options = *callers;
        working.encoding = row.encoding;
      }
      break;
    }
  }
  const StitchOptions& o = working.options;
  return o.isCompatible(kFormatDst) || o.isCompatible(kFormatDsb) || o.isCompatible(kFormatDsz) ||
         o.getFileFormat() == kFormatExp;
}

// Writes the whole file with the record chosen; the stream is good and at its start.
int writeHsf(std::ostream& out, StitchWrapper& stitches, const ThreadPalette& palette,
             const HXArray<HString>& names, double designValue, WorkingRecord& working,
             int traceDesign, StitchStats* written) {
  HchInfoHeader header;
  std::memcpy(header.version, hsf::kWrittenVersion, sizeof hsf::kWrittenVersion);
  header.kind = hsf::kWrittenKind;
  header.encoding = working.encoding;
  header.firstNeedle =
      static_cast<std::int16_t>(stitches.length() > 0 ? stitches[0].getColor() + 1 : 1);
  header.designValue = designValue == -1.0 ? 0.0 : designValue;
  const std::vector<unsigned char> reserved(hsf::kReservedSize, 0);
  out.seekp(0);
  if (!writeHeader(out, header) || !writeBytes(out, reserved)) return kHsfBadData;

  StitchFilter filter(stitches);
  filter.setTraceDesign(traceDesign);
  HXArray<StopInfo> stops;
  HXArray<HString> stopComments;
  int encoded = kFilterOk;
  {
    FileOutputBytestream stream(out);
    encoded = filter.encodeStitchesAsHsf(working.options, stops, stopComments, &stream);
    if (stream.flush() != kStreamOk || stream.systemError() != 0) return kHsfBadData;
  }
  if (!out) return kHsfBadData;
  if (encoded != kFilterOk) return kHsfIncompatible;

  const StitchStats& stats = filter.getStats();
  header.stitchCount = stats.stitchCount;
  header.plusX = static_cast<std::int16_t>(stats.maxX - stats.startX);
  header.minusX = static_cast<std::int16_t>(stats.startX - stats.minX);
  header.plusY = static_cast<std::int16_t>(stats.maxY - stats.startY);
  header.minusY = static_cast<std::int16_t>(stats.startY - stats.minY);
  header.firstNeedle = static_cast<std::int16_t>(stats.getFirstNeedle());
  header.commandCountByte = static_cast<std::uint8_t>(stats.commandCount & 0xFF);

  // The encoder closes its table with an entry for the stitches after the last stop, which
  // says nothing when no stop was written; the comments are left out when all are empty.
  const bool stopsWritten = std::any_of(stops.begin(), stops.end(),
                                        [](const StopInfo& stop) { return stop.commandCode != 0; });
  const bool commented = std::any_of(stopComments.begin(), stopComments.end(),
                                     [](const HString& comment) { return !comment.isEmpty(); });
  bool ok = writeBytes(out, reserved);
  if (ok && stopsWritten) {
    ok = appendSection(out, stopTableSection(stops), header.stopTableOffset);
  }
  if (ok && stopsWritten && commented) {
    ok = appendSection(out, stopCommentSection(stopComments), header.stopCommentOffset);
  }
  if (ok && !names.isEmpty()) {
    ok = appendSection(out, nameListSection(names), header.nameListOffset);
  }
  const int threads = std::min(palette.length(), kMaxListed);
  if (ok && threads > 0) {
    ok = appendSection(out, threadCodeSection(palette, threads), header.threadCodeOffset) &&
         appendThreadProperties(out, palette, threads, header.threadPropertyOffset);
  }
  if (!ok) return kHsfBadData;
  out.seekp(0);
  if (!writeHeader(out, header) || !out.flush()) return kHsfBadData;
  if (written != nullptr) *written = stats;
  return kHsfOk;
}

// --- Reading ------------------------------------------------------------------------------------

// Reads the sections of a file whose length is known, refusing any read that would pass its
// end, so that no count or length taken from the file can make it allocate or loop beyond
// what the file holds.
class SectionReader {
 public:
  SectionReader(std::istream& in, std::int64_t length) : in_(in), length_(length) {}

  bool inside(std::int64_t offset) const { return offset > 0 && offset < length_; }
  std::int64_t remaining() const { return length_ - at_; }
  bool seek(std::int64_t offset) {
    if (offset < 0 || offset > length_) return false;
    in_.clear();
    in_.seekg(offset);
    at_ = offset;
    return static_cast<bool>(in_);
  }
  bool bytes(void* out, std::int64_t n) {
    if (n < 0 || n > remaining()) return false;
    in_.read(static_cast<char*>(out), static_cast<std::streamsize>(n));
    if (in_.gcount() != n) return false;
    at_ += n;
    return true;
  }
  bool skip(std::int64_t n) { return n >= 0 && n <= remaining() && seek(at_ + n); }
  template <typename T>
  bool number(T& value) {
    unsigned char b[sizeof(T)];
    if (!bytes(b, sizeof b)) return false;
    value = getLittle<T>(b);
    return true;
  }
  bool f64(double& value) {
    unsigned char b[8];
    if (!bytes(b, sizeof b)) return false;
    value = getDouble(b);
    return true;
  }
  // `n` bytes of narrow text; the text ends at its first zero byte.
  bool text(std::int64_t n, HString& out) {
    if (n < 0 || n > remaining()) return false;
    std::string raw(static_cast<std::size_t>(n), '\0');
    if (!bytes(raw.data(), n)) return false;
    raw.resize(std::strlen(raw.c_str()));
    out = HString(mbsToWide(raw, kCodePageAnsi));
    return true;
  }

 private:
  std::istream& in_;
  std::int64_t length_;
  std::int64_t at_ = 0;
};

// Everything the sections after the stitch data hold.
struct Sections {
  HXArray<StopInfo> stops;
  HXArray<HString> stopComments;
};

std::int64_t sectionEnd(const HchInfoHeader& h, const SectionReader& reader, std::int64_t from,
                        std::int64_t length) {
  std::int64_t end = length;
  for (std::int64_t o : {h.threadCodeOffset, h.stopTableOffset, h.nameListOffset,
                         h.stopCommentOffset, h.threadPropertyOffset}) {
    if (reader.inside(o) && o > from) end = std::min(end, o);
  }
  return end;
}

bool readStopTable(SectionReader& r, std::int64_t size, HXArray<StopInfo>& stops) {
  constexpr std::int64_t kSectionHead = 6;  // tag and count
  std::int16_t tag = 0;
  std::int32_t count = 0;
  if (!r.number(tag) || !r.number(count)) return false;
  if (count < 0 || count > hsf::kMaxSectionCount) return false;
  const bool isShort = tag == hsf::kShortStopTableTag;
  std::int64_t stride = isShort ? hsf::kShortStopRecordSize : hsf::kStopRecordSize;
  // Entries written longer than a stop record keep the rest of their bytes to themselves.
  if (!isShort && count > 0 && size - kSectionHead > count * stride) {
    stride = (size - kSectionHead) / count;
  }
  if (count * stride > r.remaining()) return false;
  stops.setAllocSize(count);
  for (std::int32_t i = 0; i < count; ++i) {
    StopInfo stop;
    bool ok = r.number(stop.commandCode) && r.number(stop.stitchesSinceLast);
    if (!isShort) {
      ok = ok && r.f64(stop.threadSinceLast) && r.number(stop.colour) && r.number(stop.data) &&
           r.number(stop.sequinHead) && r.number(stop.reserved) &&
           r.skip(stride - hsf::kStopRecordSize);
    }
    if (!ok) return false;
    stops.add(stop);
  }
  return true;
}

bool readStopComments(SectionReader& r, HXArray<HString>& comments) {
  std::int16_t tag = 0;
  std::int32_t count = 0;
  if (!r.number(tag) || !r.number(count)) return false;
  // Each comment takes at least its length field.
  if (count < 0 || count > hsf::kMaxSectionCount || std::int64_t{count} * 2 > r.remaining()) {
    return false;
  }
  for (std::int32_t i = 0; i < count; ++i) {
    std::int16_t n = 0;
    HString comment;
    if (!r.number(n) || !r.text(n, comment)) return false;
    comments.add(comment);
  }
  return true;
}

bool readNameList(SectionReader& r, HXArray<HString>& names) {
  std::int16_t count = 0;
  if (!r.number(count) || count < 0) return false;
  for (int i = 0; i < count; ++i) {
    std::int32_t n = 0;
    HString name;
    if (!r.number(n) || !r.text(n, name)) return false;
    if (n > 0) names.add(name);
  }
  return true;
}

// The threads of the property section; none when the section is not of the known kind or
// does not read whole.
ThreadPalette readThreadProperties(std::istream& in) {
  ThreadPalette threads;
  DefaultInStream stream(&in, 0);
  std::uint8_t version = 0;
  std::int32_t reserved = 0;
  std::int16_t count = 0;
  if (readPByte(stream, version) != kHStreamOk || version != hsf::kThreadPropertyVersion ||
      readLong(stream, reserved) != kHStreamOk || readShort(stream, count) != kHStreamOk) {
    return threads;
  }
  for (int i = 0; i < count; ++i) {
    ThreadProperty thread;
    if (thread.read(stream) != kHStreamOk) return ThreadPalette();
    threads.add(thread);
  }
  return threads;
}

// Threads by code: a known brand's thread from the thread catalogue, a colour for threads of
// no known brand, the code alone (with a default colour) when the catalogue lacks it.
bool readThreadCodes(SectionReader& r, ThreadPalette& palette) {
  std::uint32_t word = 0;
  if (!r.number(word)) return false;
  if ((word & hsf::kThreadCodeMark) != hsf::kThreadCodeMark) return true;  // not of this kind
  // Each thread takes at least its two length fields; a palette longer than the property
  // section can say is a broken one.
  const std::int64_t count = word & ~hsf::kThreadCodeMark;
  if (count > kMaxListed || count * 4 > r.remaining()) return false;
  const ThreadDB& db = ThreadDB::shared();
  for (std::int64_t i = 0; i < count; ++i) {
    std::int16_t n = 0;
    std::int16_t brand = 0;
    HString code;
    if (!r.number(n) || !r.text(n, code) || !r.number(brand)) return false;
    ThreadProperty thread;
    if (brand >= 0 && db.findThread(brand, code, thread)) {
      palette.add(thread);
    } else if (brand < 0) {
      thread.colour = static_cast<std::uint32_t>(std::wcstoul(code.c_str(), nullptr, 10));
      palette.add(thread);
    } else {
      thread = db.getDefaultThread(static_cast<int>(i));
      thread.code = code;
      palette.add(thread);
    }
  }
  return true;
}

bool readSections(SectionReader& r, std::istream& in, const HchInfoHeader& h, std::int64_t length,
                  Sections& out, HXArray<HString>& names, ThreadPalette* palette) {
  if (r.inside(h.stopTableOffset)) {
    const std::int64_t size = sectionEnd(h, r, h.stopTableOffset, length) - h.stopTableOffset;
    if (!r.seek(h.stopTableOffset) || !readStopTable(r, size, out.stops)) return false;
  }
  if (r.inside(h.stopCommentOffset)) {
    if (!r.seek(h.stopCommentOffset) || !readStopComments(r, out.stopComments)) return false;
  }
  if (r.inside(h.nameListOffset)) {
    if (!r.seek(h.nameListOffset) || !readNameList(r, names)) return false;
  }
  if (palette == nullptr) return true;
  palette->clear();
  if (r.inside(h.threadPropertyOffset)) {
    if (!r.seek(h.threadPropertyOffset)) return false;
    *palette = readThreadProperties(in);
  }
  if (palette->isEmpty() && r.inside(h.threadCodeOffset)) {
    if (!r.seek(h.threadCodeOffset) || !readThreadCodes(r, *palette)) return false;
  }
  return true;
}

}  // namespace

int readHchInfoHeader(std::istream& in, HchInfoHeader& header) {
  try {
    const std::streampos here = in.tellg();
    bool old = false;
    const bool read = here >= 0 && readHeaderFromStart(in, header, old);
    in.clear();
    in.seekg(here);
    return read && in ? kHsfOk : kHsfBadData;
  } catch (const std::exception&) {
    return kHsfBadData;
  }
}

HDiskFileFormat convertHchInfoHeaderToFileFormat(const HchInfoHeader& header) {
  if (header.kind == hsf::kWrittenKind) {
    for (const hsf::EncodingRow& row : hsf::kEncodingsOfKindA) {
      if (row.encoding == header.encoding) return row.format;
    }
    return kFormatNone;
  }
  for (const hsf::KindRow& row : hsf::kKinds) {
    if (row.kind == header.kind) return row.format;
  }
  return kFormatNone;
}

int makeHsfStream(std::ostream& out, StitchWrapper& stitches, const ThreadPalette& palette,
                  const HXArray<HString>& names, double designValue, StitchOptions* options,
                  int traceDesign, StitchStats* written) {
  try {
    WorkingRecord working;
    if (!chooseRecord(options, working)) return kHsfIncompatible;
    if (!out.good()) return kHsfCannotOpen;
    return writeHsf(out, stitches, palette, names, designValue, working, traceDesign, written);
  } catch (const std::exception&) {
    return kHsfBadData;
  }
}

int makeHsfFile(const HString& path, StitchWrapper& stitches, const ThreadPalette& palette,
                const HXArray<HString>& names, double designValue, StitchOptions* options,
                int traceDesign, StitchStats* written) {
  try {
    // The record is checked before the file is touched.
    WorkingRecord working;
    if (!chooseRecord(options, working)) return kHsfIncompatible;
    std::ofstream out(toNativePath(path), std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return kHsfCannotOpen;
    const int r =
        writeHsf(out, stitches, palette, names, designValue, working, traceDesign, written);
    out.close();
    return r == kHsfOk && !out ? kHsfBadData : r;
  } catch (const std::exception&) {
    return kHsfBadData;
  }
}

int makeHsfFile(const HString& path, HXArray<HStitch>& stitches, const ThreadPalette& palette,
                const HXArray<HString>& names, double designValue, StitchOptions* options,
                int traceDesign, StitchStats* written) {
  StitchArrayWrapper wrapper(stitches);
  return makeHsfFile(path, wrapper, palette, names, designValue, options, traceDesign, written);
}

int decodeHsfStream(std::istream& in, StitchWrapper& stitches, StitchOptions& options,
                    StitchStats& stats, HXArray<HString>& names, double& designValue,
                    ThreadPalette* palette) {
  try {
    if (!in.good()) return kHsfCannotOpen;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0) return kHsfBadData;
    stitches.clear();
    names.clear();

    HchInfoHeader header;
    bool old = false;
    if (!readHeaderFromStart(in, header, old)) return kHsfBadData;
    const HDiskFileFormat format = convertHchInfoHeaderToFileFormat(header);

    SectionReader reader(in, length);
    // The stitch data ends where the first section starts.
    const std::int64_t dataEnd = sectionEnd(header, reader, 0, length);
    Sections sections;
    if (!readSections(reader, in, header, length, sections, names, palette)) return kHsfBadData;

    in.clear();
    FileInputBytestream stream(in);
    const long dataStart = old ? hsf::kOldHeaderSize : hsf::kHeaderSize;
    if (stream.seek(dataStart) != kStreamOk) return kHsfBadData;
    stream.setEndOffset(static_cast<long>(dataEnd));
    designValue = std::fabs(header.designValue) < 1e-9 ? -1.0 : header.designValue;

    if (!options.isCompatible(format)) return kHsfIncompatible;
    StitchFilter filter(stitches);
    const int needle = std::max<int>(1, header.firstNeedle);
    const int r =
        filter.decodeStitchesAsHsf(options, sections.stops, sections.stopComments, needle, stream);
    if (r == kFilterNoCoder) return kHsfNoDecoder;
    if (r != kFilterOk) return kHsfIncompatible;
    stats = filter.getStats();

    if (palette != nullptr) {
      const int wanted = std::min(stats.maxNeedle + 1, kMaxCompletedThreads);
      const ThreadDB& db = ThreadDB::shared();
      while (palette->length() < wanted) {
        palette->add(db.getDefaultThread(palette->length()));
      }
    }
    return kHsfOk;
  } catch (const std::exception&) {
    return kHsfBadData;
  }
}

int decodeHsfFile(const HString& path, StitchWrapper& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& names, double& designValue,
                  ThreadPalette* palette) {
  try {
    std::ifstream in(toNativePath(path), std::ios::in | std::ios::binary);
    if (!in.is_open()) return kHsfCannotOpen;
    return decodeHsfStream(in, stitches, options, stats, names, designValue, palette);
  } catch (const std::exception&) {
    return kHsfBadData;
  }
}

int decodeHsfFile(const HString& path, HXArray<HStitch>& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& names, double& designValue,
                  ThreadPalette* palette) {
  StitchArrayWrapper wrapper(stitches);
  return decodeHsfFile(path, wrapper, options, stats, names, designValue, palette);
}

int DecodeHsfFile(const HString& path, HXArray<HStitch>& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& names, double& designValue,
                  ThreadPalette* palette) {
  return decodeHsfFile(path, stitches, options, stats, names, designValue, palette);
}

ThreadPalette makeDefaultHsfPalette(std::uint64_t needleBlocks) {
  const std::uint64_t blocks = needleBlocks == 0 ? kDefaultPaletteBlocks : needleBlocks;
  const int count = static_cast<int>(std::min<std::uint64_t>(blocks, kDefaultPaletteSize));
  const ThreadDB& db = ThreadDB::shared();
  ThreadPalette palette;
  for (int i = 0; i < count; ++i) {
    const char* code = kDefaultThreadCodes[i % std::size(kDefaultThreadCodes)];
    palette.add(ThreadProperty(db.getDefaultThread(i).colour, HString(), HString(code), HString()));
  }
  return palette;
}

}  // namespace stitchkit
