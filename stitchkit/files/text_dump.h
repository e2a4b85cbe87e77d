#pragma once

#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/bytestream.h"

namespace stitchkit {

// Writes `stitches` to `out` as readable text, one line per record (see TextStitchEncoder),
// for looking at a design record by record.
//
// The design is driven through a TextStitchEncoder made with a copy of `options`, as a writer
// drives its encoder: the design starts at the first stitch's point when that stitch is a
// design start and at (0,0) otherwise, each stitch is encoded in order with the "after trim"
// state a writer keeps (set by a trim, jump trim, upper trim, colour change or laser on,
// cleared by a stitch that penetrates), then the design is ended and the stream flushed.
// Each stitch is encoded from a copy, so the container is left as it was. Moves that extra
// trim penetrations make step towards the centre of the design's extents.
//
// Returns 0 (kEncodeOk), or the first non-zero result of the encoder; kEncodeRefused also
// when the encoder cannot be made or memory runs out.
int writeTextDump(const StitchWrapper& stitches, const StitchOptions& options,
                  OutputBytestream& out);

}  // namespace stitchkit
