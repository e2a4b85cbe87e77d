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

}  // namespace
}  // namespace stitchkit
