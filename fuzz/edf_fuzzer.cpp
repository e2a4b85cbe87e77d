// Feeds arbitrary bytes to the EDF package readers (the member and statistics extractors and
// the design reader). With the first byte even the rest is the package as it stands; with it
// odd the rest is a plain payload, enciphered into a well-formed envelope first, so that the
// directory's offsets and lengths reach the readers whatever the cipher would make of them.
// Besides not crashing, every call must leave the temporary directory empty and extract no
// member longer than the payload.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "stitchkit/files/edf_package.h"

using namespace stitchkit;

namespace {

// A directory of this process's own, with the temporary directory the library uses inside it.
const std::filesystem::path& workDirectory() {
  static const std::filesystem::path directory = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "edf-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    const std::filesystem::path made(pattern);
    std::filesystem::create_directory(made / "tmp");
    ::setenv("TMPDIR", (made / "tmp").c_str(), 1);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(workDirectory(), ignored);
    });
    return made;
  }();
  return directory;
}

HString inWork(const char* name) {
  return fromNativePath((workDirectory() / name).string());
}

std::uintmax_t sizeOf(const char* name) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(workDirectory() / name, error);
  return error ? 0 : size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool enciphered = (data[0] & 1) != 0;
  {
    std::ofstream out(workDirectory() / (enciphered ? "plain" : "package.edf"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  if (enciphered && EncryptEDFFile(inWork("plain"), inWork("package.edf")) != 1) std::abort();

  const std::uintmax_t limit = size + 128;
  const HString package = inWork("package.edf");
  makeKVBFromEDFFile(package, inWork("member"));
  if (sizeOf("member") > limit) std::abort();
  makeCT0FromEDFFile(package, inWork("member"));
  if (sizeOf("member") > limit) std::abort();
  makeIconFromEDFFile(package, inWork("member"));
  if (sizeOf("member") > limit) std::abort();
  StitchStats stats;
  HString name;
  makeStatsFromEDFFile(package, stats, name);
  if (name.length() > 16) std::abort();

  HXArray<HStitch> stitches;
  StitchArrayWrapper wrapper(stitches);
  StitchOptions options;
  options.setFileFormat(kFormatEdf);
  HXArray<HString> lines;
  HeadGrouping grouping;
  MachineRepeatSettings repeat;
  ThreadPalette palette;
  EdfMembers members;
  decodeEDFFile(package, wrapper, options, stats, lines, grouping, repeat, &palette, &members);
  for (const std::size_t length : {members.kvb, members.ct0, members.graphics, members.ad0}) {
    if (length > size) std::abort();
  }

  if (!std::filesystem::is_empty(workDirectory() / "tmp")) std::abort();
  std::error_code ignored;
  std::filesystem::remove(workDirectory() / "member", ignored);
  return 0;
}
