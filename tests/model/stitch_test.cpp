#include "stitchkit/model/stitch.h"

#include <gtest/gtest.h>

namespace stitchkit {
namespace {

TEST(HStitch, PlainStitchIsSmall) { EXPECT_LE(sizeof(HStitch), 24u); }

}  // namespace
}  // namespace stitchkit
