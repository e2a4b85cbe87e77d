#include "stitchkit/platform/h_stream.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"

#include <climits>
#include <functional>
#include <sstream>
#include <string>

namespace stitchkit {
namespace {

using testing_support::bytesOf;

// Runs `write` against a fresh output stream and returns the bytes it produced.
std::string written(const std::function<int(HStream&)>& write) {
  std::ostringstream sink;
  {
    DefaultOutStream out(&sink, 0);
    EXPECT_EQ(write(out), kHStreamOk);
  }
  return sink.str();
}

// A stream buffer that accepts at most `room` bytes, like a full disk.
class LimitedBuffer : public std::streambuf {
 public:
  explicit LimitedBuffer(std::size_t room) : room_(room) {}
  std::string data;

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    if (data.size() >= room_) return traits_type::eof();
    data += traits_type::to_char_type(c);
    return c;
  }

 private:
  std::size_t room_;
};

// An input stream that records its own destruction.
class TrackedInput : public std::istringstream {
 public:
  TrackedInput(const std::string& text, bool* destroyed)
      : std::istringstream(text), destroyed_(destroyed) {}
  ~TrackedInput() override { *destroyed_ = true; }

 private:
  bool* destroyed_;
};

class TrackedOutput : public std::ostringstream {
 public:
  explicit TrackedOutput(bool* destroyed) : destroyed_(destroyed) {}
  ~TrackedOutput() override { *destroyed_ = true; }

