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

}  // namespace
}  // namespace stitchkit
