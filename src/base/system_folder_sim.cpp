// Simulated backend of the system-folder port: the simulated machine's SystemRoot, "\system32".
// No logic here.

#include "base/system_folder.h"
#include "winsim/machine.h"

namespace sw::base {

std::string SystemFolder() {
  std::string root;
  if (!winsim::TheMachine().environment.Get("SystemRoot", root) || root.empty()) return std::string();
  return root + "\\system32";
}

}  // namespace sw::base
