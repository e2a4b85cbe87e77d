#include "stitchkit/machine/head_grouping.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace stitchkit {
namespace {

// The condition-block characters of the types, in type order.
const std::string kTypeCharacters = "123456789ABCDEFG";

TEST(HeadGroupTypeCode, EveryTypeHasOneCharacterAndBack) {
  for (int type = 0; type <= 15; ++type) {
    SCOPED_TRACE(type);
    const char expected = kTypeCharacters[static_cast<std::size_t>(type)];
    char code = '?';
    setHeadGroupTypeCode(static_cast<HeadGroupType>(type), code);
    EXPECT_EQ(code, expected);
    HeadGroupType read = kHeadGroupTypeLast;
    getHeadGroupTypeCode(expected, read);
    EXPECT_EQ(read, type);
  }
}

TEST(HeadGroupTypeCode, UnlistedCharactersReadAsTypeZeroAndOddTypesWriteAsOne) {
  for (int c = -128; c <= 127; ++c) {
    const char character = static_cast<char>(c);
    if (kTypeCharacters.find(character) != std::string::npos) continue;
    SCOPED_TRACE(c);
    HeadGroupType read = kHeadGroupTypeLast;
    getHeadGroupTypeCode(character, read);
    EXPECT_EQ(read, kHeadGroupTypeDefault);
  }
  for (const int type : {-1, 16, 17, 255, 1 << 20}) {
    SCOPED_TRACE(type);
    char code = '?';
    setHeadGroupTypeCode(static_cast<HeadGroupType>(type), code);
    EXPECT_EQ(code, '1');
  }
}

}  // namespace
}  // namespace stitchkit
