#include "app/logout_context.h"

#include <utility>

#include "disk/volume_inventory.h"

namespace sw::app {

namespace {
// The disk subsystem's inventory, built afresh for every logout.
std::vector<iscsi::InventoryVolume> DiskInventory() {
  disk::VolumeTable table;
  disk::BuildVolumeTable(table);
  return disk::VolumeTargets(table);
}

iscsi::VolumeInventory& Inventory() {
  static iscsi::VolumeInventory inventory = DiskInventory;
  return inventory;
}
}  // namespace

void SetLogoutVolumeInventory(iscsi::VolumeInventory inventory) {
  Inventory() = inventory ? std::move(inventory) : iscsi::VolumeInventory(DiskInventory);
}

iscsi::LogoutContext MakeLogoutContext(ui::CWnd& owner, iscsi::CWmiWrapper& wmi, const std::string& deviceIp) {
  return iscsi::LogoutContext{wmi, deviceIp, Inventory(), [&owner](const std::string& text) {
                                owner.MessageBox(text, iscsi::kProductCaption, ui::kMbOk | ui::kMbIconInformation);
                              }};
}

}  // namespace sw::app
