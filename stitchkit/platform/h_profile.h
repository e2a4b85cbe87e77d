#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// Results of HProfile::setString.
inline constexpr int kProfileOk = 0;
// The file could not be written, or was not read in full when the profile was built and is
// therefore left alone. The change is kept in memory all the same.
inline constexpr int kProfileWriteFailed = 1;
// Empty or ill-formed section or key name, or a line break in the value; nothing changed.
inline constexpr int kProfileInvalidArgument = 2;
// The changed text could not be held in memory; nothing changed.
inline constexpr int kProfileNoMemory = 3;

// Files larger than this are not parsed; the profile starts empty instead.
inline constexpr std::size_t kProfileMaxFileSize = 16u * 1024u * 1024u;

// An INI profile: "[Section]" lines followed by "key=value" lines, in UTF-8 (a leading byte
// order mark is skipped and kept).
//
// The file is read once, when the profile is built; later changes to the file by others are
// not seen. Every setString writes the whole text back to the file at once (write-through),
// so a profile object never holds changes the file lacks, except after a failed write.
//
// Parsing rules:
// - Lines end at LF; a CR before the LF belongs to the line ending. New lines are written
//   with the ending of the file's first line (LF for a file without one).
// - A line whose first non-blank character is '[' starts a section when it holds a ']' (its
//   name is the trimmed text between them; anything after the ']' is ignored) and is ignored
//   otherwise.
// - A line whose first non-blank character is ';' or '#' is a comment.
// - Any other line with an '=' is a key: the trimmed text before the first '=' is the key
//   name, the trimmed text after it the value. Quotation marks and ';' in values are kept.
// - Lines before the first section, lines without an '=' and keys with an empty name are kept
//   but never looked up.
// - Section and key names compare case-insensitively. Several sections of one name act as
//   one: the first occurrence of a key in them wins.
// Apart from the line it changes or adds, setString keeps every byte of the text: other
// sections and keys, comments, blank lines, white space and line order.
//
// The profile keeps the text in memory and scans it on each call, so every call costs time
// linear in the size of the text, and no call allocates more than the text itself needs.
// Functions never throw.
class HProfile {
 public:
  // Reads the profile at `path`. A missing file reads as an empty profile that setString
  // creates. A file that cannot be read, is not a regular file, or is larger than
  // kProfileMaxFileSize also reads as empty, but is never overwritten: setString then keeps
  // its changes in memory and returns kProfileWriteFailed.
  explicit HProfile(const HString& path);

  // A profile parsed from UTF-8 text in memory, tied to no file: setString changes only the
  // text in memory and returns kProfileOk. Text larger than kProfileMaxFileSize reads as empty.
  static HProfile fromText(std::string_view utf8Text);

  // The value of `key` in `section`, or `defaultValue` when either is missing (or the names
  // are empty). The result, whichever it is, is cut to at most maxLength - 1 characters, so
  // a maxLength of 1 or less gives an empty text.
  HString getString(const HString& section, const HString& key, int maxLength,
                    const HString& defaultValue) const;

  // Sets `key` in `section` to `value` (names and value trimmed of surrounding white space).
  // An existing key has only its value replaced, in place. A new key goes after the last key
  // of the section (right after the section line when it has none); a new section goes at the
  // end of the text. Then the whole text is written to the file.
  // Section names must not hold ']'; key names must not hold '=' or start with '[', ';' or
  // '#'; none of the three may hold a line break. Returns one of the kProfile results.
  int setString(const HString& section, const HString& key, const HString& value);

  // The profile's path; empty for a profile built from text.
  const HString& getPath() const { return path_; }
  // The current text, as the file holds it after a successful setString.
  const std::string& getText() const { return text_; }

 private:
  HProfile() = default;

  int writeFile() const;

  HString path_;
  std::string text_;
  bool hasFile_ = false;
  bool writable_ = true;
};

}  // namespace stitchkit
