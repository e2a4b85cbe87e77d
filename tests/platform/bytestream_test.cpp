#include "stitchkit/platform/bytestream.h"

#include <gtest/gtest.h>

#include <sstream>

namespace stitchkit {
namespace {

// Reads a stream to its end; returns the bytes and checks that the end stays the end.
std::string drain(InputBytestream& in) {
  std::string out;
  unsigned char b = 0;
  int r;
  while ((r = in.inputByte(b)) == kStreamOk)
    out += static_cast<char>(b);
  EXPECT_EQ(r, kStreamEnd);
  EXPECT_EQ(in.inputByte(b), kStreamEnd);
  EXPECT_EQ(in.inputByte(b), kStreamEnd);
  return out;
}

TEST(InputBytestream, MemoryStreamEndsCleanlyAndSeeks) {
  const std::vector<unsigned char> data = {1, 2, 3, 4, 5};
  MemoryInputBytestream in(data);
  EXPECT_EQ(in.size(), 5);
  unsigned char buffer[8] = {};
  EXPECT_EQ(in.readBytes(buffer, 1, 3), 3);
  EXPECT_EQ(buffer[1], 1);
  EXPECT_EQ(in.position(), 3);
  EXPECT_EQ(in.readBytes(buffer, 0, 8), 2);  // only two left
  EXPECT_EQ(drain(in), "");
  EXPECT_EQ(in.seek(100), kStreamOk);  // past the end reads as the end
  EXPECT_EQ(drain(in), "");
  EXPECT_EQ(in.seek(-1), kStreamFailure);
  EXPECT_EQ(in.seek(4), kStreamOk);
  EXPECT_EQ(drain(in), "\x05");

  MemoryInputBytestream empty(nullptr, 0);
  EXPECT_EQ(drain(empty), "");
  EXPECT_EQ(empty.readBytes(buffer, 0, 4), 0);
}

TEST(InputBytestream, FileStreamHonoursItsEndOffset) {
  std::istringstream source("header-DATA");
  FileInputBytestream in(source);
  EXPECT_EQ(in.size(), 11);
  EXPECT_EQ(in.seek(7), kStreamOk);
  EXPECT_EQ(in.position(), 7);
  in.setEndOffset(9);
  EXPECT_EQ(drain(in), "DA");
  unsigned char buffer[4];
  EXPECT_EQ(in.readBytes(buffer, 0, 4), 0);
  in.setEndOffset(-1);
  EXPECT_EQ(in.readBytes(buffer, 0, 4), 2);
  EXPECT_EQ(in.position(), 11);
  EXPECT_EQ(drain(in), "");

  std::istringstream failed("abc");
  failed.setstate(std::ios::badbit);
  FileInputBytestream broken(failed);
  unsigned char b;
  EXPECT_EQ(broken.inputByte(b), kStreamFailure);
  EXPECT_EQ(broken.size(), -1);
}

TEST(OutputBytestream, FixedBufferRefusesWhatDoesNotFit) {
  unsigned char buffer[4] = {};
  MemoryOutputBytestream out(buffer, 4);
  const unsigned char three[] = {1, 2, 3};
  EXPECT_EQ(out.outputBytes(three, 3), kStreamOk);
  EXPECT_EQ(out.outputBytes(three, 3), kStreamFailure);  // one byte fits, the rest does not
  EXPECT_EQ(out.outputByte(9), kStreamFailure);
  EXPECT_EQ(out.length(), 4);
  EXPECT_EQ(buffer[3], 1);

  MemoryOutputBytestream none(nullptr, 10);
  EXPECT_EQ(none.outputByte(1), kStreamFailure);
}

TEST(OutputBytestream, StandardAndVectorStreams) {
  std::ostringstream sink;
  FileOutputBytestream out(sink);
  const unsigned char text[] = {'o', 'k'};
  EXPECT_EQ(out.outputByte('>'), kStreamOk);
  EXPECT_EQ(out.outputBytes(text, 2), kStreamOk);
  EXPECT_EQ(out.flush(), kStreamOk);
  EXPECT_EQ(sink.str(), ">ok");

  std::ostringstream bad;
  bad.setstate(std::ios::badbit);
  FileOutputBytestream refused(bad);
  EXPECT_EQ(refused.flush(), kStreamFailure);

  std::vector<unsigned char> bytes;
  VectorOutputBytestream vec(bytes);
  EXPECT_EQ(vec.outputBytes(text, 2), kStreamOk);
  EXPECT_EQ(vec.outputByte('!'), kStreamOk);
  EXPECT_EQ(bytes, (std::vector<unsigned char>{'o', 'k', '!'}));
}

}  // namespace
}  // namespace stitchkit
