// Simulated backend of the process port: the programs the simulated machine can start, each only
// from where it lies. No logic here beyond telling them apart:
//   - "iscsicli.exe" in the system folder: its argument list goes to the machine's initiator
//     (winsim/initiator.h); it cannot be started when the initiator is not installed;
//   - "ipconfig.exe" in the system folder: ends after the machine's ipconfig time;
//   - the initiator's installer beside the program, when the machine's files hold it: running it
//     installs the initiator (service running, Uninstall entry written);
//   - anything else cannot be started.
// Every command line handed to the port is logged, started or not.

#include "base/ascii_case.h"
#include "base/system_folder.h"
#include "host/initiator_presence.h"
#include "iscsi/command_lines.h"
#include "iscsi/process_runner.h"
#include "winsim/machine.h"

namespace sw::iscsi {

namespace {

// The program a full path names, without folder and ".exe", lower case; empty unless it lies in
// `folder` (compared without letter case).
std::string ProgramIn(const std::string& programPath, const std::string& folder) {
  const std::string path = base::LowerAscii(programPath);
  const std::size_t slash = path.find_last_of('\\');
  if (folder.empty() || slash == std::string::npos || path.substr(0, slash) != base::LowerAscii(folder)) return "";
  std::string program = path.substr(slash + 1);
  if (program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0) program.resize(program.size() - 4);
  return program;
}

}  // namespace

bool RunHiddenProcess(const std::string& programPath, const std::string& commandLine, std::string& output) {
  winsim::Machine& machine = winsim::TheMachine();
  machine.processes.Record(commandLine);
  const std::string program = ProgramIn(programPath, base::SystemFolder());
  if (program == "iscsicli") {
    std::string printed;
    if (!machine.initiator.RunTool(SplitCommandLine(commandLine), printed)) return false;
    output += printed;
    return true;
  }
  const std::string installer = host::InstallerPath(machine.files.ModuleFileName());
  if (base::EqualIgnoringAsciiCase(programPath, installer)) {
    if (!machine.files.Exists(installer)) return false;
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

bool StartWatchedProcess(const std::string& programPath, const std::string& commandLine,
                         std::function<void(ProcessHandle)> onEnded) {
  winsim::Machine& machine = winsim::TheMachine();
  machine.processes.Record(commandLine);
  if (ProgramIn(programPath, base::SystemFolder()) != "ipconfig") return false;
  static char token;
  machine.processes.StartWaiter([onEnded = std::move(onEnded)] { onEnded(&token); });
  return true;
}

void CloseProcessHandle(ProcessHandle) {}

}  // namespace sw::iscsi
