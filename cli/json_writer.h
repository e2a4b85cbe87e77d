#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "stitchkit/platform/thread_palette.h"

namespace stitchkit::cli {

// Streams compact JSON with correct commas and string escaping. The caller keeps the
// nesting balanced (every begin has its end).
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  // Names the next value inside an object.
  void key(std::string_view name);
  void value(std::string_view text);
  void value(const char* text) { value(std::string_view(text)); }
  void value(long long number);
  void value(int number) { value(static_cast<long long>(number)); }
  void value(double number);
  void value(bool flag);

 private:
  void separate();
  void writeString(std::string_view text);

  std::ostream& out_;
  std::vector<bool> needComma_;
  bool afterKey_ = false;
};

// A thread's colour as "#RRGGBB".
std::string colourText(const ThreadProperty& thread);

// The key "threads" of the object being written: one object per thread with its colour, name,
// code and manufacturer.
void writeThreads(JsonWriter& json, const ThreadPalette& threads);

}  // namespace stitchkit::cli
