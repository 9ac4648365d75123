#pragma once
// The simulated machine's services: each with its state, a start delay measured on the machine's
// clock, and how a start ends (running, never leaves start-pending, falls back to stopped, or is
// refused by StartService). The initiator's installation is the MSiSCSI service and, optionally,
// its Uninstall entry in the registry.
//
// SEEKWELL_SIM_INITIATOR (settings.h), a comma-separated list, says how the machine starts:
//   absent | running | stopped    the MSiSCSI service (default running)
//   uninstall                     write the Uninstall entry "Microsoft iSCSI Initiator"
//   delay=MS                      start delay (default 0)
//   never                         a started service stays start-pending
//   fails                         a started service falls back to stopped after the delay
//   refuses                       StartService fails
// Example: SEEKWELL_SIM_INITIATOR=stopped,uninstall,delay=1500

#include <cstdint>
#include <map>
#include <string>

#include "winsim/win32_codes.h"

namespace sw::winsim {

class Machine;

constexpr const char* kInitiatorServiceName = "MSiSCSI";
constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kInitiatorUninstallSubkey = "MSiSCSI_Initiator";
constexpr const char* kInitiatorDisplayName = "Microsoft iSCSI Initiator";

enum class StartBehaviour { Starts, NeverStarts, FailsToStart, RefusesStart };

struct ServiceConfig {
  ServiceStatus state = ServiceStatus::Stopped;
  std::uint32_t startDelayMs = 0;
  StartBehaviour behaviour = StartBehaviour::Starts;
};

struct InitiatorInstall {
  bool serviceInstalled = true;
  ServiceConfig service{ServiceStatus::Running, 0, StartBehaviour::Starts};
  bool uninstallEntry = false;
};

// Parses the grammar above; false (and `out` untouched) for an unknown word or a bad delay.
bool ParseInitiatorInstall(const std::string& text, InitiatorInstall& out);

class Services {
 public:
  explicit Services(Machine& machine) : m_(machine) {}

  // Back to the installation the settings describe.
  void Reset();

  void Install(const std::string& name, const ServiceConfig& config);
  void Remove(const std::string& name);
  // Installs (or removes) MSiSCSI and, when asked, writes the Uninstall entry (an entry already in
  // the registry stays). Other services are left alone.
  void SetInitiatorInstall(const InitiatorInstall& install);

  bool Exists(const std::string& name) const;
  // QueryServiceStatus, with a starting service moved on by the clock; false when there is none.
  bool State(const std::string& name, ServiceStatus& state);
  // StartService: 0, or kErrorServiceDoesNotExist, kErrorServiceAlreadyRunning (not stopped) or
  // kErrorServiceDisabled (the refusing kind).
  std::uint32_t Start(const std::string& name);
  // How often StartService was called since the service was installed.
  int StartRequests(const std::string& name) const;

 private:
  struct Entry {
    ServiceConfig config;
    ServiceStatus state = ServiceStatus::Stopped;
    bool starting = false;
    std::uint32_t startedAt = 0;
    int startRequests = 0;
  };
  void Advance(Entry& e);

  Machine& m_;
  std::map<std::string, Entry> m_byName;  // by lower-case name
};

}  // namespace sw::winsim
