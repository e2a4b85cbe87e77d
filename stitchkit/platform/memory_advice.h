#pragma once

#include <cstddef>

namespace stitchkit {

// Tells the system that the `bytes` at `data` are one large buffer about to be filled, so that
// it may back them with large pages. Designs of a million stitches take tens of megabytes;
// with small pages, the faults of touching them the first time cost about as much as
// converting them. Only a hint: it does nothing for small buffers or where the system has no
// such pages, and it never fails.
void adviseLargeBuffer(void* data, std::size_t bytes);

// Gives the memory of the `bytes` at `data` back to the system, in whole large pages: a buffer
// part that holds nothing of use any more stops counting towards the process's memory. The
// pages stay mapped and read as zero bytes afterwards. Only for this process's own heap.
void releaseBufferPages(void* data, std::size_t bytes);

}  // namespace stitchkit
