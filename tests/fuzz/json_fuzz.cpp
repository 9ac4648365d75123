// The JSON reader over any text: it ends (no deep recursion, no quadratic member check), and a
// refusal points inside the text.

#include <string>

#include "fabric/json.h"
#include "fuzz_client.h"

using sw::protocol::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  sw::json::Value value;
  sw::json::ParseError error;
  if (sw::json::Parse(text, &value, &error)) return 0;
  std::size_t lines = 1;
  for (char c : text) lines += c == '\n';
  Require(!error.message.empty());
  Require(error.line >= 1 && error.line <= lines);
  Require(error.column >= 1 && error.column <= size + 1);
  return 0;
}
