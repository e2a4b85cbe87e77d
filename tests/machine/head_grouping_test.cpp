#include "stitchkit/machine/head_grouping.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "stitchkit/machine/machine_repeat_settings.h"

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

TEST(HeadGrouping, StartsClearedAndCopiesEverything) {
  const HeadGrouping fresh;
  EXPECT_EQ(fresh.type, kHeadGroupTypeDefault);
  EXPECT_EQ(fresh.headCount, 0);
  for (const HeadPattern& pattern : fresh.patterns) {
    for (const auto element : pattern.elements)
      EXPECT_EQ(element, 0);
  }

  HeadGrouping grouping;
  grouping.type = kHeadGroupTypeFreePattern;
  grouping.headCount = 20;
  grouping.patterns[19].elements[63] = 1;
  grouping.patterns[0].elements[0] = 1;
  HeadGrouping copy;
  copy = grouping;
  EXPECT_EQ(copy.type, kHeadGroupTypeFreePattern);
  EXPECT_EQ(copy.headCount, 20);
  EXPECT_EQ(copy.patterns[19].elements[63], 1);
  EXPECT_EQ(copy.patterns[0].elements[0], 1);

  copy.patterns[19].clear();
  for (const auto element : copy.patterns[19].elements)
    EXPECT_EQ(element, 0);
  EXPECT_EQ(copy.patterns[0].elements[0], 1) << "clear touches one pattern only";
}

TEST(HeadGroupingRepeatSettings, StartWithOneCopyAlongEachAxisSwitchedOff) {
  const MachineRepeatSettings r;
  EXPECT_EQ(r.direction, 0);
  EXPECT_EQ(r.firstCount, 1);
  EXPECT_EQ(r.secondCount, 1);
  EXPECT_EQ(r.firstAxisFlag, 0);
  EXPECT_EQ(r.secondAxisFlag, 0);
  EXPECT_EQ(r.reserved1, 0.0);
  EXPECT_EQ(r.reserved2, 0.0);
  EXPECT_EQ(r.firstOffset, 0.0);
  EXPECT_EQ(r.secondOffset, 0.0);
  EXPECT_EQ(r.enabled, 0);
  EXPECT_EQ(r.colour, 0xC7C7C7u);
}

}  // namespace
}  // namespace stitchkit
