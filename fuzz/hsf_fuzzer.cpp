// Feeds arbitrary bytes to the HSF reader and checks what a caller relies on besides not
// crashing: a file that reads, written again with what was read, reads again with the same
// names and threads.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "stitchkit/files/hsf_file.h"
#include "stitchkit/platform/h_stream.h"

using namespace stitchkit;

namespace {

// A thread as its own serialisation, so that threads holding a NaN compare equal.
std::string serialised(const ThreadProperty& thread) {
  std::ostringstream out;
  {
    DefaultOutStream stream(&out, 0);
    thread.write(stream);
  }
  return out.str();
}

bool samePalette(const ThreadPalette& a, const ThreadPalette& b) {
  if (a.length() != b.length()) return false;
  for (int i = 0; i < a.length(); ++i) {
    if (serialised(a[i]) != serialised(b[i])) return false;
  }
  return true;
}

struct Read {
  int result = -1;
  HXArray<HStitch> stitches;
  HXArray<HString> names;
  ThreadPalette palette;
  StitchOptions options;
};

void readFrom(const std::string& bytes, Read& read) {
  std::istringstream in(bytes);
  HchInfoHeader header;
  if (readHchInfoHeader(in, header) == kHsfOk) {
    read.options.setFileFormat(convertHchInfoHeaderToFileFormat(header));
  }
  StitchArrayWrapper wrapper(read.stitches);
  StitchStats stats;
  double designValue = 0;
  read.result =
      decodeHsfStream(in, wrapper, read.options, stats, read.names, designValue, &read.palette);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Read first;
  readFrom(std::string(reinterpret_cast<const char*>(data), size), first);
  if (first.result != kHsfOk) return 0;

  std::stringstream out(std::ios::in | std::ios::out | std::ios::binary);
  StitchArrayWrapper wrapper(first.stitches);
  if (makeHsfStream(out, wrapper, first.palette, first.names, -1.0, &first.options, 0) !=
      kHsfOk) {
    return 0;
  }
  Read second;
  readFrom(out.str(), second);
  if (second.result != kHsfOk) __builtin_trap();
  if (!(second.names == first.names)) __builtin_trap();
  if (!samePalette(second.palette, first.palette)) __builtin_trap();
  return 0;
}
