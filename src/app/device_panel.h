#pragma once
// The "Network Storage Device" panel of the main dialog: the device list (1000), Refresh (1002)
// and Configuration (1008). A click on a device fills the other panels for it.

#include <string>

#include "app/device_selection.h"
#include "ui/sx_group_box.h"
#include "ui/dialog.h"

namespace sw::app {

class DrivePanel;
class IscsiPanel;
class LanPanel;

class DevicePanel : public ui::CPanel {
 public:
  DevicePanel(ui::CDialog& dialog, DeviceSelection& selection, LanPanel& lan, IscsiPanel& iscsi,
              DrivePanel& drives);

  const ui::MessageMap& GetMessageMap() const override;
  void DoDataExchange(ui::CDataExchange* pDX) override;
  void InsertColumns();

  void FillDeviceList();
  // A new discovery pass: every list of the dialog is emptied and the device list refilled.
  void Refresh();
  // Around a change of a device's address: every list emptied (the target buttons and Refresh
  // disabled meanwhile), then a discovery pass that refills the device list.
  void EmptyListsForAddressChange();
  void Rediscover();

 private:
  void OnRefresh();
  void OnDeviceListClick(ui::NotifyHeader* header, ui::Lresult* result);
  void OnConfiguration();
  void SelectDeviceRow(int row);

  DeviceSelection& m_selection;
  LanPanel& m_lan;
  IscsiPanel& m_iscsi;
  DrivePanel& m_drives;
  ui::CListCtrl m_deviceList;
  ui::CButton m_refresh, m_configuration;
  ui::CSxGroupBox m_group;
};

}  // namespace sw::app
