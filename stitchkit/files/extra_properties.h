#pragma once

namespace stitchkit {

// Container-specific properties that travel with a design to the container writers (the
// condition blocks and laser blocks of the KVB, KVC and EDF containers). The writing entry
// points only pass it on; the plain machine formats do not read it. The record grows as the
// container writers are added.
struct ExtraProperties {};

}  // namespace stitchkit
