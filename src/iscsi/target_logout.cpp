// Target logout over the command runner and the WMI layer (see target_logout.h).

#include "iscsi/target_logout.h"

#include "host/clock.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/wql_queries.h"

namespace sw::iscsi {

namespace {

// Windows may still be settling the volumes it just reported.
constexpr unsigned kInventorySettleMs = 100;

void RemovePersistentDevices(const std::string& target, LogoutContext& context) {
  std::vector<InventoryVolume> volumes;
  if (context.inventory) volumes = context.inventory();
  host::SleepMs(kInventorySettleMs);
  for (const InventoryVolume& volume : volumes) {
    if (volume.targetName != target || LowerAscii(volume.drivePath) == "*") continue;
    if (auto command = RemovePersistentDeviceCommand(volume.drivePath)) RunCommand(*command);
  }
}

void LogoutSessions(const std::string& target, LogoutContext& context) {
  TextList sessionIds;
  if (auto condition = SessionsOfTargetCondition(target)) {
    context.wmi.QueryPropertyList(*condition, "SessionId", sessionIds);
  }
  for (const std::string& id : sessionIds) {
    auto command = LogoutTargetCommand(id);
    if (!command) continue;
    // Each logout is judged on its own output only.
    CommandOutput().clear();
    if (!RunCommand(*command)) continue;
    if (auto notice = LogoutNotice(CommandOutput()); notice && context.showNotice) context.showNotice(*notice);
  }
}

}  // namespace

void RemovePersistentLogins(const std::string& target, CWmiWrapper& wmi, const std::string& portalAddress) {
  TextList instances;
  if (auto condition = PersistentLoginsOfTargetCondition(target)) {
    wmi.QueryPropertyList(*condition, "InitiatorInstance", instances);
  }
  for (const std::string& instance : instances) {
    if (auto command = RemovePersistentTargetCommand(instance, target, portalAddress)) RunCommand(*command);
  }
}

std::optional<std::string> LogoutNotice(const std::string& output) {
  const std::size_t at = output.find("The");
  if (at == std::string::npos || at == 0) return std::nullopt;
  return output.substr(at);
}

void LogoutTarget(const std::string& target, int removeDevices, LogoutContext& context) {
  if (!IsValidIscsiName(target)) return;
  if (removeDevices == 1) RemovePersistentDevices(target, context);
  LogoutSessions(target, context);
  RemovePersistentLogins(target, context.wmi, context.selectedDeviceIp);
}

bool LogoutTargetOfRow(int selectedRow, const std::vector<std::string>& targetNames, LogoutContext& context) {
  if (selectedRow < 0 || static_cast<std::size_t>(selectedRow) >= targetNames.size()) return true;
  const std::string& target = targetNames[static_cast<std::size_t>(selectedRow)];
  if (!IsValidIscsiName(target)) return false;
  LogoutTarget(target, 1, context);
  return true;
}

void EndDeviceIscsiUse(const std::vector<std::string>& rowStatuses, const std::vector<std::string>& targetNames,
                       LogoutContext& context) {
  if (rowStatuses.empty()) return;
  for (std::size_t row = 0; row < rowStatuses.size(); ++row) {
    if (LowerAscii(rowStatuses[row]) == "yes") LogoutTargetOfRow(static_cast<int>(row), targetNames, context);
  }
  RunCommand(ClearPersistentDevicesCommand());
  if (auto removal = RemoveTargetPortalCommand(context.selectedDeviceIp)) RunCommand(*removal);
  RunCommand(ListTargetsCommand());
}

}  // namespace sw::iscsi
