#include "stitchkit/formats/disk_file_format.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace stitchkit {
namespace {}  // namespace
}  // namespace stitchkit
