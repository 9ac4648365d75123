#pragma once
// Controls of the simulated services (service_control_sim.cpp), and of the initiator's
// installation as Windows shows it: the MSiSCSI service and, optionally, the initiator's Uninstall
// entry in the simulated registry.
//
// Time: a started service leaves start-pending after its start delay, measured on the clock set
// with SetServiceClock (default: a monotonic millisecond clock). A headless test hands it the UI
// framework's clock, so that the program's sleeps and the service's delay move together.
//
// On first use the simulation reads SEEKWELL_SIM_INITIATOR, a comma-separated list, so that
// seekwell-sim.exe can start with any initiator:
//   absent | running | stopped    the MSiSCSI service (default running)
//   uninstall                     write the Uninstall entry "Microsoft iSCSI Initiator"
//   delay=MS                      start delay (default 0)
//   never                         a started service stays start-pending
//   fails                         a started service falls back to stopped after the delay
//   refuses                       StartServiceA fails
// Example: SEEKWELL_SIM_INITIATOR=stopped,uninstall,delay=1500

#include <cstdint>
#include <functional>
#include <string>

#include "host/service_control.h"

namespace sw::host::sim {

enum class StartBehaviour { Starts, NeverStarts, FailsToStart, RefusesStart };

struct SimService {
  ServiceState state = ServiceState::Stopped;
  std::uint32_t startDelayMs = 0;
  StartBehaviour behaviour = StartBehaviour::Starts;
};

struct InitiatorInstall {
  bool serviceInstalled = true;
  SimService service{ServiceState::Running, 0, StartBehaviour::Starts};
  bool uninstallEntry = false;
};

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kInitiatorUninstallSubkey = "MSiSCSI_Initiator";
constexpr const char* kInitiatorDisplayName = "Microsoft iSCSI Initiator";

// Parses the grammar above; false (and `out` untouched) for an unknown word or a bad delay.
bool ParseInitiatorInstall(const std::string& text, InitiatorInstall& out);
// Installs (or removes) the MSiSCSI service and, when asked, writes the Uninstall entry (an entry
// already in the registry stays: reset the registry for a machine without one). Other services
// are left alone.
void SetInitiatorInstall(const InitiatorInstall& install);

void InstallService(const std::string& name, const SimService& service);
void RemoveService(const std::string& name);
// Forgets every service; the next use reads SEEKWELL_SIM_INITIATOR again.
void ResetServices();

// The state a query would see now; false when no such service exists.
bool CurrentServiceState(const std::string& name, ServiceState& state);
// How often StartServiceA was called for the service since it was installed.
int StartRequests(const std::string& name);

void SetServiceClock(std::function<std::uint32_t()> nowMs);  // nullptr: the monotonic clock

}  // namespace sw::host::sim
