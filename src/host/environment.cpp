#include "host/environment.h"

namespace sw::host {

std::string ExpandVariables(const std::string& text, const VariableLookup& lookup) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t open = text.find('%', i);
    if (open == std::string::npos) break;
    const std::size_t close = text.find('%', open + 1);
    if (close == std::string::npos) break;
    std::string value;
    const std::string name = text.substr(open + 1, close - open - 1);
    out.append(text, i, open - i);
    if (!name.empty() && lookup(name, value)) {
      out += value;
      i = close + 1;
    } else {
      // Not a variable: the first % stays, and the second may open the next name.
      out.push_back('%');
      i = open + 1;
      out.append(text, i, close - i);
      i = close;
    }
  }
  out.append(text, i, std::string::npos);
  return out;
}

}  // namespace sw::host
