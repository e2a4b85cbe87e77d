#pragma once

#include "stitchkit/platform/h_string.h"

// How the reading and writing entry points look at file names. Not part of the installed
// interface.
namespace stitchkit::detail {

// The extension of `path` with its dot (empty when it has none); '/' and '\' both separate
// folders.
HString extensionOf(const HString& path);
// True when the first four characters of `ext` (dot included) equal `wanted`, ignoring case:
// any extension that begins with ".DST" counts as ".DST".
bool extensionStartsWith(const HString& ext, const wchar_t* wanted);
// True for exactly four characters: the dot, `letter` in either case, two decimal digits
// (".Z00", ".z15").
bool isNumberedExtension(const HString& ext, wchar_t letter);
// True for the extensions whose files start with the 512-byte machine header (".DST",
// ".DSB", ".DSZ", ".ZSK", on their first four characters). The reader skips the header of
// exactly the files the writer gives one, so that what is written reads back whole.
bool carriesMachineHeader(const HString& ext);

}  // namespace stitchkit::detail
