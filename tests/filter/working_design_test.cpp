#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "stitchkit/filter/working_design.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_wrapper.h"

namespace stitchkit {
namespace {

// Random edits near a moving position, as the encode walk makes them, applied both to the gap
// buffer and to a plain vector; the two must always hold the same design, also when the gap
// has to move back over insertions and when the design goes back to its container.
TEST(WorkingDesign, RandomEditsNearAWalkMatchAPlainArray) {
  std::mt19937 random(7);
  HXArray<HStitch> array;
  std::vector<short> model;
  for (short k = 0; k < 300; ++k) {
    array.add(HStitch(k, 0));
    model.push_back(k);
  }
  StitchArrayWrapper wrapper(array);
  detail::WorkingDesign design;
  design.bind(wrapper);
  EXPECT_EQ(array.length(), 0) << "the container is empty while the design is worked on";

  short next = 1000;
  int walk = 0;
  for (int step = 0; step < 4000 && !model.empty(); ++step) {
    walk = std::clamp(walk + std::uniform_int_distribution<int>(-3, 5)(random), 0,
                      static_cast<int>(model.size()) - 1);
    const int at = std::clamp(walk + std::uniform_int_distribution<int>(-4, 4)(random), 0,
                              static_cast<int>(model.size()) - 1);
    switch (std::uniform_int_distribution<int>(0, 4)(random)) {
      case 0:
        design.insert(at, HStitch(next, 1));
        model.insert(model.begin() + at, next++);
        break;
      case 1: {
        const int count = std::uniform_int_distribution<int>(1, 3)(random);
        design.remove(at, count);
        model.erase(model.begin() + at,
                    model.begin() + std::min<int>(at + count, static_cast<int>(model.size())));
        break;
      }
      case 2: {
        const int n = std::uniform_int_distribution<int>(0, 4)(random);
        const int old = std::min<int>(2, static_cast<int>(model.size()) - at);
        design.replace(at, old, n, [&](int k, HStitch& out) { out = HStitch(next + k, 2); });
        model.erase(model.begin() + at, model.begin() + at + old);
        for (int k = 0; k < n; ++k)
          model.insert(model.begin() + at + k, static_cast<short>(next + k));
        next = static_cast<short>(next + n);
        break;
      }
      case 3: {
        const int last = std::min<int>(at + 3, static_cast<int>(model.size()) - 1);
        const std::span<const HStitch> run = design.range(at, last);
        ASSERT_EQ(run.size(), static_cast<std::size_t>(last - at + 1));
        for (int k = at; k <= last; ++k)
          ASSERT_EQ(run[static_cast<std::size_t>(k - at)].xval(), model[k]) << "step " << step;
        break;
      }
      default:
        design.replaceOne(at, HStitch(next, 3));
        model[at] = next++;
        break;
    }
    ASSERT_EQ(design.length(), static_cast<int>(model.size())) << "step " << step;
    ASSERT_EQ(design[at < design.length() ? at : 0].xval(), model[at < design.length() ? at : 0]);
  }

  design.unbind();
  ASSERT_EQ(array.length(), static_cast<int>(model.size()));
  for (int k = 0; k < array.length(); ++k)
    EXPECT_EQ(array[k].xval(), model[k]) << k;
}

// A walk over a design of megabytes, as the writer makes it: runs passed over, groups
// replaced by more stitches, now and then an insertion behind the walk. The memory behind the
// gap is given back as the walk goes; the design must come out whole.
TEST(WorkingDesign, AWalkOverALargeDesignKeepsEveryStitch) {
  constexpr int kStitches = 400000;
  HXArray<HStitch> array;
  for (int k = 0; k < kStitches; ++k)
    array.add(HStitch(static_cast<short>(k % 30000), static_cast<short>(k / 30000)));
  StitchArrayWrapper wrapper(array);
  detail::WorkingDesign design(1024);
  design.bind(wrapper);
  std::vector<std::pair<short, short>> model;
  int i = 0;
  while (i < design.length()) {
    const std::span<const HStitch> run = design.afterGap(i, 700);
    ASSERT_FALSE(run.empty());
    for (const HStitch& s : run)
      model.emplace_back(s.xval(), s.yval());
    design.passOver(static_cast<int>(run.size()));
    i += static_cast<int>(run.size());
    if (i >= design.length()) break;
    // One stitch becomes two; every fifth time a stitch goes in well behind the walk.
    const HStitch next = design[i];
    design.replace(i, 1, 2, [&](int k, HStitch& out) {
      out = HStitch(static_cast<short>(-1 - k), next.yval());
    });
    model.emplace_back(-1, next.yval());
    model.emplace_back(-2, next.yval());
    i += 2;
    if (i % 5 == 0 && i > 5000) {
      design.insert(i - 5000, HStitch(-3, -3));
      model.insert(model.begin() + (i - 5000), {-3, -3});
      ++i;
      design.replace(i, 0, 0, [](int, HStitch&) {});  // the gap back to the walk
    }
  }
  design.unbind();
  ASSERT_EQ(array.length(), static_cast<int>(model.size()));
  for (int k = 0; k < array.length(); ++k)
    ASSERT_EQ(std::make_pair(array[k].xval(), array[k].yval()), model[static_cast<std::size_t>(k)])
        << k;
}

}  // namespace
}  // namespace stitchkit
