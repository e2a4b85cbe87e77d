#include "stitchkit/platform/bytestream.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "stitchkit/decode/dst_decoder.h"
#include "tests/support/dst_test_records.h"

namespace stitchkit {
namespace {

// A file whose reads stop after `good` bytes though it is longer, as a disk error in the
// middle of a file shows through a stream buffer: the buffer answers it as the end.
class FailingFileBuffer final : public std::streambuf {
 public:
  FailingFileBuffer(std::string data, std::size_t good) : data_(std::move(data)) {
    setg(data_.data(), data_.data(), data_.data() + good);
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    if (off != 0) return pos_type(off_type(-1));
    return dir == std::ios_base::end ? pos_type(off_type(data_.size()))
                                     : pos_type(off_type(gptr() - eback()));
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
    if (off_type(pos) > egptr() - eback()) return pos_type(off_type(-1));
    setg(eback(), eback() + off_type(pos), egptr());
    return pos;
  }

 private:
  std::string data_;
};

TEST(InputBytestream, FileStreamTellsAFailedReadFromTheEnd) {
  FailingFileBuffer buffer("abcdefgh", 3);
  std::istream source(&buffer);
  FileInputBytestream in(source);
  unsigned char b = 0;
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(in.inputByte(b), kStreamOk);
  EXPECT_EQ(in.inputByte(b), kStreamFailure);
  unsigned char record[3];
  EXPECT_EQ(in.seek(1), kStreamOk);
  EXPECT_EQ(in.readExact(record, 3), kStreamFailure);
  in.setEndOffset(3);  // data that ends where the reads stop is the end
  EXPECT_EQ(in.inputByte(b), kStreamEnd);

  // A damaged design is a read failure, not a shorter design.
  const std::string design =
      testing_support::DstRecords().stitch(10, 0).stitch(20, 0).stitch(30, 0).end().bytes();
  FailingFileBuffer damaged(design, 4);
  std::istream file(&damaged);
  FileInputBytestream stream(file);
  StitchDecoderOptions o;
  setDefaultDecoderOptions(o);
  o.setFileFormat(kFormatDst);
  KorvanStitchDecoder decoder(o);
  decoder.setBytestream(stream);
  ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
  HStitch s;
  EXPECT_EQ(decoder.decodeStitch(s), kDecodeOk);
  EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
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
