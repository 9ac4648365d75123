#pragma once
// Whether the iSCSI initiator is installed and its service running, and what the program does
// about it when a device is clicked (mode 0) or a target is to be connected (mode 1). The
// decisions are made here over the registry, version and service ports; what they lead to on
// screen (cursor, dialogs 232 and 233, list 1029, the refresh) the dialog layer supplies.

#include <cstdint>
#include <string>

namespace sw::host {

constexpr const char* kInitiatorUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kInitiatorDisplayName = "Microsoft iSCSI Initiator";
constexpr const char* kInstallerFileName = "Initiator-2.07-build3640-x86fre.exe";

// The Vista path polls a starting service every 100 ms and gives up after 30 s: long enough for a
// slow machine, short enough that a service that never starts does not hold the program.
constexpr unsigned kServiceStartPollMs = 100;
constexpr unsigned kServiceStartBoundMs = 30000;
constexpr const char* kServiceNotStartedMessage =
    "The Microsoft iSCSI Initiator Service did not start, so no target can be connected now.";

// Flags of the main dialog, 0 at start.
struct InitiatorFlags {
  int InitiatorListActive = 0;
  int InstallPending = 0;
  int ServiceJustStarted = 0;
};

// What the decisions lead to, supplied by the dialog layer.
class InitiatorReadyActions {
 public:
  virtual ~InitiatorReadyActions() = default;
  virtual void BeginBusyCursor() = 0;  // cursor 238, saving the current one
  virtual void RestoreCursor() = 0;    // the cursor saved by the matching BeginBusyCursor
  virtual void Sleep(unsigned ms) = 0;
  virtual std::uint32_t NowMs() = 0;
  virtual void ShowServiceStartingWindow() = 0;   // dialog 232, modeless
  virtual void CloseServiceStartingWindow() = 0;  // minimise, then destroy
  virtual void ShowInstallPrompt() = 0;           // dialog 233, modeless
  virtual void BuildFallbackTargetList() = 0;     // the device's target entries, each "NO"
  virtual void StartInitiatorRefresh() = 0;       // RunAndNotify; the portal refresh follows
  virtual void ReportServiceNotStarted() = 0;     // kServiceNotStartedMessage, product caption
};

// An Uninstall subkey whose "DisplayName" is exactly "Microsoft iSCSI Initiator".
bool IsInitiatorInstalled();

void EnsureInitiatorReady(int mode, InitiatorReadyActions& actions, InitiatorFlags& flags);
void ListTargetsByServiceState(InitiatorReadyActions& actions, InitiatorFlags& flags);
void StartInitiatorService(InitiatorReadyActions& actions, InitiatorFlags& flags);      // Vista or later
void StartInitiatorServicePreVista(InitiatorReadyActions& actions, InitiatorFlags& flags);

// The main window's size handler: true when a plain restore (size type 0) finds an install
// pending; the flags are then set for the resumed Connect, which the caller runs.
bool ResumeConnectAfterRestore(unsigned sizeType, InitiatorFlags& flags);

// The install prompt's OK: the folder of the program's path (text before the last backslash), the
// installer's path in it, and the message when it is missing.
std::string ProgramFolder(const std::string& modulePath);
std::string InstallerPath(const std::string& modulePath);
std::string MissingInstallerMessage(const std::string& folder);

}  // namespace sw::host
