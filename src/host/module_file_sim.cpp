// Simulated backend of the module-file port: the simulated machine's program path and files. No
// logic here.

#include "host/module_file.h"
#include "winsim/machine.h"

namespace sw::host {

std::string ModuleFileName() {
  const std::string path = winsim::TheMachine().files.ModuleFileName();
  return path.size() < kModulePathSize ? path : std::string();
}

bool FileExists(const std::string& path) {
  // A search pattern names no one file.
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
  return winsim::TheMachine().files.Exists(path);
}

}  // namespace sw::host
