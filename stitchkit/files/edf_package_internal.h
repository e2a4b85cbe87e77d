#pragma once

#include <cstddef>
#include <vector>

#include "stitchkit/files/edf_records.h"
#include "stitchkit/platform/h_file.h"
#include "stitchkit/platform/h_string.h"

// What the EDF package functions and the EDF design reader and writer share. Not part of the
// installed interface.
namespace stitchkit::detail {

// Deciphers the envelope at `path` into `payload`. False when the file cannot be read, is not
// an envelope (magic, version 0, a payload running past the end of the file) or the cipher
// fails. The payload is never sized by a field larger than the file.
bool decipherEnvelope(const HString& path, std::vector<unsigned char>& payload);

// A directory number: upper-case hexadecimal, leading blanks skipped, read up to the first
// character that is not a digit; 0 when there is none.
std::size_t edfNumber(const unsigned char* directory, std::size_t offset);

// Moves `size` bytes at the file's position, in as many calls as it takes. False on a short
// read or write.
bool readFully(HFile& file, unsigned char* bytes, std::size_t size);
bool writeFully(HFile& file, const unsigned char* bytes, std::size_t size);

}  // namespace stitchkit::detail
