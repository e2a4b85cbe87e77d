#pragma once

#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/platform/h_string.h"

// Paper-tape leaders: addTapeLeader rewrites a machine file with a leader in front of it.
//
// The paper-tape variants of the DST, DSB and DSZ families (formats 15, 16 and 17) get a
// lettered leader that a person can read on the punched tape. Each character is six bytes:
// a zero byte, then five columns of dots (bits 1 to 5 of each byte), left to right. The
// lettering knows the space, A to Z (lower-case letters are lettered as upper case), 0 to 9
// and . # % ( ) / - ! , =; the first character of a text outside that set (an underscore,
// an accented letter, ...) ends the lettering of that text without error, and the leader
// goes on with the next text. The texts are, in order:
//   the design name and two spaces;
//   "KORVAN  " (15), "BARUDAN  " (16) or "ZANGS  " (17);
//   "STITCHES=<stitches>  ";
//   35 spaces.
// Every other format gets `leaderBytes` zero bytes.
namespace stitchkit {

// Results of addTapeLeader. Note that success is 1, not 0: a call that gets as far as its
// last step returns the result of HFile::copy, true (1) or false (0).
inline constexpr int kTapeLeaderCopyFailed = 0;  // the final copy over `path` failed
inline constexpr int kTapeLeaderDone = 1;        // `path` now starts with the leader
inline constexpr int kTapeLeaderNoTemporaryFile = 2;
// `path` cannot be opened or read, or the temporary file cannot be opened for writing.
inline constexpr int kTapeLeaderCannotOpen = 5;
// Writing or closing the temporary file failed (or memory ran out).
inline constexpr int kTapeLeaderWriteFailed = 13;
// An empty `path`, a format of 90 (none) or more, or a lettered text of 256 characters or
// more.
inline constexpr int kTapeLeaderInvalidArgument = 87;

// Puts a leader in front of the file `path`: the leader and then the whole file are written
// to a temporary file (prefix "qvm", in the system's temporary directory), which is then
// copied over `path` and removed. The copy goes to a hidden file beside `path` that is
// renamed over it once whole (HFile::copy), so no failure cuts or removes `path`. `designName` and
// `stitches` are lettered for formats 15, 16 and 17; `leaderBytes` (none when 0 or less) is the
// number of zero bytes for the other formats. A design name of 254 characters or more makes its
// lettered text too long (kTapeLeaderInvalidArgument). `path` is left untouched unless the final
// copy is reached. `systemError`, when given, receives the system's error number (errno) with
// kTapeLeaderCannotOpen and kTapeLeaderWriteFailed when a file failed (ENOENT, EACCES,
// EISDIR, ENOSPC, ...), and 0 otherwise.
int addTapeLeader(const HString& path, const HString& designName, int stitches,
                  const HDiskFileFormat& format, int leaderBytes, int* systemError = nullptr);

}  // namespace stitchkit
