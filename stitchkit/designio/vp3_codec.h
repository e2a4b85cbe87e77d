#pragma once

#include <string>
#include <string_view>

#include "stitchkit/designio/st_des.h"

// The VP3 design file (layout in vp3_layout.h).
namespace stitchkit {

// Replaces the design's points and threads with those of a VP3 file's bytes: one thread per
// thread section (its colour, code, name and brand); each section after the first starts
// with a colour change at its start position, and the design ends at the last position. A
// point's colour is the number of its section. False for a section or tag that is missing or
// cut short, a length or count that does not fit the file, or an unknown command.
bool readVp3(std::string_view bytes, CStDes& design, STDESSETTINGS& settings);

// The VP3 file of a design, one thread section per colour block (a colour number without a
// thread uses the library's default palette). A trim is written as a jump to its position and
// a trim, a stop as a colour change. False when the design needs more moves than a file may
// hold or more threads than a section count holds.
bool writeVp3(const CStDes& design, const STDESSETTINGS& settings, std::string& bytes);

}  // namespace stitchkit
