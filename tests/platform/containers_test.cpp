#include <gtest/gtest.h>

#include "stitchkit/platform/h_array.h"

namespace stitchkit {
namespace {

std::vector<int> items(const HXArray<int>& a) {
  return {a.begin(), a.end()};
}

TEST(HXArray, GrowthUsesTheFillValueAndOutOfRangeEditsAreHarmless) {
  HXArray<int> a(-1);
  a.set(3, 7);
  EXPECT_EQ(items(a), (std::vector<int>{-1, -1, -1, 7}));
  a.set(-2, 9);  // ignored
  a.insert(99, 8);
  a.insert(-5, 1);
  EXPECT_EQ(items(a), (std::vector<int>{1, -1, -1, -1, 7, 8}));
  a.insert(2, 2, 5);
  EXPECT_EQ(items(a), (std::vector<int>{1, -1, 5, 5, -1, -1, 7, 8}));
  a.remove(6, 100);
  a.remove(-1, 2);
  a.remove(50);
  EXPECT_EQ(items(a), (std::vector<int>{1, -1, 5, 5, -1, -1}));
  a.setSize(2);
  a.resize(4, 0);
  EXPECT_EQ(items(a), (std::vector<int>{1, -1, 0, 0}));
  a.setAllocSize(100);
  EXPECT_GE(a.allocSize(), 100);
  a.clear();
  EXPECT_TRUE(a.isEmpty());
  EXPECT_GE(a.allocSize(), 100);
  a.reset();
  EXPECT_EQ(a.allocSize(), 0);
}

}  // namespace
}  // namespace stitchkit
