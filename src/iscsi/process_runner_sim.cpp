// Simulated backend of the process port: the programs the simulated machine can start. No logic
// here beyond telling them apart:
//   - "iscsicli": its argument list goes to the machine's initiator (winsim/initiator.h); it cannot
//     be started when the initiator is not installed;
//   - "ipconfig": ends after the machine's ipconfig time;
//   - the initiator's installer, when the machine's files hold it beside the program: running it
//     installs the initiator (service running, Uninstall entry written);
//   - anything else cannot be started.
// Every command line handed to the port is logged, started or not.

#include "host/initiator_presence.h"
#include "iscsi/command_lines.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/process_runner.h"
#include "winsim/machine.h"

namespace sw::iscsi {

namespace {

// The program of a command line, without folder and ".exe", lower case.
std::string ProgramName(const std::vector<std::string>& args) {
  if (args.empty()) return "";
  std::string program = LowerAscii(args[0]);
  const std::size_t slash = program.find_last_of("\\/");
  if (slash != std::string::npos) program = program.substr(slash + 1);
  if (program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0) program.resize(program.size() - 4);
  return program;
}

}  // namespace

bool RunHiddenProcess(const std::string& commandLine, std::string& output) {
  winsim::Machine& machine = winsim::TheMachine();
  machine.processes.Record(commandLine);
  const std::vector<std::string> args = SplitCommandLine(commandLine);
  const std::string program = ProgramName(args);
  if (program == "iscsicli") {
    std::string printed;
    if (!machine.initiator.RunTool(args, printed)) return false;
    output += printed;
    return true;
  }
  if (program == "initiator-2.07-build3640-x86fre") {
    // The bare name is found by the process search in the program's folder, as on Windows.
    if (!machine.files.Exists(host::InstallerPath(machine.files.ModuleFileName()))) return false;
    winsim::InitiatorInstall install;
    install.uninstallEntry = true;
    machine.services.SetInitiatorInstall(install);
    return true;
  }
  if (program == "ipconfig") {
    output += "Windows IP Configuration\n";
    return true;
  }
  return false;
}

bool StartWatchedProcess(const std::string& commandLine, std::function<void(ProcessHandle)> onEnded) {
  winsim::Machine& machine = winsim::TheMachine();
  machine.processes.Record(commandLine);
  if (ProgramName(SplitCommandLine(commandLine)) != "ipconfig") return false;
  static char token;
  machine.processes.StartWaiter([onEnded = std::move(onEnded)] { onEnded(&token); });
  return true;
}

void CloseProcessHandle(ProcessHandle) {}

}  // namespace sw::iscsi
