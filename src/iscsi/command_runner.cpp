// The command runner's rules over the process port (see command_runner.h).

#include "iscsi/command_runner.h"

namespace sw::iscsi {

std::string& CommandOutput() {
  static std::string output;
  return output;
}

bool RunCommand(const std::string& commandLine) {
  // The pipe is always drained (see the port); only a logout's output is kept.
  std::string printed;
  if (!RunHiddenProcess(commandLine, printed)) return false;
  if (commandLine.size() > 1 && commandLine.find("logouttarget", 1) != std::string::npos) {
    CommandOutput() += printed;
  }
  return true;
}

int RunAndNotify(std::function<void(ProcessHandle)> notify) {
  return StartWatchedProcess(kIpconfigCommandLine, std::move(notify)) ? 1 : 0;
}

bool RunIfBuilt(const std::optional<std::string>& commandLine) { return commandLine && RunCommand(*commandLine); }

}  // namespace sw::iscsi
