// Win32 backend of the system-folder port: GetSystemDirectoryA; no logic here.

#include "base/system_folder.h"
#include "base/system_library.h"

namespace sw::base {

std::string SystemFolder() { return WindowsSystemFolder(); }

}  // namespace sw::base
