#include "stitchkit/platform/h_stream.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string>

namespace stitchkit {

DefaultInStream::~DefaultInStream() {
  if (own_ != 0) delete stream_;
}

int DefaultInStream::read(void* buffer, int size) {
  if (stream_ == nullptr || buffer == nullptr || size <= 0) return 0;
  try {
    stream_->read(static_cast<char*>(buffer), size);
    return static_cast<int>(stream_->gcount());
  } catch (...) {
    // A stream with an exception mask reports failure by throwing; the caller sees a count.
    return static_cast<int>(std::max<std::streamsize>(0, stream_->gcount()));
  }
}

void DefaultInStream::detach(std::istream*& stream, int& own) {
  stream = stream_;
  own = own_;
  stream_ = nullptr;
  own_ = 0;
}

DefaultOutStream::~DefaultOutStream() {
  if (stream_ == nullptr) return;
  try {
    stream_->flush();
  } catch (...) {
  }
  if (own_ != 0) delete stream_;
}

int DefaultOutStream::write(const void* buffer, int size) {
  if (stream_ == nullptr || buffer == nullptr || size <= 0) return 0;
  try {
    // The stream buffer reports how many bytes it took, which ostream::write does not.
    std::streambuf* sink = stream_->good() ? stream_->rdbuf() : nullptr;
    if (sink == nullptr) return 0;
    const std::streamsize n = sink->sputn(static_cast<const char*>(buffer), size);
    if (n < size) stream_->setstate(std::ios_base::badbit);
    return static_cast<int>(std::max<std::streamsize>(0, n));
  } catch (...) {
    return 0;
  }
}

void DefaultOutStream::detach(std::ostream*& stream, int& own) {
  if (stream_ != nullptr) {
    try {
      stream_->flush();
    } catch (...) {
    }
  }
  stream = stream_;
  own = own_;
  stream_ = nullptr;
  own_ = 0;
}

namespace {

// A stream may move fewer bytes than asked without being at its end, so these keep asking
// until everything has moved or a call moves nothing.
int readFully(HStream& stream, void* buffer, int size) {
  int done = 0;
  while (done < size) {
    const int n = stream.read(static_cast<char*>(buffer) + done, size - done);
    if (n <= 0 || n > size - done) break;
    done += n;
  }
  return done;
}

int writeFully(HStream& stream, const void* buffer, int size) {
  int done = 0;
  while (done < size) {
    const int n = stream.write(static_cast<const char*>(buffer) + done, size - done);
    if (n <= 0 || n > size - done) break;
    done += n;
  }
  return done;
}

template <typename T>
int readLittleEndian(HStream& stream, T& value) {
  unsigned char bytes[sizeof(T)];
  if (readFully(stream, bytes, static_cast<int>(sizeof(T))) != static_cast<int>(sizeof(T))) {
    return kHStreamShort;
  }
  std::uint32_t v = 0;
  for (std::size_t i = sizeof(T); i-- > 0;)
    v = (v << 8) | bytes[i];
  value = static_cast<T>(v);
  return kHStreamOk;
}

template <typename T>
int writeLittleEndian(HStream& stream, T value) {
  unsigned char bytes[sizeof(T)];
  auto v = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i, v >>= 8)
    bytes[i] = static_cast<unsigned char>(v);
  return writeFully(stream, bytes, static_cast<int>(sizeof(T))) == static_cast<int>(sizeof(T))
             ? kHStreamOk
             : kHStreamShort;
}

}  // namespace

int readPByte(HStream& stream, std::uint8_t& value) {
  return readLittleEndian(stream, value);
}
int readShort(HStream& stream, std::int16_t& value) {
  return readLittleEndian(stream, value);
}
int readLong(HStream& stream, std::int32_t& value) {
  return readLittleEndian(stream, value);
}
int writePByte(HStream& stream, std::uint8_t value) {
  return writeLittleEndian(stream, value);
}
int writeShort(HStream& stream, std::int16_t value) {
  return writeLittleEndian(stream, value);
}
int writeLong(HStream& stream, std::int32_t value) {
  return writeLittleEndian(stream, value);
}

int writeHString(HStream& stream, const HString& text) {
  try {
    const std::string utf8 = strToUtf8(text);
    if (utf8.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
      return kHStreamBadLength;
    }
    const auto size = static_cast<std::int32_t>(utf8.size());
    const int r = writeLong(stream, size);
    if (r != kHStreamOk) return r;
    if (size == 0) return kHStreamOk;
    return writeFully(stream, utf8.data(), size) == size ? kHStreamOk : kHStreamShort;
  } catch (const std::bad_alloc&) {
    return kHStreamNoMemory;
  }
}

int readHString(HStream& stream, HString& text, int maxBytes) {
  std::int32_t size = 0;
  const int r = readLong(stream, size);
  if (r != kHStreamOk) return r;
  if (size < 0 || size > maxBytes) return kHStreamBadLength;
  try {
    // Grow in chunks as the bytes arrive instead of trusting the count up front.
    constexpr int kChunk = 64 * 1024;
    std::string utf8;
    while (static_cast<int>(utf8.size()) < size) {
      const int want = std::min(kChunk, size - static_cast<int>(utf8.size()));
      const std::size_t at = utf8.size();
      utf8.resize(at + static_cast<std::size_t>(want));
      if (readFully(stream, utf8.data() + at, want) != want) return kHStreamShort;
    }
    text = utf8ToStr(utf8);
    return kHStreamOk;
  } catch (const std::bad_alloc&) {
    return kHStreamNoMemory;
  }
}

}  // namespace stitchkit
