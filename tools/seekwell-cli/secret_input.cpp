// The line reading both secret backends share; see secret_input.h.

#include <cstdio>

#include "secret_input.h"

namespace sw::cli {

std::optional<std::string> ReadSecretLine() {
  std::string line;
  int c;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
  if (c == EOF && line.empty()) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace sw::cli
