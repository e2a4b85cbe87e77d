// The outline-file header: version classes, the image and attached files through both reading
// layouts, and the refusals of its reader.

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "stitchkit/formats/kwk_header.h"

namespace stitchkit {
namespace {

std::string bytesOf(const KwkHeader& header) {
  std::ostringstream out;
  {
    DefaultOutStream stream(&out, 0);
    EXPECT_EQ(header.write(stream), kKwkOk);
  }
  return out.str();
}

int readInto(KwkHeader& header, const std::string& bytes, bool old = false) {
  std::istringstream in(bytes);
  DefaultInStream stream(&in, 0);
  return old ? header.read880(stream) : header.read(stream);
}

std::string word(int value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

TEST(KwkHeader, VersionClasses) {
  const std::pair<const char*, int> rows[] = {
      {"V3.06", 0}, {"v3.07", 1}, {"V3.89", 1}, {"V3.90", 2}, {"V4.06", 3}, {"V6.39", 4},
      {"V7.00", 5}, {"V7.77", 6}, {"V7.78", 7}, {"V8.80", 7}, {"V8.81", 8}, {"V9.00", 8},
  };
  for (const auto& [text, expected] : rows) {
    KwkHeader header;
    std::memcpy(header.image.data(), text, 5);
    EXPECT_EQ(header.checkVersion(), expected) << text;
  }
}

TEST(KwkHeader, ImageAndAttachedFilesReadBackThroughBothLayouts) {
  KwkHeader fresh;
  const std::string written = bytesOf(fresh);
  // A fresh image: floats 1.0 at 60..72 and 50.0 at 102, words 100, 100, 40 and 2, count 0.
  ASSERT_EQ(written.size(), kwk::kImageSize + 2);
  EXPECT_EQ(written.substr(60, 4), std::string("\0\0\x80\x3f", 4));
  EXPECT_EQ(written.substr(80, 4), word(100) + word(100));
  EXPECT_EQ(written.substr(90, 2), word(40));
  EXPECT_EQ(written.substr(98, 2), word(2));
  EXPECT_EQ(written.substr(102, 4), std::string("\0\0\x48\x42", 4));
  EXPECT_EQ(written.substr(118), word(0));

  // Two attached files, the second stored with a length above 130, and a zero float at 102
  // with its fallback 25 at 84.
  std::string image = written.substr(0, kwk::kImageSize);
  image.replace(84, 2, word(25));
  image.replace(102, 4, std::string(4, '\0'));
  const std::string files = word(2) + word(3) + "abc" + word(140) + std::string(140, 'x');
  KwkHeader header;
  ASSERT_EQ(readInto(header, image + files), kKwkOk);
  ASSERT_EQ(header.attachedFiles().size(), 2u);
  EXPECT_EQ(std::string(header.attachedFiles()[0].begin(), header.attachedFiles()[0].begin() + 4),
            std::string("abc\0", 4));
  EXPECT_EQ(header.attachedFiles()[1][129], 'x');
  float fallback = 0;
  std::memcpy(&fallback, header.image.data() + 102, 4);
  EXPECT_EQ(fallback, 25.0f);
  const KwkHeader copy = header;
  EXPECT_EQ(bytesOf(copy), bytesOf(header));

  // The older layout has 8 more bytes after offset 101.
  std::string old = image.substr(0, 102) + std::string(8, '?') + image.substr(102) + word(0);
  KwkHeader fromOld;
  ASSERT_EQ(readInto(fromOld, old, true), kKwkOk);
  EXPECT_EQ(fromOld.image, header.image);
}

TEST(KwkHeader, RefusedInput) {
  const std::string image(kwk::kImageSize, '\0');
  const std::pair<std::string, int> rows[] = {
      {image.substr(0, 117), kKwkShortRead},
      {image, kKwkShortRead},  // no count
      {image + word(5), kKwkTooManyFiles},
      {image + word(1) + word(130) + std::string(129, 'x'), kKwkShortRead},
  };
  for (const auto& [bytes, expected] : rows) {
    KwkHeader header;
    EXPECT_EQ(readInto(header, bytes), expected) << bytes.size();
    EXPECT_TRUE(header.attachedFiles().empty());
  }
  EXPECT_EQ(isOldOutlineFile(HString(L"a/b.kWk")), 1);
  EXPECT_EQ(isOldOutlineFile(HString(L"a/b.kwk.dst")), 0);
  const KwkFileEntry entry(3, 1, 1.5f, -2.0f);
  std::stringstream io;
  {
    DefaultOutStream out(&io, 0);
    out << entry;
  }
  EXPECT_EQ(io.str().size(), 12u);
  KwkFileEntry back;
  DefaultInStream in(&io, 0);
  in >> back;
  EXPECT_EQ(back, entry);
  EXPECT_EQ(back.fdata2(), -2.0f);
}

}  // namespace
}  // namespace stitchkit
