#pragma once

#include <string>
#include <string_view>

#include "stitchkit/designio/st_des.h"

// The PES design file (layout in pes_layout.h and pec_layout.h).
namespace stitchkit {

// Replaces the design's points and threads with those of a PES file's bytes, read from its
// PEC block as readPecBlock reads one. Where the version's header carries the design's
// threads, a colour block whose palette index is that of a header thread's colour takes that
// thread (code, name, brand and colour). The settings' version becomes the file's (10 for
// "#PES0001", the version number for the others: 20 for "#PES0020", ...). False for a
// header that is cut or has no version digits, a PEC offset outside the file, or a PEC block
// that does not read.
bool readPes(std::string_view bytes, CStDes& design, STDESSETTINGS& settings);

// The PES file of a design in the version the settings ask for (0 asks for 10): versions 10,
// 20, 40 and 60 ("#PES0001", "#PES0020", "#PES0040", "#PES0060") are written, the others
// refused. Version 60's header carries the thread of each colour block. False as well when
// the design needs more moves than a file may hold, is wider or taller than the segments'
// 16-bit points reach, or as appendPecBlock.
bool writePes(const CStDes& design, const STDESSETTINGS& settings, std::string& bytes);

// Whether writePes writes the settings version `version`.
bool writesPesVersion(int version);

}  // namespace stitchkit
