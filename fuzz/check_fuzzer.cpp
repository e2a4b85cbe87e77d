// Checks arbitrary bytes as a design file. The first byte picks the name the file is given
// (and so its format and the machine format checked against) and the field; the rest is the
// file, written to a temporary folder of this process.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "stitchkit/jobs/design_check.h"

namespace {

using namespace stitchkit;

void check(bool condition) {
  if (!condition) std::abort();
}

// A folder of this process, removed when it exits. The path is never destroyed, so that the
// exit handler can still read it.
const std::filesystem::path& scratchFolder() {
  static const std::filesystem::path* const folder = [] {
    auto* p = new std::filesystem::path(std::filesystem::temp_directory_path() /
                                        ("stitchkit-check-fuzz-" + std::to_string(::getpid())));
    std::filesystem::create_directories(*p);
    return p;
  }();
  static const bool removedAtExit = std::atexit([] {
                                      std::error_code ignored;
                                      std::filesystem::remove_all(*folder, ignored);
                                    }) == 0;
  (void)removedAtExit;
  return *folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The seeds written for DST use 0.
  constexpr const char* kNames[] = {"design.dst", "design.exp", "design.dsb", "design.dsz"};
  const std::filesystem::path file = scratchFolder() / kNames[data[0] & 0x03];
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  CheckLimits limits;
  if (data[0] & 0x04) limits.fieldWidthMm = limits.fieldHeightMm = 10.0 + (data[0] >> 3);

  std::vector<CheckFinding> findings;
  const int result = checkDesignFile(file.string(), nullptr, limits, findings);
  // A file that cannot be read says so in exactly one error finding, and one that can is
  // never called unreadable.
  const auto unreadable =
      static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                     [](const CheckFinding& f) { return f.code == "unreadable"; }));
  check(unreadable == (result != 0 ? 1 : 0));
  if (result != 0) check(hasCheckError(findings));
  for (const CheckFinding& f : findings)
    check(!f.code.empty() && !f.message.empty());
  // The check never changes the file.
  check(std::filesystem::file_size(file) == size - 1);
  return 0;
}
