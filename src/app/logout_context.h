#pragma once
// What the dialogs hand the target logout: the WMI connection, the selected device as portal, the
// volume inventory and the information box for a failed logout.

#include <string>

#include "iscsi/target_logout.h"
#include "ui/wnd.h"

namespace sw::app {

// The inventory every logout of the program reads: the disk subsystem's volume inventory, or
// another source (tests); an empty one puts the disk inventory back.
void SetLogoutVolumeInventory(iscsi::VolumeInventory inventory);

// A context whose notices are information boxes owned by `owner`.
iscsi::LogoutContext MakeLogoutContext(ui::CWnd& owner, iscsi::CWmiWrapper& wmi, const std::string& deviceIp);

}  // namespace sw::app
