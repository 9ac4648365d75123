// Win32 backend of the program launcher: WinExec; no logic here.

#include <windows.h>

#include "share/program_launcher.h"

namespace sw::share {

std::uint32_t WinExec(const char* commandLine, unsigned showCommand) {
  return ::WinExec(commandLine, showCommand);
}

}  // namespace sw::share
