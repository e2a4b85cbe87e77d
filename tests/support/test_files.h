#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>

#include "stitchkit/platform/h_string.h"

namespace stitchkit::testing_support {

// A byte string from a list of byte values.
inline std::string bytesOf(std::initializer_list<int> values) {
  std::string out;
  for (int v : values)
    out += static_cast<char>(v);
  return out;
}

// Fixture base: each test works in a fresh directory of its own, removed afterwards.
class TempDirTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "stitchkit-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }

  HString path(const std::string& name) const { return fromNativePath((dir_ / name).string()); }
  void writeFile(const std::string& name, const std::string& bytes) const {
    std::ofstream out(dir_ / name, std::ios::binary);
    out << bytes;
  }
  // Contents of a file, or nothing when it does not exist.
  std::optional<std::string> readFile(const std::string& name) const {
    if (!std::filesystem::exists(dir_ / name)) return std::nullopt;
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir_;
};

}  // namespace stitchkit::testing_support
