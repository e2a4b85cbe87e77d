#pragma once

#include <string>

#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// A new file that is to replace `target` once it is whole: a hidden file in the target's
// directory with the target's extension (so that a writer choosing a format by extension
// chooses the one it would for the target), created empty with the mode the target has, or
// a new file's mode when there is no target yet. The target is never opened, truncated or
// removed: commit renames the finished file over it in one step, and the file is removed
// when this object is destroyed uncommitted. Not copyable.
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
};

}  // namespace stitchkit
