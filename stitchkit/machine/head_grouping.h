#pragma once

#include <array>
#include <cstdint>

namespace stitchkit {

// Which heads of a multi-head machine sew a design. Carried in the machine condition block as
// one character (see getHeadGroupTypeCode). Only type 8, the free pattern, stores a pattern of
// heads; the other types are fixed groupings known to the machine. Any value 0 to 15 may be
// held, named or not.
enum HeadGroupType : std::int32_t {
  kHeadGroupTypeDefault = 0,
  kHeadGroupTypeFreePattern = 8,
  kHeadGroupTypeLast = 15,
};

// An 8 by 8 grid of flags for one head, element row * 8 + column, each 0 or 1.
struct HeadPattern {
  static constexpr int kSide = 8;
  static constexpr int kElements = kSide * kSide;

  HeadPattern() { clear(); }

  // Every element back to 0.
  void clear() { elements.fill(0); }

  std::array<std::uint8_t, kElements> elements;
};

// The head grouping of a design: its type, for the free-pattern type one pattern for each of
// up to 20 heads, and the number of heads the patterns describe. A plain record; copying and
// assignment copy all three members.
struct HeadGrouping {
  static constexpr int kMaxHeads = 20;

  // Type 0, every pattern cleared, head count 0.
  HeadGrouping() = default;

  HeadGroupType type = kHeadGroupTypeDefault;
  std::array<HeadPattern, kMaxHeads> patterns;
  std::uint16_t headCount = 0;
};

// The type that the condition-block character `code` stands for: '1' is 0, '2' to '9' are 1
// to 8, 'A' to 'G' are 9 to 15; any other character is 0.
void getHeadGroupTypeCode(char code, HeadGroupType& type);
// The character for `type`, the reverse of getHeadGroupTypeCode; '1' for any type outside 1
// to 15.
void setHeadGroupTypeCode(const HeadGroupType& type, char& code);

}  // namespace stitchkit
