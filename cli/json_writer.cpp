#include "cli/json_writer.h"

#include <cmath>
#include <cstdio>

namespace stitchkit::cli {

void JsonWriter::separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!needComma_.empty()) {
    if (needComma_.back()) out_ << ',';
    needComma_.back() = true;
  }
}

void JsonWriter::writeString(std::string_view text) {
  out_ << '"';
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out_ << "\\\"";
        break;
      case '\\':
        out_ << "\\\\";
        break;
      case '\n':
        out_ << "\\n";
        break;
      case '\r':
        out_ << "\\r";
        break;
      case '\t':
        out_ << "\\t";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out_ << buffer;
        } else {
          out_ << ch;
        }
    }
  }
  out_ << '"';
}

void JsonWriter::beginObject() {
  separate();
  out_ << '{';
  needComma_.push_back(false);
}

void JsonWriter::endObject() {
  needComma_.pop_back();
  out_ << '}';
}

void JsonWriter::beginArray() {
  separate();
  out_ << '[';
  needComma_.push_back(false);
}

void JsonWriter::endArray() {
  needComma_.pop_back();
  out_ << ']';
}

void JsonWriter::key(std::string_view name) {
  separate();
  writeString(name);
  out_ << ':';
  afterKey_ = true;
}

void JsonWriter::value(std::string_view text) {
  separate();
  writeString(text);
}

void JsonWriter::value(long long number) {
  separate();
  out_ << number;
}

void JsonWriter::value(double number) {
  separate();
  if (!std::isfinite(number)) {
    out_ << "null";
    return;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", number);
  out_ << buffer;
}

void JsonWriter::value(bool flag) {
  separate();
  out_ << (flag ? "true" : "false");
}

std::string colourText(const ThreadProperty& thread) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", thread.red(), thread.green(), thread.blue());
  return text;
}

void writeThreads(JsonWriter& json, const ThreadPalette& threads) {
  json.key("threads");
  json.beginArray();
  for (const ThreadProperty& thread : threads) {
    json.beginObject();
    json.key("colour");
    json.value(colourText(thread));
    json.key("name");
    json.value(strToUtf8(thread.name));
    json.key("code");
    json.value(strToUtf8(thread.code));
    json.key("manufacturer");
    json.value(strToUtf8(thread.manufacturer));
    json.endObject();
  }
  json.endArray();
}

}  // namespace stitchkit::cli
