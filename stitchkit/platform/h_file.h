#pragma once

#include <cstdint>

#include "stitchkit/platform/h_list.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// Access rights for HFile::open, by the Windows values; combine them with '|'.
inline constexpr unsigned kGenericRead = 0x80000000u;
inline constexpr unsigned kGenericWrite = 0x40000000u;

// The Windows file-creation codes HFile::open understands.
inline constexpr int kCreateNew = 1;         // create; fail when the file exists
inline constexpr int kCreateAlways = 2;      // create, or truncate an existing file
inline constexpr int kOpenExisting = 3;      // open; fail when the file is missing
inline constexpr int kOpenAlways = 4;        // open, or create a missing file
inline constexpr int kTruncateExisting = 5;  // open and truncate; fail when missing

// Share modes, accepted for the interface's sake: files here are never locked.
inline constexpr unsigned kShareRead = 1u;
inline constexpr unsigned kShareWrite = 2u;

// A file opened for binary reading and/or writing. Closed when destroyed; movable, not
// copyable. Functions never throw; a failure leaves its error number in lastError().
class HFile {
 public:
  HFile() = default;
  ~HFile();
  HFile(const HFile&) = delete;
  HFile& operator=(const HFile&) = delete;
  HFile(HFile&& other) noexcept;
  HFile& operator=(HFile&& other) noexcept;

  // Opens `path` (closing any file this object had open). `access` must hold kGenericRead,
  // kGenericWrite or both; `creation` is one of the codes above, and kCreateAlways and
  // kTruncateExisting need kGenericWrite. `share` is ignored. Directories are not opened.
  // New files get the permissions 0666 less the process's umask. Returns true when the
  // file is open.
  bool open(const HString& path, unsigned access, int creation, unsigned share);
  bool isOpen() const { return fd_ >= 0; }

  // Move up to `size` bytes at the current position and advance it; return the count moved
  // (0 at the end of the file, on failure, when closed, for a null buffer or size <= 0).
  int read(void* buffer, int size);
  int write(const void* buffer, int size);

  // Current offset from the start, and the file's size in bytes; -1 when closed or failed.
  std::int64_t position() const;
  std::int64_t length() const;
  // Move to an absolute offset (past the end is allowed: a later write fills the gap with
  // zero bytes). false for a negative offset, a closed file or a failure.
  bool seekToBegin() { return seek(0); }
  bool seek(std::int64_t offset);

  // Closes the file; a closed file stays closed. Returns false when the system reported an
  // error while closing (data written may be lost).
  bool close();

  // errno of the most recent failure of this object, 0 when none.
  int lastError() const { return error_; }

  // Copies the file `from` to `to`. With `overwrite` false an existing `to` makes the copy
  // fail and stays untouched; when the copy fails after creating `to`, `to` is removed. With
  // `overwrite` the copy is written to a hidden file beside `to` and renamed over it once
  // whole, so a failed copy leaves an existing `to` as it was. Copying a file onto itself
  // fails. A new `to` takes the permissions of `from`, an existing one keeps its own.
  // Returns true on success.
  static bool copy(const HString& from, const HString& to, bool overwrite);

 private:
  int fd_ = -1;
  int error_ = 0;
};

// Hands out names of fresh files in the system's temporary directory: $TMPDIR when it names
// a directory, /tmp otherwise. Each file is created empty (and private to the user) so that
// its name stays reserved; removing it is the caller's job, this object deletes nothing.
class HTemporaryFileManager {
 public:
  // `prefix` starts every file name ('/' and '\\' in it become '_', and it is cut to 32
  // characters). The int is reserved and ignored.
  HTemporaryFileManager(const HString& prefix, int reserved);

  // True when the temporary directory exists and can be written to.
  bool isOK() const { return ok_; }
  // Path of a newly created empty file, or an empty text on failure.
  HString getFilePath();

 private:
  HString directory_;
  HString prefix_;
  bool ok_ = false;
};

// Results of HDirectory::open besides a positive entry count.
inline constexpr int kDirectoryMissing = -1;  // no such directory (or not a directory)
inline constexpr int kDirectoryFailed = -2;   // the directory could not be read
inline constexpr int kDirectoryNoMatch = -5;  // no regular file matches the pattern

// Lists the regular files of one directory (not its subdirectories) whose names match a
// pattern.
class HDirectory {
 public:
  explicit HDirectory(const HString& path) : path_(path) {}

  // Pattern for the file names: '*' matches any run of characters, '?' any one character,
  // letters match case-insensitively, and "*.*" matches every name, with or without a dot.
  // The default is "*".
  void setFileSpec(const HString& pattern) { pattern_ = pattern; }

  // Reads the directory. Returns the number of matching files (> 0), kDirectoryMissing,
  // kDirectoryNoMatch or kDirectoryFailed. Names are taken as fromNativePath reads them, so
  // an entry whose name is not valid UTF-8 opens by its listed path too. Calling open again
  // reads the directory afresh.
  int open();

  // Full paths (the directory path, a '/' unless it already ends in one, then the name) of
  // the files the last open found, sorted by name in code point order. Empty before open.
  const HList<HString>& getEntries() const { return entries_; }

 private:
  HString path_;
  HString pattern_ = HString(L"*");
  HList<HString> entries_;
};

// True when `path` names an existing file system entry that is not a directory (symbolic
// links are followed). False for a null or empty path.
bool fileExists(const wchar_t* path);
bool fileExists(const HString& path);

// Gives the file-name part of `name` the extension `ext`, replacing the one it has (as
// StringUtils::splitPath finds it). A missing leading dot in `ext` is supplied; a null or
// empty `ext` removes the extension. Example: "a/b.c/d.dst" with ".EXP" is "a/b.c/d.EXP".
void fixname(HString& name, const wchar_t* ext);

namespace StringUtils {

// Splits `path` into its parts, which concatenate back to `path`:
// - drive: "X:" when the path starts with an ASCII letter and a colon, else empty;
// - dir: everything after the drive up to and including the last '/' or '\\';
// - name and ext: the rest; ext starts at its last '.', dot included, unless that dot is
//   among the leading dots of the name, so ".ini" and "..x" are names with no extension
//   while "a." has the extension ".".
void splitPath(const HString& path, HString& drive, HString& dir, HString& name, HString& ext);

}  // namespace StringUtils

}  // namespace stitchkit
