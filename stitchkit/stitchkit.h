#pragma once

// The whole public interface of the stitchkit library.

#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/model/stop_info.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/console_app.h"
#include "stitchkit/platform/geometry.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_file.h"
#include "stitchkit/platform/h_list.h"
#include "stitchkit/platform/h_profile.h"
#include "stitchkit/platform/h_stream.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/presser_foot.h"
#include "stitchkit/platform/thread_palette.h"
