// Feeds arbitrary bytes to the compound-file stream reader, as an EMB file's preview is read.
// Besides not crashing or running away on a looping chain: a stream read is never longer than
// the file, and a failed read leaves the output untouched.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "stitchkit/platform/compound_file.h"

using namespace stitchkit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  for (const char16_t* name : {u"DESIGN_ICON", u"Contents"}) {
    std::vector<std::uint8_t> stream = {42};
    const int result = readCompoundStream(file, name, stream);
    if (result == kCompoundOk && stream.size() > size) std::abort();
    if (result != kCompoundOk && (stream.size() != 1 || stream[0] != 42)) std::abort();
  }
  return 0;
}
