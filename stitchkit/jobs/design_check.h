#pragma once

#include <optional>
#include <string>
#include <vector>

#include "stitchkit/model/stitch_options.h"

// Checking a design file before it goes to a machine: whether it will load and sew as meant.
//
// The file is read as the machine reads it, with the machine format's options, and compared
// with what that machine can do. Every finding has a severity, a stable code that scripts and
// tests match on, and a sentence in English. The check reads the file once, takes time and
// memory linear in the design, and never writes.
namespace stitchkit {

enum class CheckSeverity {
  kError,    // the machine would refuse the file, stop, or sew something other than meant
  kWarning,  // the design sews, but something in it is likely not what was meant
  kNote,     // what the check assumed (the machine format it used)
};

// "error", "warning" or "note".
const char* checkSeverityName(CheckSeverity severity);

// One finding. Codes:
//   unreadable            the file cannot be read, or a record stops reading (error)
//   machine-format        the machine format reads another file format (error), or which
//                         machine format was used (note)
//   header-unreadable     a 512-byte header without its fields (warning)
//   header-stitch-count   ST does not match the records (warning)
//   header-colour-count   CO does not match the colour changes read (warning)
//   header-extents        +X -X +Y -Y smaller than the design reaches (error: a machine
//                         checks its frame limits by them) or larger (warning)
//   header-end-offset     AX AY do not match the end point (warning)
//   end-record            the records stop without an end record (error)
//   after-end             bytes after the end record other than one 0x1A terminator (warning)
//   move-too-long         a move beyond the machine format's HardLength (error for the
//                         machine's own record formats, warning for other makers' designs)
//   needle-limit          a needle above the machine format's MaxNeedles: error when the
//                         records name needles, warning when the machine folds them
//   field-size            the design is larger than the field (error)
//   field-position        it fits the field only away from its start point (warning)
//   trim-not-expressible, sequin-not-expressible, chenille-not-expressible
//                         commands the machine format has no way to give (warning)
//   long-stitch           a sewn stitch longer than 12.1 mm (warning)
//   zero-length-run       several stitches in a row that do not move (warning)
//   start-away            the design starts far outside its stitches (warning)
struct CheckFinding {
  CheckSeverity severity = CheckSeverity::kError;
  std::string code;
  std::string message;
};

// The field (hoop or frame) the design must fit, in millimetres, centred on the design's start
// point; either side may be left open.
struct CheckLimits {
  std::optional<double> fieldWidthMm;
  std::optional<double> fieldHeightMm;
};

// Checks the design file at `utf8Path` against the machine format `machine` (the catalogue's
// best for the file's format when null) and the limits, appending findings in file order of
// their kind. Returns 0 when the file was read (findings may still hold errors), or the
// reading result of decodeFile (read_design.h) when it could not be read, with one
// "unreadable" error finding saying why.
int checkDesignFile(const std::string& utf8Path, const StitchOptions* machine,
                    const CheckLimits& limits, std::vector<CheckFinding>& findings);

// True when any finding is an error: the file would stop the machine.
bool hasCheckError(const std::vector<CheckFinding>& findings);

}  // namespace stitchkit
