// Feeds arbitrary bytes to the INI profile parser, in memory, and checks what a caller relies
// on: lookups never fail, a value just set reads back (also after re-parsing the text), and
// setting one key leaves another key's value alone.
//
// Input layout: the INI text, optionally followed by a zero byte and "section\x01key\x01value"
// naming the key to set (fixed names are used without it).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "stitchkit/platform/h_profile.h"

using stitchkit::HProfile;
using stitchkit::HString;

namespace {

HString trimmed(HString text) {
  text.trimLeft();
  text.trimRight();
  return text;
}

// Splits `params` at its first \x01 into head and rest.
std::string_view take(std::string_view& params) {
  const std::size_t at = params.find('\x01');
  const std::string_view head = params.substr(0, at);
  params = at == std::string_view::npos ? std::string_view() : params.substr(at + 1);
  return head;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = input.find('\0');
  const std::string_view text = input.substr(0, zero);

  HString section(L"StitchOptions");
  HString key(L"FormatType");
  HString value(L" Some Machine ");
  if (zero != std::string_view::npos) {
    std::string_view params = input.substr(zero + 1);
    section = stitchkit::utf8ToStr(std::string(take(params)));
    key = stitchkit::utf8ToStr(std::string(take(params)));
    value = stitchkit::utf8ToStr(std::string(params));
  }

  HProfile profile = HProfile::fromText(text);
  const int maxLength = size > 0 ? static_cast<int>(data[0]) - 8 : 256;
  const HString cut = profile.getString(section, key, maxLength, L"...");
  if (cut.length() > (maxLength > 0 ? maxLength - 1 : 0)) __builtin_trap();

  // A second key whose value must survive the change, unless it is the key being set.
  const HString otherSection(L"StitchOptions");
  const HString otherKey(L"MaxLength");
  const bool sameKey = trimmed(section).compareNoCase(otherSection) == 0 &&
                       trimmed(key).compareNoCase(otherKey) == 0;
  const HString otherBefore = profile.getString(otherSection, otherKey, 1 << 30, L"\x01none");

  const int result = profile.setString(section, key, value);
  if (result != stitchkit::kProfileOk) {
    if (result != stitchkit::kProfileInvalidArgument && result != stitchkit::kProfileNoMemory) {
      __builtin_trap();  // an in-memory profile has no file to fail on
    }
    if (profile.getText() != text && text.size() <= stitchkit::kProfileMaxFileSize) {
      __builtin_trap();  // a refused change must change nothing
    }
    return 0;
  }

  const HString expected = trimmed(value);
  const int room = expected.length() + 1;
  if (profile.getString(section, key, room, L"\x01missing") != expected) __builtin_trap();
  if (!sameKey && profile.getString(otherSection, otherKey, 1 << 30, L"\x01none") != otherBefore) {
    __builtin_trap();
  }

  const HProfile reparsed = HProfile::fromText(profile.getText());
  if (reparsed.getString(section, key, room, L"\x01missing") != expected) __builtin_trap();

  // Setting the same value again must not change the text.
  HProfile again = HProfile::fromText(profile.getText());
  if (again.setString(section, key, value) != stitchkit::kProfileOk ||
      again.getText() != profile.getText()) {
    __builtin_trap();
  }
  return 0;
}
