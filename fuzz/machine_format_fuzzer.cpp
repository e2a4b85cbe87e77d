// Loads arbitrary bytes as an installed machine format profile and writes a design with what
// was loaded, as the command-line tool does with --machine. Checks what a host relies on: an
// existing profile loads with result 0 whatever it holds, the catalogue's searches over it
// give their documented results, and the write ends in a result of the writing entry point,
// whatever the loaded options say.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "stitchkit/files/write_design.h"
#include "stitchkit/machine/machine_format_catalogue.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/platform/settings_file_host.h"

namespace {

using namespace stitchkit;

void check(bool condition) {
  if (!condition) std::abort();
}

// A folder of this process's own, removed at exit, holding the profile and the written file.
// A plain array, so that it outlives the static objects that exit destroys first.
char workFolderPath[4096];

void removeWorkFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(workFolderPath, ignored);
}

std::string workFolder() {
  if (workFolderPath[0] == '\0') {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "stitchkit-machine-fuzz-XXXXXX").string();
    check(pattern.size() < sizeof workFolderPath && ::mkdtemp(pattern.data()) != nullptr);
    pattern.copy(workFolderPath, pattern.size());
    std::atexit(removeWorkFolder);
  }
  return workFolderPath;
}

// A design that needs what machines differ in: long moves, trims, a stop and 20 needles.
HXArray<HStitch> design() {
  HXArray<HStitch> stitches;
  short x = 0;
  for (int needle = 0; needle < 20; ++needle) {
    stitches.add(HStitch(x, 0, StitchCode::ChangeNeedle, static_cast<unsigned short>(needle)));
    for (int i = 0; i < 6; ++i) {
      x = static_cast<short>(x + (i % 3 == 0 ? 3 : 40));
      stitches.add(HStitch(x, static_cast<short>(i * 7), StitchCode::Normal,
                           static_cast<unsigned short>(needle)));
    }
    stitches.add(HStitch(x, 0, StitchCode::Trim, static_cast<unsigned short>(needle)));
    x = static_cast<short>(x + 300);
    stitches.add(HStitch(x, 0, StitchCode::Jump, static_cast<unsigned short>(needle)));
    if (needle == 10) stitches.add(HStitch(x, 0, StitchCode::Stop, 10));
  }
  stitches.add(HStitch(x, 0, StitchCode::DesignEnd, 19));
  return stitches;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string folder = workFolder();
  static SettingsFileHost host(fromNativePath(folder), fromNativePath(folder + "/settings.ini"),
                               defaultMachineFormatDisplayName);
  setConsoleApp(&host);
  {
    std::ofstream profile(folder + "/machine.ini", std::ios::binary | std::ios::trunc);
    profile.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  StitchOptions options;
  check(GetMachineFormatOptions(HString(L"machine"), options) == kMachineFormatOk);

  const HDiskFileFormat format = options.getFileFormat();
  HString name;
  StitchOptions best;
  const int chosen = GetBestCompatibleMachineFormat(format, name, best);
  check(chosen == kMachineFormatOk || chosen == kMachineFormatNotSupported ||
        chosen == kMachineFormatInvalidParameter);
  if (chosen == kMachineFormatOk && name == HString(L"machine")) check(best == options);
  HList<HString> list;
  check(GetCompatibleMachineFormats(format, list, name) == kMachineFormatOk);

  // Written in the machine's format when this build writes it, else as DST: the record still
  // chooses the encoder, and a record that does not suit the format is refused, not obeyed.
  const HDiskFileFormat target = writesFormat(format) ? format : kFormatDst;
  HXArray<HStitch> stitches = design();
  HXArray<HString> names;
  const int written = makeStitchFormatFile(fromNativePath(folder + "/out"), target, stitches,
                                           ThreadPalette(), names, 1, &options);
  check(written == kWriteOk || written == kWriteFailed || written == kWriteIncompatible ||
        written == kWriteNoContainerWriter);
  setConsoleApp(nullptr);
  return 0;
}
