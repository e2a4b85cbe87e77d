#pragma once

#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"

// Exchange with other makers' design files.
namespace stitchkit {

// Results of readEmbFileIcon.
inline constexpr int kEmbIconOk = 0;
inline constexpr int kEmbIconFailed = 2;

// Reads the preview picture an EMB file keeps in its "DESIGN_ICON" stream (EMB files are
// structured-storage compound files) into `icon`, resized to fit. A file that does not open,
// is larger than kMaxCompoundFileSize, is not a compound file, or has no such stream gives
// kEmbIconFailed and leaves `icon` unchanged.
int readEmbFileIcon(const HString& path, HXArray<unsigned char>& icon);

}  // namespace stitchkit
