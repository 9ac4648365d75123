// The iSCSI target list's computations (see target_list.h).

#include "iscsi/target_list.h"

#include <algorithm>

#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/wql_queries.h"

namespace sw::iscsi {

unsigned RefreshTimerDelayMs(int serviceJustStarted) {
  return serviceJustStarted == 1 ? kRefreshDelayAfterServiceStartMs : kRefreshDelayMs;
}

void RemoveAllTargetPortals(CWmiWrapper& wmi, int serviceJustStarted) {
  TextList addresses;
  wmi.QueryPropertyList(kSendTargetPortalClass, "PortalAddress", addresses);
  for (const auto& address : addresses) {
    // An address that cannot stand in a command line is left alone rather than run altered.
    if (auto removal = RemoveTargetPortalCommand(address)) RunCommand(*removal);
    if (serviceJustStarted == 0) RunCommand(ListTargetsCommand());
  }
}

std::int32_t AddDevicePortal(CWmiWrapper& wmi, const std::string& selectedDeviceIp) {
  return wmi.CreateInstanceWithProperty(kSendTargetPortalClass, "PortalAddress", selectedDeviceIp);
}

TargetStatus RefreshTargetStatus(CWmiWrapper& wmi, const std::string& selectedDeviceIp, int serviceJustStarted,
                                 TargetListState& state) {
  TextList candidates;
  wmi.QueryPropertyList(kSessionClass, "TargetName", candidates);
  wmi.QueryPropertyList(kTargetClass, "TargetName", candidates);

  std::vector<std::string> accepted;
  for (auto& candidate : candidates) {
    candidate = LowerAscii(candidate);
    if (std::find(accepted.begin(), accepted.end(), candidate) != accepted.end()) continue;
    std::vector<PortalRecord> portals;
    wmi.QueryTargetPortals(candidate, portals);
    for (const auto& portal : portals) {
      if (portal.address == selectedDeviceIp) accepted.push_back(candidate);
    }
  }
  std::sort(accepted.begin(), accepted.end());
  state.TargetNames = accepted;

  TargetStatus result;
  std::vector<std::string> displayNames;
  for (const auto& name : state.TargetNames) {
    std::size_t colon = name.find(':');
    state.TargetPrefix = colon == std::string::npos ? std::string() : name.substr(0, colon + 1);
    displayNames.push_back(colon == std::string::npos ? name : name.substr(colon + 1));
  }
  for (std::size_t k = 0; k < state.TargetNames.size(); ++k) {
    TextList active;
    if (auto condition = ConnectionStatisticsCondition(state.TargetNames[k])) {
      wmi.QueryPropertyList(*condition, "Active", active);
    }
    std::vector<PortalRecord> portals;
    wmi.QueryTargetPortals(state.TargetNames[k], portals);
    if (serviceJustStarted == 0) {
      TargetRow row{displayNames[k], ""};
      // Any statistics instance counts as connected, whatever its Active value.
      if (!portals.empty()) row.status = active.empty() ? kStatusNotConnected : kStatusConnected;
      result.rows.push_back(row);
    }
  }
  result.enableConnect = false;
  result.enableManagement = !state.TargetNames.empty();
  result.runDeferredLogin = serviceJustStarted == 1;
  return result;
}

TargetClick OnTargetListClick(int rowCount, int selectedRow, const std::string& name, const std::string& status,
                              TargetListState& state) {
  TargetClick click;
  if (rowCount <= 0) {
    click.disableManagement = true;
    return click;
  }
  if (selectedRow < 0) return click;
  click.setConnectText = true;
  if (LowerAscii(status) == "yes") {
    click.connectText = "Disconnect";
  } else {
    click.connectText = "Connect";
    state.CurrentTarget = state.TargetPrefix + name;
  }
  click.enableConnect = true;
  return click;
}

std::vector<TargetRow> FallbackTargetRows(const std::vector<std::string>& targetEntries, TargetListState& state) {
  std::vector<TargetRow> rows;
  for (const auto& entry : targetEntries) {
    std::size_t colon = entry.find(':');
    state.TargetPrefix = colon == std::string::npos ? std::string() : entry.substr(0, colon + 1);
    std::string rest = colon == std::string::npos ? entry : entry.substr(colon + 1);
    std::size_t bar = rest.find('|');
    rows.push_back({bar == std::string::npos ? std::string() : rest.substr(0, bar), kStatusNotConnected});
  }
  return rows;
}

}  // namespace sw::iscsi
