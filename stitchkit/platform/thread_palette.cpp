#include "stitchkit/platform/thread_palette.h"

#include <cstring>

namespace stitchkit {
namespace {

constexpr std::uint8_t kThreadRecordVersion = 1;
constexpr int kMaxThreadText = 4096;

// The default threads: a spread of plainly named colours that keeps neighbouring needles
// easy to tell apart on screen.
struct DefaultThread {
  std::uint32_t colour;
  const wchar_t* name;
};
constexpr DefaultThread kDefaultThreads[] = {
    {0x000000, L"Black"}, {0xFFFFFF, L"White"},  {0xE00000, L"Red"},    {0x0040C0, L"Blue"},
    {0x00A040, L"Green"}, {0xFFD000, L"Yellow"}, {0xFF8000, L"Orange"}, {0x8000A0, L"Purple"},
    {0x804000, L"Brown"}, {0x808080, L"Grey"},   {0xFF80C0, L"Pink"},   {0x00C0C0, L"Turquoise"},
    {0x000080, L"Navy"},  {0x808000, L"Olive"},  {0xC0C0C0, L"Silver"}, {0x800000, L"Maroon"},
};

int writeInt(HStream& stream, std::int32_t value) {
  return writeLong(stream, value);
}

int readInt(HStream& stream, std::int32_t& value) {
  return readLong(stream, value);
}

}  // namespace

int ThreadProperty::write(HStream& stream) const {
  std::int64_t thicknessBits = 0;
  static_assert(sizeof thicknessBits == sizeof thickness);
  std::memcpy(&thicknessBits, &thickness, sizeof thickness);
  const std::int32_t foot[6] = {presserFoot.valid,          presserFoot.fixedStroke,
                                presserFoot.lowerDeadPoint, presserFoot.stroke,
                                presserFoot.startTiming,    presserFoot.secondFootLowerDeadPoint};
  int r = writePByte(stream, kThreadRecordVersion);
  if (r == kHStreamOk) r = writeInt(stream, static_cast<std::int32_t>(colour));
  if (r == kHStreamOk) r = writeHString(stream, name);
  if (r == kHStreamOk) r = writeHString(stream, code);
  if (r == kHStreamOk) r = writeHString(stream, manufacturer);
  if (r == kHStreamOk) r = writePByte(stream, static_cast<std::uint8_t>(type));
  if (r == kHStreamOk) r = writeHString(stream, comment);
  for (std::int32_t value : foot) {
    if (r == kHStreamOk) r = writeInt(stream, value);
  }
  if (r == kHStreamOk) r = writeInt(stream, individualSpeed);
  if (r == kHStreamOk) r = writeInt(stream, static_cast<std::int32_t>(thicknessBits));
  if (r == kHStreamOk) r = writeInt(stream, static_cast<std::int32_t>(thicknessBits >> 32));
  return r;
}

int ThreadProperty::read(HStream& stream) {
  std::uint8_t version = 0;
  int r = readPByte(stream, version);
  if (r != kHStreamOk) return r;
  if (version != kThreadRecordVersion) return kHStreamBadLength;
  std::int32_t value = 0;
  std::uint8_t byte = 0;
  if ((r = readInt(stream, value)) != kHStreamOk) return r;
  colour = static_cast<std::uint32_t>(value);
  if ((r = readHString(stream, name, kMaxThreadText)) != kHStreamOk) return r;
  if ((r = readHString(stream, code, kMaxThreadText)) != kHStreamOk) return r;
  if ((r = readHString(stream, manufacturer, kMaxThreadText)) != kHStreamOk) return r;
  if ((r = readPByte(stream, byte)) != kHStreamOk) return r;
  type = static_cast<ThreadType>(byte);
  if ((r = readHString(stream, comment, kMaxThreadText)) != kHStreamOk) return r;
  std::int32_t foot[6] = {};
  for (std::int32_t& field : foot) {
    if ((r = readInt(stream, field)) != kHStreamOk) return r;
  }
  presserFoot.valid = foot[0] != 0;
  presserFoot.fixedStroke = foot[1] != 0;
  presserFoot.lowerDeadPoint = static_cast<std::int16_t>(foot[2]);
  presserFoot.stroke = static_cast<std::int16_t>(foot[3]);
  presserFoot.startTiming = static_cast<std::int16_t>(foot[4]);
  presserFoot.secondFootLowerDeadPoint = static_cast<std::int16_t>(foot[5]);
  if ((r = readInt(stream, value)) != kHStreamOk) return r;
  individualSpeed = value;
  std::int32_t low = 0;
  std::int32_t high = 0;
  if ((r = readInt(stream, low)) != kHStreamOk) return r;
  if ((r = readInt(stream, high)) != kHStreamOk) return r;
  const std::uint64_t bits = static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32 |
                             static_cast<std::uint32_t>(low);
  std::memcpy(&thickness, &bits, sizeof thickness);
  return kHStreamOk;
}

int ThreadPalette::getFirstPunchThreadIndex() const {
  for (int i = 0; i < threads_.length(); ++i) {
    if (threads_[i].type == ThreadType::kPunch) return i;
  }
  return -1;
}

ThreadDB::ThreadDB() {
  int number = 1;
  for (const DefaultThread& t : kDefaultThreads) {
    HString code;
    code.set(L"%d", number++);
    defaults_.add(ThreadProperty(t.colour, t.name, code, HString()));
  }
}

ThreadDB& ThreadDB::shared() {
  static ThreadDB db;
  return db;
}

const ThreadProperty& ThreadDB::getDefaultThread(int index) const {
  const int n = defaults_.length();
  const int i = index % n;
  return defaults_[i < 0 ? i + n : i];
}

void ThreadDB::addBrand(int number, const HString& manufacturer) {
  for (Brand& brand : brands_) {
    if (brand.number == number) {
      brand.name = manufacturer;
      return;
    }
  }
  brands_.add(Brand{number, manufacturer});
}

int ThreadDB::getBrandNumber(const HString& manufacturer) const {
  for (const Brand& brand : brands_) {
    if (brand.name.compareNoCase(manufacturer) == 0) return brand.number;
  }
  return -1;
}

void ThreadDB::addThread(int brand, const ThreadProperty& thread) {
  for (Entry& entry : threads_) {
    if (entry.brand == brand && entry.thread.code == thread.code) {
      entry.thread = thread;
      return;
    }
  }
  threads_.add(Entry{brand, thread});
}

bool ThreadDB::findThread(int brand, const HString& code, ThreadProperty& out) const {
  for (const Entry& entry : threads_) {
    if (entry.brand == brand && entry.thread.code == code) {
      out = entry.thread;
      return true;
    }
  }
  return false;
}

}  // namespace stitchkit
