#include "stitchkit/formats/file_format_registry.h"

#include <gtest/gtest.h>

#include <string>

namespace stitchkit {
namespace {

HString text(std::string_view s) {
  return utf8ToStr(std::string(s));
}

TEST(FileFormatRegistry, BreaksThePatternWhereTheTableDoes) {
  struct ExtCase {
    const char* ext;
    int code;
  };
  for (const ExtCase& c : std::initializer_list<ExtCase>{{".U07", 59},
                                                         {".u07", 59},
                                                         {".z15", 52},
                                                         {".U7", 90},
                                                         {".Ux7", 90},
                                                         {".DST", 90},
                                                         {".zsk", 3},
                                                         {"", 90}}) {
    EXPECT_EQ(HFileFormat::convertExtToFileFormat(text(c.ext)), c.code) << c.ext;
  }
  EXPECT_EQ(HFileFormat::convertFilterToFileFormat(text("*.SST")), kFormatNone);
  EXPECT_EQ(HFileFormat::convertFileFormatToExt(kFormatNone), HString());
  EXPECT_EQ(HFileFormat::convertFileFormatToExt(HDiskFileFormat(-1)), HString());

  struct CompatibleCase {
    int format;
    int target;
    std::uint32_t status;
  };
  for (const CompatibleCase& c :
       std::initializer_list<CompatibleCase>{{6, 0, kFileFormatCompatible},
                                             {0, 6, kFileFormatNotCompatible},
                                             {89, 89, kFileFormatCompatible},
                                             {41, 89, kFileFormatCompatible},
                                             {89, 41, kFileFormatNotCompatible},
                                             {53, 47, kFileFormatCompatible},
                                             {17, 3, kFileFormatCompatible},
                                             {3, 17, kFileFormatNotCompatible},
                                             {0, 90, kFileFormatNoFormat},
                                             {90, 0, kFileFormatNoFormat}}) {
    EXPECT_EQ(
        HFileFormat::isFileFormatCompatible(HDiskFileFormat(c.format), HDiskFileFormat(c.target)),
        c.status)
        << c.format << " as " << c.target;
  }
  EXPECT_EQ(HFileFormat::isFileFormatCompatibleWithExt(HDiskFileFormat(52), text(".zsk")),
            kFileFormatNotCompatible);
  EXPECT_EQ(HFileFormat::isFileFormatCompatibleWithExt(kFormatDst, text(".abc")),
            kFileFormatNoFormat);
}

TEST(FileFormatRegistry, FileFormatComesFromTheExtension) {
  EXPECT_EQ(HFileFormat::getFileFormatFromFile(HString(), 0), kFormatNone);
  EXPECT_EQ(HFileFormat::getFileFormatFromFile(text("a.b/design.dst"), 0), kFormatDst);
  EXPECT_EQ(HFileFormat::getFileFormatFromFile(text("no_such_dir/design.hsf"), 0), kFormatHsf);
  EXPECT_EQ(HFileFormat::getFileFormatFromFile(text("design.hsf"), 1), kFormatHsf);
  EXPECT_EQ(HFileFormat::getFileFormatFromFile(text("dir.dst/design"), 0), kFormatNone);
}

}  // namespace
}  // namespace stitchkit
