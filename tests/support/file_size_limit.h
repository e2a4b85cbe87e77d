#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace stitchkit::testing_support {

// Runs `body` in a child process in which no file can grow past `limit` bytes (a write
// beyond it fails with EFBIG instead of raising SIGXFSZ). Returns the child's exit status
// (`body`'s result), or -1 when the child could not run or died of a signal.
template <typename Body>
int runWithFileSizeLimit(rlim_t limit, Body body) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit fileSize = {limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) ::_exit(127);
    ::_exit(body());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace stitchkit::testing_support
