// Simulated backend of the program launcher: the simulated machine's programs. No logic here.

#include "share/program_launcher.h"
#include "winsim/machine.h"

namespace sw::share {

std::uint32_t WinExec(const char* commandLine, unsigned showCommand) {
  return winsim::TheMachine().programs.WinExec(commandLine != nullptr ? commandLine : "", showCommand);
}

}  // namespace sw::share
