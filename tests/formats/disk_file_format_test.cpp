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

}  // namespace
}  // namespace stitchkit
