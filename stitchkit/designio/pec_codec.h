#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "stitchkit/designio/move_plan.h"
#include "stitchkit/designio/st_des.h"

// The PEC block and the PEC file (layout in pec_layout.h).
namespace stitchkit {

// Replaces the design's points and threads with those of a PEC block (the bytes from its
// "LA:" on): one thread of the palette per colour table entry (code: the index as decimal
// text); a point's colour is the number of its colour block. False for a block that is cut
// short or does not start with "LA:", or a stitch list that is cut or has an unknown command.
bool readPecBlock(std::string_view block, CStDes& design);

// Appends the PEC block of a design planned as `plan`, with `label` (at most 16 characters
// are kept) and thumbnails drawn from its stitches. The stitch list starts at the corner of
// the box around the origin and the design, so the design reads back moved by that corner. False
// when the design has more colour blocks than the colour table holds or its stitch list is longer
// than the block can point past.
bool appendPecBlock(const CStDes& design, const MovePlan& plan, std::string_view label,
                    std::string& bytes);

// The palette index of each colour block of `plan` (a colour number without a thread uses the
// library's default palette).
std::vector<std::uint8_t> pecColourIndexes(const CStDes& design, const MovePlan& plan);

// Move limits of the PEC stitch list, for planning a design for appendPecBlock.
MoveLimits pecMoveLimits();

// A PEC file: "#PEC0001" and the block. The version read is 0.
bool readPec(std::string_view bytes, CStDes& design, STDESSETTINGS& settings);
// False when the design needs more moves than a file may hold, or as appendPecBlock.
bool writePec(const CStDes& design, const STDESSETTINGS& settings, std::string& bytes);

// Number of palette entries, and the thread an index stands for (indexes outside the
// palette are black and keep their number as the code).
int pecPaletteSize();
THREAD pecThreadOfIndex(int index);
// The palette index written for a thread: the one its code names when that index has the
// thread's colour, else the nearest colour's (index 0 is never chosen).
std::uint8_t pecIndexOfThread(const THREAD& thread);

}  // namespace stitchkit
