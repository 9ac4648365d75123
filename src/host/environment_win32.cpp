// Win32 backend of the environment port: ExpandEnvironmentStringsA; no logic here.

#include "host/environment.h"

#include <windows.h>

#include <vector>

namespace sw::host {

bool ExpandEnvironmentStringsA(const std::string& text, std::string& out) {
  std::vector<char> buffer(text.size() + 256);
  for (int round = 0; round < 4; ++round) {
    const DWORD needed = ::ExpandEnvironmentStringsA(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (needed == 0) return false;
    if (needed <= buffer.size()) {
      out.assign(buffer.data());
      return true;
    }
    buffer.resize(needed);
  }
  return false;
}

}  // namespace sw::host
