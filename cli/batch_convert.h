#pragma once

#include <optional>
#include <string>
#include <vector>

#include "stitchkit/jobs/design_file.h"

// convert --to FORMAT --out DIR FILE...: many designs converted at once, one per thread.
namespace stitchkit::cli {

struct BatchJob {
  std::vector<std::string> inputs;  // files, and directories when `recursive`
  std::string extension;            // of every output, dot included (".dst")
  std::string outDirectory;
  WriteRequest request;  // format, machine format and options of every output
  unsigned threads = 1;
  bool recursive = false;
  bool json = false;
};

// Converts every input into the output directory (a directory's files keep their folders
// below it): a failure is printed naming its file and does not stop the others, a progress
// line goes to stderr when that is a terminal, and a summary (or with `json` one record per
// file) to stdout. Returns the exit status: 0 when every file was written, 1 otherwise.
int runBatchConvert(const BatchJob& job);

}  // namespace stitchkit::cli
