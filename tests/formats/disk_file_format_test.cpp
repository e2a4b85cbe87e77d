#include "stitchkit/formats/disk_file_format.h"

#include <gtest/gtest.h>

#include <cctype>
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
  for (int code : {30, 35, 39, 54, int{kFormatNone}, -1, 1000})
    EXPECT_EQ(findDiskFormat(code), nullptr) << code;
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

}  // namespace
}  // namespace stitchkit
