#pragma once

#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// A stitch format recognised from a file's bytes, and whether its records follow the 512-byte
// header (the reading entry points' skipHeader).
struct DetectedFormat {
  HDiskFileFormat format = kFormatNone;
  bool headed = false;
};

// Which stitch format the file at `path` holds, judged from its first bytes, for files whose
// name says nothing or says wrong. Recognised: an HSF file's information header (of a "V9"
// version, naming its records), the 512-byte header of the DST, DSB and DSZ
// files ("LA:" first) followed by DST, Barudan or Zangs records, the same records from byte 0,
// and Exp records. A format fits when its first records (up to 256) are all well formed; Exp,
// whose records carry no check bits, when the whole file (up to 16 MiB) is Exp records.
// `expected` (the format the name reads as, or kFormatNone) is returned when it fits; otherwise
// the first format that fits, in the order above; kFormatNone when none does or the file
// cannot be read. Exp records, which other makers' formats share, are taken only when
// `expected` is Exp, kFormatNone or kFormatNoExtension. Codes of the DST, DSB and DSZ families
// count as their family's head.
DetectedFormat detectStitchFormatFromContent(const HString& path, HDiskFileFormat expected);

}  // namespace stitchkit
