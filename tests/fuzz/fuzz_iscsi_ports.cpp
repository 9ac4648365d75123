// The system-folder, process and WMI ports for the fuzz targets of the iSCSI code: nothing runs; each command
// line is recorded and answered with bytes of the input (fuzz_wmi.h). The targets make their own
// WMI connections, so the module's default one is never connected.

#include "fuzz_wmi.h"
#include "base/system_folder.h"
#include "iscsi/process_runner.h"

namespace sw::base {

std::string SystemFolder() { return "C:\\Windows\\system32"; }

}  // namespace sw::base

namespace sw::iscsi {

bool RunHiddenProcess(const std::string&, const std::string& commandLine, std::string& output) {
  fuzz::ProcessLog& log = fuzz::Processes();
  log.commandLines.push_back(commandLine);
  if (log.in == nullptr) return true;
  if (log.in->ConsumeIntegralInRange<int>(0, 15) == 0) return false;
  output += log.in->ConsumeRandomLengthString(200);
  return true;
}

bool StartWatchedProcess(const std::string&, const std::string&, std::function<void(ProcessHandle)>) {
  return false;
}

void CloseProcessHandle(ProcessHandle) {}

std::unique_ptr<WmiServices> ConnectWmiServices(const std::string&, const std::string&) { return nullptr; }

}  // namespace sw::iscsi
