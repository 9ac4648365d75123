// Simulated backend of the system-folder port: the simulated Windows keeps its programs in one
// fixed folder.

#include "base/system_folder.h"

namespace sw::base {

std::string SystemFolder() { return "C:\\Windows\\system32"; }

}  // namespace sw::base
