#pragma once

#include "stitchkit/platform/stream_cipher.h"

namespace stitchkit {

// The cipher every EDF package is enciphered and deciphered with (see edf_key.cpp). Not part
// of the installed interface.
StreamCipher edfCipher();

}  // namespace stitchkit
