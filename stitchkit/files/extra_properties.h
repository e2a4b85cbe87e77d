#pragma once

#include <vector>

#include "stitchkit/files/kvb_file_records.h"
#include "stitchkit/files/laser_condition_file.h"
#include "stitchkit/machine/ct1_block.h"
#include "stitchkit/machine/cto_file.h"
#include "stitchkit/platform/h_list.h"

namespace stitchkit {

// Container-specific properties that travel with a design to the container writers (the
// condition blocks and laser blocks of the KVB and KVC containers). The writing entry points
// only pass it on; the plain machine formats do not read it.
struct ExtraProperties {
  CT0Properties ct0;                 // the ST lines of the CT0 block
  HList<LT0LaserBlock> laserBlocks;  // the LT0 record is written only when there are some
  HList<int> laserStitchList;        // the LT0 record's per-stitch list
  CT1Properties ct1;                 // what the CT1 block carries besides the design
  std::vector<unsigned char> fifth;  // the KVC fifth section, stored as given
  HList<TT0Info> timeInfo;           // the KVC TT0 section
};

}  // namespace stitchkit
