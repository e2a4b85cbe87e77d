#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// Results of the integer and string helpers below.
inline constexpr int kHStreamOk = 0;
inline constexpr int kHStreamShort = 1;      // the stream moved fewer bytes than needed
inline constexpr int kHStreamBadLength = 2;  // a string length is negative or above the cap
inline constexpr int kHStreamNoMemory = 3;   // the string could not be held in memory

// A block-oriented byte stream. Implementations never throw: a failure shows as a count
// smaller than asked for.
class HStream {
 public:
  HStream() = default;
  HStream(const HStream&) = delete;
  HStream& operator=(const HStream&) = delete;
  virtual ~HStream() = default;

  // Reads up to `size` bytes into `buffer`; returns how many were read (0 at the end of the
  // data, on failure, for a null buffer, for size <= 0, and for a stream that cannot read).
  virtual int read(void* buffer, int size) = 0;
  // Writes `size` bytes from `buffer`; returns how many were written (fewer on failure, 0 for
  // a null buffer, size <= 0, or a stream that cannot write).
  virtual int write(const void* buffer, int size) = 0;
};

// Reads from a standard input stream. With `own` non-zero the stream is deleted when this
// object is destroyed, unless it was handed back with detach first. A null stream reads
// nothing. Writing is not supported and always moves 0 bytes.
class DefaultInStream final : public HStream {
 public:
  DefaultInStream(std::istream* stream, int own) : stream_(stream), own_(own) {}
  ~DefaultInStream() override;

  int read(void* buffer, int size) override;
  int write(const void* /*buffer*/, int /*size*/) override { return 0; }

  // Hands the stream and its ownership flag back to the caller; afterwards this object holds
  // no stream and deletes nothing.
  void detach(std::istream*& stream, int& own);

 private:
  std::istream* stream_;
  int own_;
};

// Writes to a standard output stream, with the same ownership rules as DefaultInStream.
// Reading is not supported and always moves 0 bytes. Bytes go to the stream's buffer; the
// stream is not flushed by each write.
class DefaultOutStream final : public HStream {
 public:
  DefaultOutStream(std::ostream* stream, int own) : stream_(stream), own_(own) {}
  ~DefaultOutStream() override;

  int read(void* /*buffer*/, int /*size*/) override { return 0; }
  int write(const void* buffer, int size) override;

  // Hands the stream and its ownership flag back to the caller; afterwards this object holds
  // no stream and deletes nothing. The stream is flushed first.
  void detach(std::ostream*& stream, int& own);

 private:
  std::ostream* stream_;
  int own_;
};

// Fixed-size integers in little-endian byte order. Each returns kHStreamOk, or kHStreamShort
// when the stream moved fewer bytes than the integer has; a failed read leaves `value`
// unchanged (the bytes that were read are consumed all the same).
int readPByte(HStream& stream, std::uint8_t& value);
int readShort(HStream& stream, std::int16_t& value);
int readLong(HStream& stream, std::int32_t& value);
int writePByte(HStream& stream, std::uint8_t value);
int writeShort(HStream& stream, std::int16_t value);
int writeLong(HStream& stream, std::int32_t value);

// A string as a 32-bit little-endian byte count followed by that many bytes of UTF-8.
// Returns kHStreamOk, kHStreamShort, or kHStreamBadLength when the UTF-8 form is longer
// than a 32-bit count can say.
int writeHString(HStream& stream, const HString& text);
// Reads a string written by writeHString. A count that is negative or above `maxBytes`
// fails with kHStreamBadLength before any byte of the text is read; a stream that ends
// early fails with kHStreamShort. Memory grows only with the bytes that actually arrive, so
// a count that lies costs nothing. On failure `text` is unchanged.
int readHString(HStream& stream, HString& text, int maxBytes);

}  // namespace stitchkit
