#include "stitchkit/platform/replacement_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

namespace fs = std::filesystem;

class ReplacementFileTest : public testing_support::TempDirTest {
 protected:
  std::size_t entries() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
};

// A signal during a write removes the unfinished file and a temporary file registered for it,
// and the process still dies of it.
TEST_F(ReplacementFileTest, SignalRemovesTheUnfinishedFile) {
  writeFile("design.dst", "old");
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(signal, SIG_DFL);
      removeReplacementFilesOnSignal();
      ReplacementFile replacement(path("design.dst"));
      std::ofstream(toNativePath(replacement.path()), std::ios::binary) << "part";
      writeFile("own.tmp", "scratch");
      const RemovedOnSignal own(path("own.tmp"));
      const char byte = replacement.isCreated() ? 1 : 0;
      static_cast<void>(::write(ready[1], &byte, 1));
      for (;;)
        ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(byte, 1);
    EXPECT_EQ(entries(), 3u);  // the target, the unfinished file and the registered one
    ASSERT_EQ(::kill(child, signal), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
    EXPECT_EQ(entries(), 1u);
    EXPECT_EQ(readFile("design.dst"), "old");
  }
}

}  // namespace
}  // namespace stitchkit
