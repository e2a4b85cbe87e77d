#include "stitchkit/machine/head_grouping.h"

namespace stitchkit {

namespace {

// Types 1 to 8 are written as the digits '2' to '9', types 9 to 15 as the letters 'A' to 'G';
// type 0 (and anything unreadable) is '1'.
constexpr int kLastDigitType = 8;

}  // namespace

void getHeadGroupTypeCode(char code, HeadGroupType& type) {
  int value = 0;
  if (code >= '2' && code <= '9') {
    value = code - '1';
  } else if (code >= 'A' && code <= 'G') {
    value = code - 'A' + kLastDigitType + 1;
  }
  type = static_cast<HeadGroupType>(value);
}

void setHeadGroupTypeCode(const HeadGroupType& type, char& code) {
  const int value = type;
  if (value >= 1 && value <= kLastDigitType) {
    code = static_cast<char>('1' + value);
  } else if (value > kLastDigitType && value <= kHeadGroupTypeLast) {
    code = static_cast<char>('A' + (value - kLastDigitType - 1));
  } else {
    code = '1';
  }
}

}  // namespace stitchkit
