#pragma once

#include <string>
#include <utility>

#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// A new file that is to replace `target` once it is whole: a hidden file with a short name
// (".sk", six random characters and the target's extension) in the target's directory, so
// that it can be made beside a target whose name is as long as names get, and a writer
// choosing a format by extension chooses the one it would for the target. It is created
// empty with the mode the target has, or a new file's mode when there is no target yet. The
// target is never opened, truncated or removed: commit renames the finished file over it in
// one step, and the file is removed when this object is destroyed uncommitted (and on a
// signal, see removeReplacementFilesOnSignal). Not copyable.
class ReplacementFile {
 public:
  explicit ReplacementFile(const HString& target);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  bool isCreated() const { return !path_.empty(); }
  // errno of the failed creation, 0 when the file was created.
  int error() const { return error_; }
  // Path of the new file, empty when it could not be created.
  HString path() const;

  // Renames the new file over the target; returns 0, or errno (the file is kept and removed
  // later by the destructor).
  int commit();

 private:
  std::string target_;
  std::string path_;
  int error_ = 0;
  int slot_ = -1;  // where the signal handler finds path_, -1 for none
};

// Registers a temporary file of the caller's own (made elsewhere, for example in the
// temporary directory) for removal on a signal, as replacement files are, for as long as this
// object lives; removing the file in the ordinary way stays the caller's job. Not copyable.
class RemovedOnSignal {
 public:
  explicit RemovedOnSignal(const HString& path);
  ~RemovedOnSignal();
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

 private:
  int slot_ = -1;
};

// A file of the caller's own (for example one the temporary-file manager handed out) that is
// removed when this object is destroyed, however the call that made it ends, and on a signal
// as replacement files are. Not copyable.
class TemporaryFile {
 public:
  explicit TemporaryFile(HString path) : path_(std::move(path)), onSignal_(path_) {}
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const HString& path() const { return path_; }

 private:
  HString path_;
  RemovedOnSignal onSignal_;
};

// For a program to call once at its start: SIGINT, SIGTERM and SIGHUP then remove every
// replacement file that is neither committed nor removed (up to 16 at a time, with paths
// under 4096 bytes) before the process dies of the signal as it would have without the
// handler. A signal whose action is not the default (ignored, or the program's own handler)
// is left alone. The library never installs the handler by itself.
void removeReplacementFilesOnSignal();

}  // namespace stitchkit
