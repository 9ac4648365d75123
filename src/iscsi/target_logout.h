#pragma once
// Disconnecting a target: its disk's persistent devices, then every session to it, then every
// persistent login of it, in that order. The volume inventory and the notice box come from the
// layers above through the context: the inventory is built by the disk subsystem, the box by the UI.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/product.h"

#include "iscsi/wmi_wrapper.h"

namespace sw::iscsi {

using base::kProductCaption;

// One volume of the inventory, as the logout reads it.
struct InventoryVolume {
  std::string drivePath;   // "E:\", or "*" when the volume has no drive letter
  std::string targetName;  // the target whose disk holds the volume
};
using VolumeInventory = std::function<std::vector<InventoryVolume>()>;

struct LogoutContext {
  CWmiWrapper& wmi;
  std::string selectedDeviceIp;  // the portal named when persistent logins are removed
  VolumeInventory inventory;     // empty: no volume is known, none is removed
  // Shows a logout failure to the user (information box with kProductCaption).
  std::function<void(const std::string& text)> showNotice;
};

// What the user is shown of a logout command's output: from the first "The" to the end, when that
// "The" is not at the very start; nothing otherwise.
std::optional<std::string> LogoutNotice(const std::string& output);

// The three steps for `target`; the persistent devices only when `removeDevices` is 1. A name
// outside the iSCSI grammar is not acted on at all: it could not be put in a query or command.
void LogoutTarget(const std::string& target, int removeDevices, LogoutContext& context);

// Step 3 alone: one "removepersistenttarget" per persistent login of `target`, naming
// `portalAddress` (also the clean-up after a failed login).
void RemovePersistentLogins(const std::string& target, CWmiWrapper& wmi, const std::string& portalAddress);

// The steps of LogoutSelectedTarget for row `selectedRow` of the target list (persistent devices
// always). Nothing for -1 (no selection) or a row without a name. False when the row's name fails
// IsValidIscsiName, so nothing was done: the caller tells the user (kInvalidTargetNameMessage).
bool LogoutTargetOfRow(int selectedRow, const std::vector<std::string>& targetNames, LogoutContext& context);

// Before a device's address changes: when the list has rows, every row whose status reads "yes"
// (any case) is logged out with its persistent devices, then the persistent devices are cleared,
// the device's portal removed and the targets listed again. `rowStatuses` is column 1 of each row.
void EndDeviceIscsiUse(const std::vector<std::string>& rowStatuses, const std::vector<std::string>& targetNames,
                       LogoutContext& context);

}  // namespace sw::iscsi
