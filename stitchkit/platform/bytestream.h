#pragma once

#include <algorithm>
#include <cstddef>
#include <istream>
#include <ostream>
#include <span>
#include <vector>

namespace stitchkit {

// Results of the byte stream operations.
inline constexpr int kStreamOk = 0;
inline constexpr int kStreamEnd = 2;      // no more data (reading only)
inline constexpr int kStreamFailure = 4;  // the underlying stream failed or refused

// A source of bytes read one at a time. Reading past the end reports kStreamEnd, never
// undefined behaviour; any other non-zero result is a failure.
class InputBytestream {
 public:
  virtual ~InputBytestream() = default;

  // Reads one byte into `byte`: kStreamOk, kStreamEnd or a failure code.
  virtual int inputByte(unsigned char& byte) = 0;
  // Reads up to `count` bytes into buffer[offset...]; returns how many were read (fewer at
  // the end of the data or on failure).
  virtual int readBytes(unsigned char* buffer, int offset, int count);
  // Reads exactly `count` bytes into `buffer`: kStreamOk, or the result of the first read
  // that did not deliver a byte (kStreamEnd or a failure code). Bytes read before that stay
  // consumed.
  virtual int readExact(unsigned char* buffer, int count);
  // Offset of the next byte from the start of the data, or -1 when the stream cannot tell.
  virtual long position() const { return -1; }
  // Moves to an absolute offset; kStreamOk or kStreamFailure (also for streams that cannot
  // seek). An offset past the end is allowed and reads as the end.
  virtual int seek(long offset);
  // Total size of the data in bytes, or -1 when unknown.
  virtual long size() const { return -1; }
  // The bytes that can be read next without asking the source for more: a view of the
  // stream's own buffer, refilled first when it is used up. Valid until the next call on the
  // stream; empty at the end of the data and for streams that keep no buffer. Decoders read
  // runs of records straight from it and then consume() what they took.
  virtual std::span<const unsigned char> buffered() { return {}; }
  // Reads `count` bytes of what buffered() showed (count <= its size).
  virtual void consume(std::size_t /*count*/) {}
};

// A sink of bytes written one at a time.
class OutputBytestream {
 public:
  virtual ~OutputBytestream() = default;

  // Writes one byte: kStreamOk or kStreamFailure.
  virtual int outputByte(unsigned char byte) = 0;
  // Writes `count` bytes; stops at the first failure and returns its code.
  virtual int outputBytes(const unsigned char* bytes, std::size_t count);
  virtual int flush() { return kStreamOk; }
};

// Reads a standard input stream in chunks of its own: records of a few bytes are copied out of
// the chunk, and the stream is called once per chunk. Does not own the stream, which must
// outlive this object and is read ahead of position(): read it only through this object.
// setEndOffset makes the data end at that offset of the stream.
class FileInputBytestream final : public InputBytestream {
 public:
  explicit FileInputBytestream(std::istream& stream);

  int inputByte(unsigned char& byte) override;
  int readBytes(unsigned char* buffer, int offset, int count) override;
  int readExact(unsigned char* buffer, int count) override;
  long position() const override { return position_; }
  int seek(long offset) override;
  long size() const override;
  std::span<const unsigned char> buffered() override;
  void consume(std::size_t count) override {
    chunkAt_ += static_cast<long>(count);
    position_ += static_cast<long>(count);
  }
  // Data ends at `offset` (a negative value removes the limit).
  void setEndOffset(long offset) { endOffset_ = offset; }

 private:
  int endOrFailure() const;
  // Bytes that may be read from the chunk without passing the end offset.
  long readableInChunk() const {
    const long inChunk = chunkEnd_ - chunkAt_;
    return endOffset_ >= 0 ? std::min(inChunk, std::max(0L, endOffset_ - position_)) : inChunk;
  }
  // Reads the next chunk once this one is used up; false when no byte may be read from it.
  bool refill();

  static constexpr long kChunkSize = 64 * 1024;

  std::streambuf* buffer_;
  long position_ = 0;  // of the next byte delivered
  long endOffset_ = -1;
  std::vector<unsigned char> chunk_;
  long chunkAt_ = 0;   // next byte of the chunk to deliver
  long chunkEnd_ = 0;  // bytes in the chunk
};

// Reads a byte range in memory. Does not copy or own the bytes, which must outlive it.
class MemoryInputBytestream final : public InputBytestream {
 public:
  MemoryInputBytestream(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
  explicit MemoryInputBytestream(const std::vector<unsigned char>& bytes)
      : MemoryInputBytestream(bytes.data(), bytes.size()) {}

  int inputByte(unsigned char& byte) override {
    if (position_ >= size_) return kStreamEnd;
    byte = data_[position_++];
    return kStreamOk;
  }
  int readBytes(unsigned char* buffer, int offset, int count) override;
  int readExact(unsigned char* buffer, int count) override;
  long position() const override { return static_cast<long>(position_); }
  int seek(long offset) override;
  long size() const override { return static_cast<long>(size_); }
  std::span<const unsigned char> buffered() override {
    return {data_ + position_, size_ - std::min(position_, size_)};
  }
  void consume(std::size_t count) override { position_ += count; }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// Writes to a standard output stream. Does not own the stream.
class FileOutputBytestream final : public OutputBytestream {
 public:
  explicit FileOutputBytestream(std::ostream& stream) : stream_(&stream) {}
  // Hands what is still collected to the stream (a failure then shows in the stream's state).
  ~FileOutputBytestream() override;
  FileOutputBytestream(const FileOutputBytestream&) = delete;
  FileOutputBytestream& operator=(const FileOutputBytestream&) = delete;

  int outputByte(unsigned char byte) override;
  int outputBytes(const unsigned char* bytes, std::size_t count) override;
  int flush() override;

  // The system's error number (errno) of the first write that failed, 0 while none has; EIO
  // when the stream failed without one.
  int systemError() const { return systemError_; }

 private:
  int failed();
  // Writes the collected bytes to the stream.
  int drain();

  static constexpr std::size_t kChunkSize = 64 * 1024;

  std::ostream* stream_;
  int systemError_ = 0;
  // Records are collected here and handed to the stream a chunk at a time.
  std::vector<unsigned char> chunk_;
};

// Writes into a caller's fixed buffer of `size` bytes; a write beyond it fails.
class MemoryOutputBytestream final : public OutputBytestream {
 public:
  MemoryOutputBytestream(unsigned char* buffer, int size)
      : buffer_(buffer),
        size_(buffer == nullptr || size < 0 ? 0 : static_cast<std::size_t>(size)) {}

  int outputByte(unsigned char byte) override {
    if (written_ >= size_) return kStreamFailure;
    buffer_[written_++] = byte;
    return kStreamOk;
  }
  int outputBytes(const unsigned char* bytes, std::size_t count) override;
  // Bytes written so far.
  int length() const { return static_cast<int>(written_); }

 private:
  unsigned char* buffer_;
  std::size_t size_;
  std::size_t written_ = 0;
};

// Appends to a caller's growable byte vector. Does not own the vector.
class VectorOutputBytestream final : public OutputBytestream {
 public:
  explicit VectorOutputBytestream(std::vector<unsigned char>& bytes) : bytes_(&bytes) {}

  int outputByte(unsigned char byte) override {
    bytes_->push_back(byte);
    return kStreamOk;
  }
  int outputBytes(const unsigned char* bytes, std::size_t count) override {
    bytes_->insert(bytes_->end(), bytes, bytes + count);
    return kStreamOk;
  }

 private:
  std::vector<unsigned char>* bytes_;
};

}  // namespace stitchkit
