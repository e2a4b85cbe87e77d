#pragma once

#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/h_string.h"

// The chenille condition file (".CC0") that travels beside a design for machines with
// chenille heads: one 5-byte line, ended by CR, for each chenille command and for each other
// machine command of the design; no header, no end mark.
//
//   chenille line: 'a' to 'f' (colour modulo 6), 'C' chain or 'L' moss, the height (the
//                  stitch's data word, at most 9) as a digit, '-', CR
//   needle line:   (colour modulo 15) + 1 as '1' to '9' or 'A' to 'F', "---", CR
namespace stitchkit {

// Results of makeChenilleConditionFile.
inline constexpr int kChenilleFileOk = 0;
inline constexpr int kChenilleFileWriteFailed = 2;  // the file did not open or a byte failed

// Writes the chenille condition file for `stitches` at `path` with its extension replaced by
// ".CC0". The first normal stitch before any line stands for `chenille` (a chain or moss
// command gives a chenille line, anything else a needle line). With `keepRepeats` zero a chain
// directly after a chain line, or moss after moss, writes nothing. Sewing, moving and trim
// commands write nothing and end such a run. `stitches` is only read.
int makeChenilleConditionFile(const HString& path, StitchWrapper& stitches, const HStitch& chenille,
                              int keepRepeats);

}  // namespace stitchkit
