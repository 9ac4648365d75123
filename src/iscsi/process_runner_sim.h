#pragma once
// Controls of the simulated process port (process_runner_sim.cpp). The programs it can start, each
// only from where it lies (the simulated system folder, base/system_folder.h, or beside the program):
//   - "iscsicli.exe" in the system folder: handed to the simulated initiator (initiator_sim.h),
//     which parses the argument list; it cannot be started when the initiator is not installed;
//   - "ipconfig.exe" in the system folder: ends after a delay (SEEKWELL_SIM_IPCONFIG_MS on first
//     use, default 300 ms), measured in real time on the waiter thread;
//   - the initiator's installer "Initiator-2.07-build3640-x86fre.exe", when the simulated disk
//     holds it beside the program (host/module_file_sim.h; SetInstallerAvailable puts it there):
//     running it installs the initiator (service running, Uninstall entry written);
//   - anything else cannot be started.
// Every command line handed to the port is recorded, started or not.

#include <cstdint>
#include <string>
#include <vector>

namespace sw::iscsi::sim {

constexpr const char* kInstallerFileName = "Initiator-2.07-build3640-x86fre.exe";

void SetIpconfigDurationMs(std::uint32_t ms);
void SetInstallerAvailable(bool available);  // places or removes the file; default absent
// Waits until every waiter thread has called its callback (tests call this before tearing down).
void WaitForWatchedProcesses();
const std::vector<std::string>& ProcessLaunches();
void ResetProcesses();  // empty log, default duration, no installer

}  // namespace sw::iscsi::sim
