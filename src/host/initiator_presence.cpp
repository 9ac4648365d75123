// The initiator's presence and service start (see initiator_presence.h).

#include "host/initiator_presence.h"

#include <cstring>

#include "host/registry.h"
#include "host/service_control.h"
#include "host/windows_version.h"

namespace sw::host {

namespace {

bool ReadState(ServiceControl& service, ServiceState& state) { return service.QueryState(state); }

// Polls a starting service with a pause until it leaves start-pending or the bound passes.
// True when it was seen running.
bool WaitWhileStartPending(ServiceControl& service, InitiatorReadyActions& actions) {
  const std::uint32_t start = actions.NowMs();
  while (true) {
    ServiceState state = ServiceState::Stopped;
    if (!ReadState(service, state)) return false;
    if (state == ServiceState::Running) return true;
    if (state != ServiceState::StartPending) return false;
    if (actions.NowMs() - start >= kServiceStartBoundMs) return false;
    actions.Sleep(kServiceStartPollMs);
  }
}

}  // namespace

bool IsInitiatorInstalled() {
  RegistryKey uninstall;
  if (!uninstall.Open(RegistryRoot::LocalMachine, kInitiatorUninstallKey, RegistryAccess::Read)) return false;
  char name[256];
  for (std::uint32_t index = 0; uninstall.EnumSubKey(index, name, sizeof name); ++index) {
    RegistryKey entry;
    if (!entry.Open(RegistryRoot::LocalMachine, std::string(kInitiatorUninstallKey) + "\\" + name,
                    RegistryAccess::Read)) {
      continue;
    }
    char displayName[256];
    // Byte for byte with the terminator: a longer name or another letter case does not count.
    if (entry.ReadString("DisplayName", displayName, sizeof displayName) &&
        std::memcmp(displayName, kInitiatorDisplayName, std::strlen(kInitiatorDisplayName) + 1) == 0) {
      return true;
    }
  }
  return false;
}

void ListTargetsByServiceState(InitiatorReadyActions& actions, InitiatorFlags& flags) {
  actions.BeginBusyCursor();
  ServiceControl service;
  ServiceState state = ServiceState::Stopped;
  if (!service.Open(kInitiatorServiceName) || !ReadState(service, state)) {
    actions.RestoreCursor();
    return;
  }
  if (state == ServiceState::Stopped) {
    actions.BuildFallbackTargetList();
  } else {
    actions.StartInitiatorRefresh();
    flags.InitiatorListActive = 1;
  }
  actions.RestoreCursor();
}

void StartInitiatorService(InitiatorReadyActions& actions, InitiatorFlags& flags) {
  ServiceControl service;
  ServiceState state = ServiceState::Stopped;
  if (!service.Open(kInitiatorServiceName) || !ReadState(service, state)) return;
  bool startedByUs = false;
  if (state == ServiceState::Stopped) {
    service.Start();
    actions.BeginBusyCursor();
    actions.ShowServiceStartingWindow();
    actions.Sleep(1000);
    startedByUs = true;
  }
  if (state != ServiceState::StartPending && !startedByUs) return;  // running already: left alone
  // A service we started that is already running ends the same way as one seen coming up, so
  // that dialog 232 and the cursor never stay behind.
  const bool running = WaitWhileStartPending(service, actions);
  if (running) actions.Sleep(1000);
  if (running) flags.ServiceJustStarted = 1;
  if (startedByUs) {
    actions.RestoreCursor();
    actions.CloseServiceStartingWindow();
  }
  if (!running) actions.ReportServiceNotStarted();
}

void StartInitiatorServicePreVista(InitiatorReadyActions& actions, InitiatorFlags& flags) {
  ServiceControl service;
  ServiceState state = ServiceState::Stopped;
  bool readable = service.Open(kInitiatorServiceName) && ReadState(service, state);
  bool startedByUs = false;
  if (readable && state == ServiceState::Stopped) {
    actions.BeginBusyCursor();
    service.Start();
    actions.ShowServiceStartingWindow();
    actions.Sleep(2000);
    startedByUs = true;
    readable = ReadState(service, state);
  }
  if (readable && (state == ServiceState::Running || state == ServiceState::StartPending)) {
    flags.ServiceJustStarted = 1;
    if (startedByUs) actions.RestoreCursor();
    actions.Sleep(1000);
    if (startedByUs) actions.CloseServiceStartingWindow();
  } else if (startedByUs) {
    actions.RestoreCursor();
    actions.CloseServiceStartingWindow();
    actions.ReportServiceNotStarted();
  }
}

void EnsureInitiatorReady(int mode, InitiatorReadyActions& actions, InitiatorFlags& flags) {
  actions.BeginBusyCursor();
  const bool installed = IsInitiatorInstalled();
  WindowsVersionInfo version;
  if (installed) {
    if (mode == 0) {
      if (flags.InitiatorListActive == 0) ListTargetsByServiceState(actions, flags);
    } else if (flags.InitiatorListActive != 1 && QueryWindowsVersion(version)) {
      if (IsVistaOrLaterClient(version)) {
        StartInitiatorService(actions, flags);
      } else {
        StartInitiatorServicePreVista(actions, flags);
      }
    }
  } else if (QueryWindowsVersion(version)) {
    if (IsVistaOrLaterClient(version)) {
      // The built-in initiator has no Uninstall entry.
      if (flags.InitiatorListActive == 0) {
        if (mode == 0) {
          ListTargetsByServiceState(actions, flags);
        } else {
          StartInitiatorService(actions, flags);
        }
      }
    } else if (mode == 0) {
      actions.BuildFallbackTargetList();
    } else {
      actions.ShowInstallPrompt();
      flags.InstallPending = 1;
    }
  }
  actions.RestoreCursor();
}

bool ResumeConnectAfterRestore(unsigned sizeType, InitiatorFlags& flags) {
  if (sizeType != 0 || flags.InstallPending != 1) return false;
  flags.InstallPending = 0;
  flags.ServiceJustStarted = 1;
  return true;
}

std::string ProgramFolder(const std::string& modulePath) {
  std::size_t slash = modulePath.rfind('\\');
  return slash == std::string::npos ? std::string() : modulePath.substr(0, slash);
}

std::string InstallerPath(const std::string& modulePath) {
  return ProgramFolder(modulePath) + "\\" + kInstallerFileName;
}

std::string MissingInstallerMessage(const std::string& folder) {
  return std::string("The ") + kInstallerFileName + " does not exist in\n" + folder + "\nPlease copy or move " +
         kInstallerFileName + " to the above folder.";
}

}  // namespace sw::host
