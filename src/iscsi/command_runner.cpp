// The command runner's rules over the process port (see command_runner.h).

#include "iscsi/command_runner.h"

#include "base/system_folder.h"

namespace sw::iscsi {

std::string& CommandOutput() {
  static std::string output;
  return output;
}

std::string SystemProgramPath(const std::string& commandLine) {
  const std::string program = commandLine.substr(0, commandLine.find(' '));
  return program.empty() ? std::string() : base::SystemFilePath(program + ".exe");
}

bool RunCommand(const std::string& commandLine) { return RunProgram(SystemProgramPath(commandLine), commandLine); }

bool RunProgram(const std::string& programPath, const std::string& commandLine) {
  // The pipe is always drained (see the port); only a logout's output is kept.
  std::string printed;
  if (programPath.empty() || !RunHiddenProcess(programPath, commandLine, printed)) return false;
  if (commandLine.size() > 1 && commandLine.find("logouttarget", 1) != std::string::npos) {
    CommandOutput() += printed;
  }
  return true;
}

int RunAndNotify(std::function<void(ProcessHandle)> notify) {
  return StartWatchedProcess(SystemProgramPath(kIpconfigCommandLine), kIpconfigCommandLine, std::move(notify)) ? 1 : 0;
}

bool RunIfBuilt(const std::optional<std::string>& commandLine) { return commandLine && RunCommand(*commandLine); }

}  // namespace sw::iscsi
