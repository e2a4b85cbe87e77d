#include "stitchkit/designio/thread_chart.h"

#include <charconv>
#include <string>

namespace stitchkit {

THREAD chartThread(std::span<const ChartColour> chart, int index) {
  THREAD thread;
  thread.code.set(L"%d", index);
  if (index >= 0 && static_cast<std::size_t>(index) < chart.size()) {
    const ChartColour& entry = chart[static_cast<std::size_t>(index)];
    thread.colour = THREAD::rgb(entry.red, entry.green, entry.blue);
    thread.name = HString(entry.name);
  }
  return thread;
}

bool chartCodeOf(const THREAD& thread, int& index) {
  const std::string code = thread.code.getAscii();
  const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), index);
  return !code.empty() && error == std::errc() && end == code.data() + code.size();
}

int nearestChartIndex(std::span<const ChartColour> chart, const THREAD& thread) {
  int nearest = 1;
  long best = -1;
  for (std::size_t i = 1; i < chart.size(); ++i) {
    const long dr = static_cast<long>(chart[i].red) - thread.red();
    const long dg = static_cast<long>(chart[i].green) - thread.green();
    const long db = static_cast<long>(chart[i].blue) - thread.blue();
    const long distance = dr * dr + dg * dg + db * db;
    if (best < 0 || distance < best) {
      best = distance;
      nearest = static_cast<int>(i);
    }
  }
  return nearest;
}

}  // namespace stitchkit
