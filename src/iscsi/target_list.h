#pragma once
// The iSCSI target list (list 1029) as computations over the initiator's WMI view; the panel
// shows what they return and owns the timer and the controls.

#include <string>
#include <vector>

#include "iscsi/wmi_wrapper.h"

namespace sw::iscsi {

constexpr const char* kTargetConnectionFailedMessage = "iSCSI target connection failed.";
constexpr const char* kStatusConnected = "YES";
constexpr const char* kStatusNotConnected = "NO";
constexpr unsigned kRefreshTimerId = 1054;
constexpr unsigned kRefreshDelayMs = 100;
constexpr unsigned kRefreshDelayAfterServiceStartMs = 1000;

// Members of the main dialog's iSCSI panel that these functions read and write. The panel's
// ServiceJustStarted is host::InitiatorFlags::ServiceJustStarted, passed in where it counts.
struct TargetListState {
  std::vector<std::string> TargetNames;  // full lower-case names, one per row, sorted
  std::string TargetPrefix;              // up to and including the first ':' of the last row
  std::string CurrentTarget;             // prefix + name of the last clicked not-connected row
};

struct TargetRow {
  std::string name;    // column 0: the name after its prefix
  std::string status;  // column 1: "YES", "NO", or empty when the portal read failed
};

// The refresh timer's period for the state.
unsigned RefreshTimerDelayMs(int serviceJustStarted);

// Step 2 of the portal refresh: removes every send-target portal (one "RemoveTargetPortal" each,
// followed by "ListTargets t" unless the service was just started). The command lines run.
void RemoveAllTargetPortals(CWmiWrapper& wmi, int serviceJustStarted);
// Step 3: the device as the only portal. The status; non-zero means the panel shows
// kTargetConnectionFailedMessage.
std::int32_t AddDevicePortal(CWmiWrapper& wmi, const std::string& selectedDeviceIp);

struct TargetStatus {
  std::vector<TargetRow> rows;  // none while ServiceJustStarted is 1
  bool enableConnect = false;   // button 1030: always disabled after a refresh
  bool enableManagement = false;  // button 1031: when TargetNames is not empty
  bool runDeferredLogin = false;  // ServiceJustStarted was 1: the panel runs LoginTargets(1), then clears it
};
// Rebuilds TargetNames (and TargetPrefix when there is a row) from the sessions and the discovered
// targets whose portal is the selected device.
TargetStatus RefreshTargetStatus(CWmiWrapper& wmi, const std::string& selectedDeviceIp, int serviceJustStarted,
                                 TargetListState& state);

struct TargetClick {
  bool disableManagement = false;  // the list is empty: 1030 and 1031 both disabled
  bool setConnectText = false;
  std::string connectText;         // "Connect" or "Disconnect"
  bool enableConnect = false;
};
// A click on list 1029; `selectedRow` -1 when no row is selected, `name` and `status` its columns.
TargetClick OnTargetListClick(int rowCount, int selectedRow, const std::string& name, const std::string& status,
                              TargetListState& state);

// The list built from the device's own target entries ("prefix:name|auth@user$secret"), each with
// "NO"; TargetPrefix becomes the last entry's prefix.
std::vector<TargetRow> FallbackTargetRows(const std::vector<std::string>& targetEntries, TargetListState& state);

}  // namespace sw::iscsi
