#include <gtest/gtest.h>

#include "stitchkit/platform/h_array.h"

namespace stitchkit {
namespace {}  // namespace
}  // namespace stitchkit
