#include "stitchkit/formats/disk_file_format.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace stitchkit {
namespace {

// The code an extension reads as, from the table alone.
int codeReadFrom(std::string_view ext) {
  for (const DiskFormatInfo& row : diskFormatTable()) {
    for (std::string_view e : row.readFrom) {
      if (!e.empty() && e == ext) return row.code;
    }
    if (row.numberedLetter != 0 && ext.size() == 4 && ext[0] == '.' &&
        std::toupper(static_cast<unsigned char>(ext[1])) == row.numberedLetter &&
        std::isdigit(static_cast<unsigned char>(ext[2])) &&
        std::isdigit(static_cast<unsigned char>(ext[3]))) {
      return row.code;
    }
  }
  return kFormatNone;
}

TEST(DiskFileFormat, TableCoversEveryCodeButTheUnusedOnes) {
  std::set<int> codes;
  for (const DiskFormatInfo& row : diskFormatTable())
    codes.insert(row.code);
  for (int code = 0; code < 90; ++code) {
    const bool unused = code == 30 || code == 35 || code == 39 || code == 54;
    EXPECT_EQ(codes.count(code) == 0, unused) << code;
    EXPECT_EQ(findDiskFormat(code) == nullptr, unused) << code;
  }
  EXPECT_EQ(findDiskFormat(kFormatNone), nullptr);
  EXPECT_EQ(findDiskFormat(-1), nullptr);
  EXPECT_EQ(findDiskFormat(1000), nullptr);
}

TEST(DiskFileFormat, WrittenExtensionsReadBackIntoTheirFamily) {
  for (const DiskFormatInfo& row : diskFormatTable()) {
    if (row.writtenAs.empty() || row.writtenAs == ".") continue;
    const int back = codeReadFrom(row.writtenAs);
    SCOPED_TRACE(testing::Message() << "code " << row.code << " written as " << row.writtenAs);
    if (row.code == kFormatExpVariant10) {
      EXPECT_EQ(back, kFormatExp);
    } else if (row.family != DiskFormatFamily::kNone) {
      EXPECT_EQ(diskFormatFamily(back), row.family);
    } else {
      EXPECT_EQ(back, row.code);
    }
  }
}

TEST(DiskFileFormat, IrregularRowsHoldAsDocumented) {
  EXPECT_EQ(codeReadFrom(".zsk"), kFormatDsz);
  EXPECT_EQ(codeReadFrom(".Z00"), kFormatZskTransport);
  EXPECT_EQ(codeReadFrom(".u07"), kFormatU01);
  EXPECT_EQ(codeReadFrom(".U07"), kFormatU01);
  EXPECT_EQ(codeReadFrom(".U7"), kFormatNone);
  EXPECT_EQ(codeReadFrom(".Ux7"), kFormatNone);
  EXPECT_EQ(codeReadFrom(".pes"), kFormatPes);
  EXPECT_EQ(codeReadFrom("."), kFormatNoExtension);
  EXPECT_EQ(findDiskFormat(kFormatDst)->filters[2], "*.DST; *.KRV; *.KVB; *.KVC");
  EXPECT_TRUE(findDiskFormat(61)->filters[0].empty());
  for (int code : {34, 52, 65, 66, 67})
    EXPECT_TRUE(findDiskFormat(code)->writtenAs.empty());
  for (int code : {4, 7, 8, 9})
    EXPECT_EQ(findDiskFormat(code)->writtenAs, ".");

  // Filters are upper case except two.
  for (const DiskFormatInfo& row : diskFormatTable()) {
    for (std::string_view filter : row.filters) {
      if (filter.empty() || filter == "*.twn" || filter == "*.10o") continue;
      for (char c : filter)
        EXPECT_FALSE(std::islower(static_cast<unsigned char>(c))) << filter;
    }
  }
}

TEST(DiskFileFormat, FamiliesHaveTheirMembers) {
  const std::pair<DiskFormatFamily, std::set<int>> families[] = {
      {DiskFormatFamily::kDst, {0, 6, 15, 20}},
      {DiskFormatFamily::kDsb, {1, 16, 21}},
      {DiskFormatFamily::kDsz, {3, 17}},
      {DiskFormatFamily::kPes, {41, 42, 43, 44, 45, 46, 56, 57, 62, 76, 89}},
      {DiskFormatFamily::kEmd, {47, 53}},
  };
  for (int code = -1; code <= 95; ++code) {
    DiskFormatFamily expected = DiskFormatFamily::kNone;
    for (const auto& [family, members] : families) {
      if (members.count(code)) expected = family;
    }
    EXPECT_EQ(diskFormatFamily(code), expected) << code;
  }
}

}  // namespace
}  // namespace stitchkit