 private:
  bool* destroyed_;
};

TEST(HStreamIntegers, AreLittleEndianAndRoundTrip) {
  EXPECT_EQ(written([](HStream& s) { return writePByte(s, 0xAB); }), bytesOf({0xAB}));
  EXPECT_EQ(written([](HStream& s) { return writeShort(s, 0x1234); }), bytesOf({0x34, 0x12}));
  EXPECT_EQ(written([](HStream& s) { return writeShort(s, -2); }), bytesOf({0xFE, 0xFF}));
  EXPECT_EQ(written([](HStream& s) { return writeLong(s, 0x12345678); }),
            bytesOf({0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(written([](HStream& s) { return writeLong(s, INT32_MIN); }),
            bytesOf({0x00, 0x00, 0x00, 0x80}));

  // Reading sign-extends the 16- and 32-bit values and keeps the byte unsigned.
  std::istringstream source(bytesOf({0xFF, 0x01, 0x80, 0xFE, 0xFF, 0xFF, 0xFF}));
  DefaultInStream in(&source, 0);
  std::uint8_t b = 0;
  std::int16_t s = 0;
  std::int32_t l = 0;
  EXPECT_EQ(readPByte(in, b), kHStreamOk);
  EXPECT_EQ(b, 0xFF);
  EXPECT_EQ(readShort(in, s), kHStreamOk);
  EXPECT_EQ(s, static_cast<std::int16_t>(0x8001));
  EXPECT_EQ(readLong(in, l), kHStreamOk);
  EXPECT_EQ(l, -2);
}

TEST(HStreamIntegers, ShortReadFailsAndLeavesTheValue) {
  struct Case {
    int available;  // bytes in the stream
    int width;      // 1, 2 or 4
  };
  const Case cases[] = {{0, 1}, {0, 2}, {1, 2}, {0, 4}, {1, 4}, {3, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.available << " of " << c.width << " bytes");
    std::istringstream source(std::string(static_cast<std::size_t>(c.available), '\x11'));
    DefaultInStream in(&source, 0);
    std::uint8_t b = 7;
    std::int16_t s = 7;
    std::int32_t l = 7;
    const int r = c.width == 1   ? readPByte(in, b)
                  : c.width == 2 ? readShort(in, s)
                                 : readLong(in, l);
    EXPECT_NE(r, kHStreamOk);
    EXPECT_EQ(b, 7);
    EXPECT_EQ(s, 7);
    EXPECT_EQ(l, 7);
  }
}

TEST(HStreamIntegers, WriteToFullStreamFails) {
  LimitedBuffer buffer(3);
  std::ostream sink(&buffer);
  DefaultOutStream out(&sink, 0);
  EXPECT_EQ(writeShort(out, 0x0102), kHStreamOk);
  EXPECT_NE(writeLong(out, 0x03040506), kHStreamOk);  // only one byte of room left
  EXPECT_EQ(buffer.data, bytesOf({0x02, 0x01, 0x06}));
  EXPECT_EQ(out.write("x", 1), 0);  // the stream stays failed
}

TEST(HStreamIntegers, DirectionlessCallsMoveNothing) {
  std::istringstream source("abcd");
  DefaultInStream in(&source, 0);
  EXPECT_NE(writeLong(in, 1), kHStreamOk);
  std::ostringstream sink;
  DefaultOutStream out(&sink, 0);
  std::int32_t l = 0;
  EXPECT_NE(readLong(out, l), kHStreamOk);

  DefaultInStream none(nullptr, 1);
  char buffer[4];
  EXPECT_EQ(none.read(buffer, 4), 0);
  EXPECT_EQ(in.read(nullptr, 4), 0);
  EXPECT_EQ(in.read(buffer, -1), 0);
  EXPECT_EQ(in.read(buffer, 4), 4);  // the failed calls consumed nothing
}

TEST(HStreamOwnership, OwnedStreamsAreDeletedUnlessDetached) {
  bool destroyed = false;
  { DefaultInStream in(new TrackedInput("x", &destroyed), 1); }
  EXPECT_TRUE(destroyed);

  destroyed = false;
  TrackedInput borrowed("x", &destroyed);
  { DefaultInStream in(&borrowed, 0); }
  EXPECT_FALSE(destroyed);

  destroyed = false;
  auto* owned = new TrackedInput("abc", &destroyed);
  std::istream* back = nullptr;
  int own = -1;
  {
    DefaultInStream in(owned, 1);
    char c = 0;
    ASSERT_EQ(in.read(&c, 1), 1);
    in.detach(back, own);
    EXPECT_EQ(in.read(&c, 1), 0);  // nothing left to read from
    std::istream* again = owned;
    int ownAgain = -1;
    in.detach(again, ownAgain);  // a second detach hands back nothing
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(ownAgain, 0);
  }
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(back, owned);
  EXPECT_EQ(own, 1);
  EXPECT_EQ(back->get(), 'b');  // still usable where the reader left it
  delete back;
  EXPECT_TRUE(destroyed);
}

TEST(HStreamOwnership, OutputIsFlushedAndHandedBack) {
  bool destroyed = false;
  auto* sink = new TrackedOutput(&destroyed);
  std::ostream* back = nullptr;
  int own = 0;
  {
    DefaultOutStream out(sink, 1);
    ASSERT_EQ(writeShort(out, 0x4142), kHStreamOk);
    out.detach(back, own);
    EXPECT_EQ(out.write("x", 1), 0);
  }
  EXPECT_FALSE(destroyed);
  ASSERT_EQ(back, sink);
  EXPECT_EQ(own, 1);
  EXPECT_EQ(sink->str(), "BA");
  delete back;

  destroyed = false;
  { DefaultOutStream out(new TrackedOutput(&destroyed), 1); }
  EXPECT_TRUE(destroyed);
}

TEST(HStreamStrings, RoundTripAsCountedUtf8) {
  const HString texts[] = {HString(L""), HString(L"plain"),
                           HString(L"\u00C4rmel \u2702 \U0001D11E")};
  for (const HString& text : texts) {
    const std::string utf8 = strToUtf8(text);
    const std::string data = written([&](HStream& s) { return writeHString(s, text); });
    ASSERT_EQ(data.size(), 4 + utf8.size());
    EXPECT_EQ(static_cast<unsigned char>(data[0]), utf8.size());
    EXPECT_EQ(data.substr(1, 3), std::string(3, '\0'));
    EXPECT_EQ(data.substr(4), utf8);

    std::istringstream source(data + "rest");
    DefaultInStream in(&source, 0);
    HString back(L"unchanged");
    EXPECT_EQ(readHString(in, back, static_cast<int>(utf8.size())), kHStreamOk);
    EXPECT_EQ(back, text);
    char rest[4];
    EXPECT_EQ(in.read(rest, 4), 4);  // exactly the string was consumed
  }
}

TEST(HStreamStrings, BadCountsAndShortDataFail) {
  struct Case {
    const char* what;
    std::string data;
    int maxBytes;
    int expected;
  };
  // clang-format off
  const Case cases[] = {
      {"count above the cap", bytesOf({5, 0, 0, 0}) + "hello", 4, kHStreamBadLength},
      {"negative count", bytesOf({0xFF, 0xFF, 0xFF, 0xFF}) + "x", 100, kHStreamBadLength},
      {"body cut short", bytesOf({5, 0, 0, 0}) + "hel", 100, kHStreamShort},
      {"count cut short", bytesOf({5, 0}), 100, kHStreamShort},
      {"huge count, little data", bytesOf({0xFF, 0xFF, 0xFF, 0x7F}) + "abc", INT_MAX, kHStreamShort},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::istringstream source(c.data);
    DefaultInStream in(&source, 0);
    HString text(L"unchanged");
    EXPECT_EQ(readHString(in, text, c.maxBytes), c.expected);
    EXPECT_EQ(text, L"unchanged");
  }
}

}  // namespace
}  // namespace stitchkit
