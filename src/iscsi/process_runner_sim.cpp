// Simulated backend of the process port: the simulated initiator's tool, ipconfig and the
// initiator's installer. Controls in process_runner_sim.h.

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "base/system_folder.h"
#include "host/initiator_presence.h"
#include "host/module_file.h"
#include "host/module_file_sim.h"
#include "host/service_control_sim.h"
#include "iscsi/command_lines.h"
#include "iscsi/initiator_sim.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/process_runner.h"
#include "iscsi/process_runner_sim.h"

namespace sw::iscsi {

namespace {

struct Processes {
  std::mutex mutex;
  bool loaded = false;
  std::uint32_t ipconfigMs = 300;
  std::vector<std::string> launches;
  std::vector<std::thread> waiters;
  std::uintptr_t nextHandle = 0x1000;
  // A waiter still sleeping at exit is finished, not abandoned.
  ~Processes() {
    for (auto& t : waiters) {
      if (t.joinable()) t.join();
    }
  }
};

Processes& TheProcesses() {
  static Processes p;
  return p;
}

Processes& Loaded() {
  Processes& p = TheProcesses();
  if (!p.loaded) {
    p.loaded = true;
    const char* text = std::getenv("SEEKWELL_SIM_IPCONFIG_MS");
    if (text != nullptr && *text != '\0') p.ipconfigMs = static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
  }
  return p;
}

// The program a full path names, without folder and ".exe", lower case; empty unless it lies in
// `folder` (compared without letter case), where this simulated Windows keeps it.
std::string ProgramIn(const std::string& programPath, const std::string& folder) {
  const std::string path = LowerAscii(programPath);
  const std::size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos || path.substr(0, slash) != LowerAscii(folder)) return "";
  std::string program = path.substr(slash + 1);
  if (program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0) program.resize(program.size() - 4);
  return program;
}

void Record(const std::string& commandLine) {
  Processes& p = Loaded();
  std::lock_guard<std::mutex> lock(p.mutex);
  p.launches.push_back(commandLine);
}

}  // namespace

bool RunHiddenProcess(const std::string& programPath, const std::string& commandLine, std::string& output) {
  Record(commandLine);
  auto args = SplitCommandLine(commandLine);
  const std::string program = ProgramIn(programPath, base::SystemFolder());
  if (program == "iscsicli") {
    std::string printed;
    if (!sim::RunInitiatorTool(args, printed)) return false;
    output += printed;
    return true;
  }
  const std::string installer = host::InstallerPath(host::ModuleFileName());
  if (LowerAscii(programPath) == LowerAscii(installer)) {
    if (!host::FileExists(installer)) return false;
    host::sim::InitiatorInstall install;
    install.serviceInstalled = true;
    install.service.state = host::ServiceState::Running;
    install.uninstallEntry = true;
    host::sim::SetInitiatorInstall(install);
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
  Record(commandLine);
  if (ProgramIn(programPath, base::SystemFolder()) != "ipconfig") return false;
  Processes& p = Loaded();
  std::lock_guard<std::mutex> lock(p.mutex);
  auto handle = reinterpret_cast<ProcessHandle>(p.nextHandle++);
  std::uint32_t ms = p.ipconfigMs;
  p.waiters.emplace_back([handle, ms, onEnded = std::move(onEnded)] {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    onEnded(handle);
  });
  return true;
}

void CloseProcessHandle(ProcessHandle) {}

namespace sim {

void SetIpconfigDurationMs(std::uint32_t ms) {
  Processes& p = Loaded();
  std::lock_guard<std::mutex> lock(p.mutex);
  p.ipconfigMs = ms;
}

void SetInstallerAvailable(bool available) {
  const std::string path = host::InstallerPath(host::ModuleFileName());
  if (available) {
    host::sim::PlaceFile(path);
  } else {
    host::sim::RemoveFile(path);
  }
}

void WaitForWatchedProcesses() {
  Processes& p = Loaded();
  std::vector<std::thread> waiters;
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    waiters.swap(p.waiters);
  }
  for (auto& t : waiters) t.join();
}

const std::vector<std::string>& ProcessLaunches() { return Loaded().launches; }

void ResetProcesses() {
  WaitForWatchedProcesses();
  SetInstallerAvailable(false);
  Processes& p = Loaded();
  std::lock_guard<std::mutex> lock(p.mutex);
  p.launches.clear();
  p.ipconfigMs = 300;
}

}  // namespace sim

}  // namespace sw::iscsi
