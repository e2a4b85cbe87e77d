#pragma once

#include <string>
#include <string_view>

#include "stitchkit/designio/st_des.h"

// The XXX design file (layout in xxx_layout.h).
namespace stitchkit {

// Replaces the design's points and threads with those of an XXX file's bytes: one thread per
// palette entry, with the colour the entry holds; a point's colour is the number of its colour
// block. False for a cut header, record or palette, a colour count or end offset that does not
// fit the file, or an unknown command.
bool readXxx(std::string_view bytes, CStDes& design, STDESSETTINGS& settings);

// The XXX file of a design, one palette entry per colour block (a colour number without a
// thread uses the library's default palette). Stops are written as colour changes. False when
// the design needs more moves than a file may hold.
bool writeXxx(const CStDes& design, const STDESSETTINGS& settings, std::string& bytes);

}  // namespace stitchkit
