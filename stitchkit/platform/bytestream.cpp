#include "stitchkit/platform/bytestream.h"

#include <errno.h>

#include <algorithm>
#include <cstring>

namespace stitchkit {

int InputBytestream::readBytes(unsigned char* buffer, int offset, int count) {
  int read = 0;
  while (read < count && inputByte(buffer[offset + read]) == kStreamOk)
    ++read;
  return read;
}

int InputBytestream::readExact(unsigned char* buffer, int count) {
  for (int i = 0; i < count; ++i) {
    const int r = inputByte(buffer[i]);
    if (r != kStreamOk) return r;
  }
  return kStreamOk;
}

int InputBytestream::seek(long /*offset*/) {
  return kStreamFailure;
}

int OutputBytestream::outputBytes(const unsigned char* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const int r = outputByte(bytes[i]);
    if (r != kStreamOk) return r;
  }
  return kStreamOk;
}

FileInputBytestream::FileInputBytestream(std::istream& stream)
    : buffer_(stream.good() ? stream.rdbuf() : nullptr) {
  if (buffer_ != nullptr) {
    const auto at = buffer_->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    position_ = at < 0 ? 0 : static_cast<long>(at);
  }
}

bool FileInputBytestream::refill() {
  // Bytes left in the chunk are held back by the end offset, not used up.
  if (buffer_ == nullptr || chunkAt_ < chunkEnd_) return false;
  if (chunk_.empty()) chunk_.resize(kChunkSize);
  chunkAt_ = 0;
  chunkEnd_ = static_cast<long>(buffer_->sgetn(reinterpret_cast<char*>(chunk_.data()), kChunkSize));
  return readableInChunk() > 0;
}

int FileInputBytestream::inputByte(unsigned char& byte) {
  if (buffer_ == nullptr) return kStreamFailure;
  if (readableInChunk() < 1 && !refill()) return endOrFailure();
  byte = chunk_[static_cast<std::size_t>(chunkAt_++)];
  ++position_;
  return kStreamOk;
}

int FileInputBytestream::readBytes(unsigned char* buffer, int offset, int count) {
  if (buffer_ == nullptr || count <= 0) return 0;
  int done = 0;
  while (done < count) {
    if (readableInChunk() < 1 && !refill()) break;
    const long n = std::min<long>(count - done, readableInChunk());
    std::memcpy(buffer + offset + done, chunk_.data() + chunkAt_, static_cast<std::size_t>(n));
    chunkAt_ += n;
    position_ += n;
    done += static_cast<int>(n);
  }
  return done;
}

// Most reads are a record that lies in the chunk: one copy and no call into the stream.
int FileInputBytestream::readExact(unsigned char* buffer, int count) {
  if (buffer_ == nullptr) return kStreamFailure;
  if (count > 0 && readableInChunk() >= count) {
    std::memcpy(buffer, chunk_.data() + chunkAt_, static_cast<std::size_t>(count));
    chunkAt_ += count;
    position_ += count;
    return kStreamOk;
  }
  return readBytes(buffer, 0, count) == count ? kStreamOk : endOrFailure();
}

std::span<const unsigned char> FileInputBytestream::buffered() {
  if (buffer_ == nullptr) return {};
  if (readableInChunk() < 1 && !refill()) return {};
  return {chunk_.data() + chunkAt_, static_cast<std::size_t>(readableInChunk())};
}

// The buffer answers a failed read as it answers the end of the file. Data that stops before
// the end offset and short of the stream's size was not read: a failure.
int FileInputBytestream::endOrFailure() const {
  if (endOffset_ >= 0 && position_ >= endOffset_) return kStreamEnd;
  const long total = size();
  return total >= 0 && position_ < total ? kStreamFailure : kStreamEnd;
}

int FileInputBytestream::seek(long offset) {
  if (buffer_ == nullptr || offset < 0) return kStreamFailure;
  chunkAt_ = chunkEnd_ = 0;
  const auto at = buffer_->pubseekpos(offset, std::ios_base::in);
  if (at < 0) return kStreamFailure;
  position_ = offset;
  return kStreamOk;
}

long FileInputBytestream::size() const {
  if (buffer_ == nullptr) return -1;
  const auto here = buffer_->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
  const auto end = buffer_->pubseekoff(0, std::ios_base::end, std::ios_base::in);
  if (here >= 0) buffer_->pubseekpos(here, std::ios_base::in);
  return end < 0 ? -1 : static_cast<long>(end);
}

int MemoryInputBytestream::readBytes(unsigned char* buffer, int offset, int count) {
  if (count <= 0 || position_ >= size_) return 0;
  const std::size_t n = std::min(static_cast<std::size_t>(count), size_ - position_);
  std::memcpy(buffer + offset, data_ + position_, n);
  position_ += n;
  return static_cast<int>(n);
}

int MemoryInputBytestream::readExact(unsigned char* buffer, int count) {
  return readBytes(buffer, 0, count) == count ? kStreamOk : kStreamEnd;
}

int MemoryInputBytestream::seek(long offset) {
  if (offset < 0) return kStreamFailure;
  position_ = static_cast<std::size_t>(offset);
  return kStreamOk;
}

int FileOutputBytestream::failed() {
  if (systemError_ == 0) systemError_ = errno != 0 ? errno : EIO;
  return kStreamFailure;
}

// errno is cleared before each write so that a failure reports its own error, not an older
// one.
FileOutputBytestream::~FileOutputBytestream() {
  static_cast<void>(drain());
}

int FileOutputBytestream::drain() {
  if (chunk_.empty()) return kStreamOk;
  if (stream_->rdbuf() == nullptr) return failed();
  errno = 0;
  const auto n = stream_->rdbuf()->sputn(reinterpret_cast<const char*>(chunk_.data()),
                                         static_cast<std::streamsize>(chunk_.size()));
  const bool whole = n == static_cast<std::streamsize>(chunk_.size());
  chunk_.clear();
  return whole ? kStreamOk : failed();
}

int FileOutputBytestream::outputByte(unsigned char byte) {
  return outputBytes(&byte, 1);
}

int FileOutputBytestream::outputBytes(const unsigned char* bytes, std::size_t count) {
  if (systemError_ != 0) return kStreamFailure;
  if (chunk_.capacity() < kChunkSize) chunk_.reserve(kChunkSize);
  if (chunk_.size() + count > kChunkSize) {
    const int r = drain();
    if (r != kStreamOk) return r;
  }
  if (count >= kChunkSize) {
    errno = 0;
    const auto n = stream_->rdbuf() == nullptr
                       ? 0
                       : stream_->rdbuf()->sputn(reinterpret_cast<const char*>(bytes),
                                                 static_cast<std::streamsize>(count));
    return n == static_cast<std::streamsize>(count) ? kStreamOk : failed();
  }
  chunk_.insert(chunk_.end(), bytes, bytes + count);
  return kStreamOk;
}

int FileOutputBytestream::flush() {
  const int r = drain();
  if (r != kStreamOk) return r;
  errno = 0;
  stream_->flush();
  return stream_->good() ? kStreamOk : failed();
}

int MemoryOutputBytestream::outputBytes(const unsigned char* bytes, std::size_t count) {
  if (count > size_ - written_) {
    const std::size_t fit = size_ - written_;
    if (fit > 0) std::memcpy(buffer_ + written_, bytes, fit);
    written_ = size_;
    return kStreamFailure;
  }
  if (count > 0) std::memcpy(buffer_ + written_, bytes, count);
  written_ += count;
  return kStreamOk;
}

}  // namespace stitchkit
