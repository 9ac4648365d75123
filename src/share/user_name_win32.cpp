// Win32 backend of the user-name port: GetUserNameA (advapi32); no logic here.

#include <windows.h>

#include "share/user_name.h"

namespace sw::share {

bool GetUserNameA(std::string& name) {
  char buffer[kUserNameSize] = {};
  DWORD size = sizeof buffer;
  if (!::GetUserNameA(buffer, &size)) return false;
  buffer[sizeof buffer - 1] = '\0';
  name = buffer;
  return true;
}

namespace sim {
// The real account name cannot be set; the control exists only so tests link on every build.
void SetSimulatedUserName(const std::string&) {}
}  // namespace sim

}  // namespace sw::share
