#include "stitchkit/platform/console_app.h"

#include <atomic>

namespace stitchkit {
namespace {
std::atomic<ConsoleApp*> installedApp{nullptr};
}  // namespace

ConsoleApp* getConsoleApp() {
  return installedApp.load(std::memory_order_acquire);
}

void setConsoleApp(ConsoleApp* app) {
  installedApp.store(app, std::memory_order_release);
}

}  // namespace stitchkit
