#include "cli/batch_convert.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "cli/json_writer.h"
#include "stitchkit/designio/design_codec.h"
#include "stitchkit/files/read_design.h"

namespace stitchkit::cli {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// One file to convert and what became of it.
struct Item {
  std::string in;
  std::string out;
  std::string failure;  // set before the run for an input that cannot be converted at all
  int result = kJobOk;
  WriteReport report;
  double seconds = 0.0;
};

Item makeItem(std::string in, std::string out, std::string failure = {}) {
  Item item;
  item.in = std::move(in);
  item.out = std::move(out);
  item.failure = std::move(failure);
  return item;
}

// Whether a file found in a directory is a design this build reads, by its name.
bool isDesignName(const fs::path& path) {
  const HString name = fromNativePath(path.string());
  return readsFileName(name) || containerKindOf(name) != ContainerKind::kNone ||
         findDesignCodec(name) != nullptr;
}

// The output of `in`, found under `base` (empty for a file given by name): its name with the
// job's extension, in the output directory and the folders between `base` and it.
std::string outputOf(const BatchJob& job, const fs::path& in, const fs::path& base) {
  fs::path relative = base.empty() ? in.filename() : in.lexically_relative(base);
  relative.replace_extension(job.extension);
  return (fs::path(job.outDirectory) / relative).string();
}

// The files of the job in the order given (a directory's files sorted by path), each with
// its output. Two inputs with one output: the later is refused rather than overwrite the
// earlier's file.
std::vector<Item> listItems(const BatchJob& job) {
  std::vector<Item> items;
  for (const std::string& input : job.inputs) {
    std::error_code error;
    if (!fs::is_directory(input, error)) {
      items.push_back(makeItem(input, outputOf(job, input, {})));
      continue;
    }
    if (!job.recursive) {
      items.push_back(
          makeItem(input, {}, "is a directory (give --recursive to convert its files)"));
      continue;
    }
    std::vector<fs::path> found;
    for (fs::recursive_directory_iterator it(input, error), end; !error && it != end;
         it.increment(error)) {
      if (it->is_regular_file(error) && isDesignName(it->path())) found.push_back(it->path());
    }
    if (error) {
      items.push_back(makeItem(input, {}, "cannot be listed: " + error.message()));
      continue;
    }
    std::sort(found.begin(), found.end());
    for (const fs::path& path : found)
      items.push_back(makeItem(path.string(), outputOf(job, path, input)));
  }
  std::set<std::string> outputs;
  for (Item& item : items) {
    if (item.failure.empty() && !outputs.insert(item.out).second) {
      item.failure = "its output " + item.out + " is the output of an earlier file";
    }
  }
  return items;
}

void convertItem(const BatchJob& job, Item& item) {
  const Clock::time_point start = Clock::now();
  DesignFile design;
  JobStatus status = readDesignFile(item.in, design);
  if (status && design.stats.stitchCount == 0) {
    status = JobStatus{kJobReadFailed, "holds no stitches: nothing to write"};
  }
  if (status) {
    std::error_code error;
    const fs::path folder = fs::path(item.out).parent_path();
    if (fs::create_directories(folder, error); error) {
      status = JobStatus{kJobWriteFailed, "cannot create its folder: " + error.message()};
    } else {
      status = writeDesignFile(item.out, design, job.request, item.report);
    }
    if (!status) status.message = item.out + ": " + status.message;
  }
  item.result = status.result;
  item.failure = status.message;
  item.seconds = std::chrono::duration<double>(Clock::now() - start).count();
}

// What the threads share: the next item to take, the count done and the last failure.
struct Progress {
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  std::atomic<std::size_t> failed{0};
  std::mutex mutex;  // stderr and the last failure
  std::string lastFailure;
};

void reportFailure(Progress& progress, const Item& item, bool terminal) {
  const std::lock_guard lock(progress.mutex);
  // The progress line is cleared first so the failure stands on a line of its own.
  if (terminal) std::cerr << "\r\033[K";
  std::cerr << "stitchkit convert: " << item.in << ": " << item.failure << '\n';
  progress.lastFailure = item.in;
  progress.failed.fetch_add(1);
}

void printProgress(Progress& progress, std::size_t total, Clock::time_point start) {
  const std::lock_guard lock(progress.mutex);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const std::size_t done = progress.done.load();
  char line[96];
  std::snprintf(line, sizeof line, "%zu/%zu files, %.0f files/s", done, total,
                seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
  std::cerr << "\r\033[K" << line;
  if (!progress.lastFailure.empty()) std::cerr << ", last failure: " << progress.lastFailure;
  std::cerr << std::flush;
}

void writeJson(std::ostream& out, const std::vector<Item>& items) {
  JsonWriter json(out);
  json.beginArray();
  for (const Item& item : items) {
    json.beginObject();
    json.key("file");
    json.value(item.in);
    json.key("out");
    json.value(item.out);
    json.key("ok");
    json.value(item.failure.empty());
    json.key("result");
    json.value(item.result);
    if (!item.failure.empty()) {
      json.key("message");
      json.value(item.failure);
    } else {
      json.key("format");
      json.value(static_cast<int>(item.report.format));
      json.key("machine");
      json.value(item.report.machine);
      json.key("stitches");
      json.value(item.report.written.stitchCount);
      json.key("colours");
      json.value(item.report.written.needles.length());
    }
    json.key("seconds");
    json.value(item.seconds);
    json.endObject();
  }
  json.endArray();
  out << '\n';
}

}  // namespace

int runBatchConvert(const BatchJob& job) {
  std::vector<Item> items = listItems(job);
  const bool terminal = isatty(STDERR_FILENO) != 0;
  const Clock::time_point start = Clock::now();
  Progress progress;
  for (const Item& item : items) {
    if (!item.failure.empty()) {
      reportFailure(progress, item, terminal);
      progress.done.fetch_add(1);
    }
  }
  auto work = [&] {
    for (std::size_t i; (i = progress.next.fetch_add(1)) < items.size();) {
      Item& item = items[i];
      if (!item.failure.empty()) continue;
      convertItem(job, item);
      if (!item.failure.empty()) reportFailure(progress, item, terminal);
      progress.done.fetch_add(1);
    }
  };
  const unsigned threads =
      std::max(1u, std::min<unsigned>(job.threads, static_cast<unsigned>(items.size())));
  {
    std::vector<std::jthread> workers;
    for (unsigned t = 0; t < threads; ++t)
      workers.emplace_back(work);
    if (terminal) {
      while (progress.done.load() < items.size()) {
        printProgress(progress, items.size(), start);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      }
      std::cerr << "\r\033[K" << std::flush;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const std::size_t failed = progress.failed.load();
  if (job.json) {
    writeJson(std::cout, items);
  } else {
    char line[96];
    std::snprintf(line, sizeof line, " in %.2f s (%.1f files/s, %u threads)", seconds,
                  seconds > 0 ? static_cast<double>(items.size()) / seconds : 0.0, threads);
    std::cout << "converted " << items.size() - failed << " of " << items.size() << " files to "
              << job.outDirectory << line;
    if (failed > 0) std::cout << "; " << failed << " failed";
    std::cout << '\n';
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace stitchkit::cli
