// The command-line tool's text escaping over any device text: nothing invisible or reordering
// reaches the terminal, the JSON string parses, and a UTF-8 text comes back from it unchanged.

#include <string>

#include "fabric/json.h"
#include "fuzz_client.h"
#include "protocol/device_report.h"
#include "protocol/device_text.h"

using namespace sw::protocol;
using fuzz::Require;

namespace {

// Well-formed UTF-8 holding no control or bidi character.
bool IsTerminalSafe(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t c = 0;
    const std::size_t n = Utf8Sequence(text, i, c);
    if (n == 0 || IsControlCharacter(c) || IsBidiControl(c)) return false;
    i += n;
  }
  return true;
}

bool IsUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t c = 0;
    const std::size_t n = Utf8Sequence(text, i, c);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Require(IsTerminalSafe(EscapeDeviceText(text)));

  const std::string json = JsonString(text);
  Require(IsTerminalSafe(json));
  sw::json::Value value;
  sw::json::ParseError error;
  Require(sw::json::Parse(json, &value, &error) && value.IsString());
  if (IsUtf8(text)) Require(value.AsString() == text);
  return 0;
}
