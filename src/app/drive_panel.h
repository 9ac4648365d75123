#pragma once
// The "Drive Mapping" panel of the main dialog: the selected device's volumes (1001) with the
// letters they are mapped to, the "Available Drive Letters :" combo (1013), Connect (1003) and
// Disconnect (1004); and the reachability check that Connect and Configuration run first.

#include <string>
#include <vector>

#include "app/device_selection.h"
#include "ui/sx_group_box.h"
#include "ui/dialog.h"

namespace sw::app {

class DrivePanel : public ui::CPanel {
 public:
  DrivePanel(ui::CDialog& dialog, DeviceSelection& selection);

  const ui::MessageMap& GetMessageMap() const override;
  void DoDataExchange(ui::CDataExchange* pDX) override;
  void InsertColumns();
  // At start-up: the linked-connections policy, the drive connection table and the letters.
  void StartUp();

  void FillDriveLetterCombo();
  // Rebuilds list 1001 for the device row selected at or below `deviceTopRow`; after Connect the
  // server names compare case-sensitively, after Disconnect (and a device click) they do not.
  void RefreshVolumeList(bool serverCaseSensitive, int deviceTopRow);
  // After a device click: the volumes of that device (server names compared without case).
  void ShowVolumes(const DeviceRow& device);
  // Connect and Disconnect, for a device this host reaches directly.
  void EnableMapping(bool enable);

  // Around a device search: the list is emptied with redrawing suspended, then redrawn.
  void BeginRefill();
  void EndRefill();

  // Sets SelectedDeviceAddress, probes the device and waits; on no answer tells the user and
  // starts over with a new device search. True when the device answered.
  bool CheckDeviceReachable(const std::string& deviceIp);

  void OnConnectDrive();
  void OnDisconnectDrive();

 private:
  void FillVolumeList(const DeviceRow& device, bool serverCaseSensitive);
  // After a mapping was made or removed: the confirmation, the policy, the letters and the volumes.
  void AfterMappingChanged(const char* confirmationText, bool serverCaseSensitive, int deviceTop);

  DeviceSelection& m_selection;
  ui::CListCtrl m_volumeList;
  ui::CComboBox m_driveLetterCombo;
  ui::CButton m_driveConnect, m_driveDisconnect;
  ui::CSxGroupBox m_group;
  // Per row of list 1001: the share name could be shown exactly in the ANSI code page (a lossy
  // name, with '?' in it, must never be used to name a share).
  std::vector<bool> m_volumeNameExact;
};

}  // namespace sw::app
