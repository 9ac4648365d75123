#pragma once
// The device picked in the device list, as the main dialog's panels and the feature dialogs see it.
// The main dialog owns one; the device panel writes it, the others read it.

#include <optional>
#include <string>

#include "ui/wnd.h"

namespace sw::app {

constexpr int kSelectedDeviceAddressSize = 64;

// One row of the device list: column 0 and column 1.
struct DeviceRow {
  std::string name;
  std::string ip;
};

class DeviceSelection {
 public:
  // 1 after a click on the device list (also one that selected nothing); 0 after a device search
  // and after a switch of the device to DHCP.
  int DeviceSelected = 0;

  // The IP text of the device last acted on, for drive mapping and web configuration: written on a
  // device click and by Connect and Configuration before the reachability probe.
  const char* SelectedDeviceAddress() const { return m_address; }
  void SetSelectedDeviceAddress(const std::string& ip);

  // The key of every exchange with the device (the protocol state's SelectedDeviceIp, at most 15
  // characters): written on a device click, kept by a device search.
  const char* SelectedDeviceIp() const;
  void SetSelectedDeviceIp(const std::string& ip);

  // The device list the rows are read from (the device panel attaches its list when it binds it).
  void AttachList(const ui::CListCtrl* list) { m_list = list; }
  // The list's first visible row (0 without a list); handlers note it when they start.
  int TopRow() const;
  // The selected device row at or below `topRow`, or nullopt.
  std::optional<DeviceRow> RowFrom(int topRow) const;

 private:
  char m_address[kSelectedDeviceAddressSize] = {};
  const ui::CListCtrl* m_list = nullptr;
};

// The first row at or below `topRow` (the list's top visible row) whose state has the selected
// bit, or -1: a selected row scrolled out above the visible area is not found.
int SelectedRowFrom(const ui::CListCtrl& list, int topRow);

}  // namespace sw::app
