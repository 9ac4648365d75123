#include "app/logout_context.h"

#include <utility>

namespace sw::app {

namespace {
iscsi::VolumeInventory& Inventory() {
  static iscsi::VolumeInventory inventory;
  return inventory;
}
}  // namespace

void SetLogoutVolumeInventory(iscsi::VolumeInventory inventory) { Inventory() = std::move(inventory); }

iscsi::LogoutContext MakeLogoutContext(ui::CWnd& owner, iscsi::CWmiWrapper& wmi, const std::string& deviceIp) {
  return iscsi::LogoutContext{wmi, deviceIp, Inventory(), [&owner](const std::string& text) {
                                owner.MessageBox(text, iscsi::kProductCaption, ui::kMbOk | ui::kMbIconInformation);
                              }};
}

}  // namespace sw::app
