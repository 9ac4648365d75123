#pragma once
// The main dialog (template 102): device list, LAN settings, iSCSI and share panels.

#include <string>
#include <vector>

#include "app/colour_scheme.h"
#include "ui/dialog.h"
#include "ui/sx_group_box.h"

namespace sw::app {

constexpr unsigned kTimerIscsi = 1054;     // TIMER_ISCSI
constexpr unsigned kTimerDhcpDone = 1055;  // TIMER_DHCP_DONE

class CSeekwellDlg : public ui::CDialog {
 public:
  explicit CSeekwellDlg(ui::CWnd* parent = nullptr);
  ~CSeekwellDlg() override;

  const ui::MessageMap& GetMessageMap() const override;
  void DoDataExchange(ui::CDataExchange* pDX) override;
  bool OnInitDialog() override;
  void OnCancel() override;
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CWnd* control, ui::CtlColorKind kind) override;

  // Used by the feature panels.
  void DisableTargetButtons();
  void EnableTargetButtons();
  void StartTargetTimer();
  void FillDeviceList();
  void Refresh();
  // Drive mapping panel.
  void FillDriveLetterCombo();
  // Rebuilds list 1001 for the device row selected at or below `deviceTopRow`; after Connect the
  // server names compare case-sensitively, after Disconnect (and a device click) they do not.
  void RefreshVolumeList(bool serverCaseSensitive, int deviceTopRow);

  // Controls, bound by DoDataExchange.
  ui::CButton m_configuration, m_driveDisconnect, m_driveConnect, m_targetConnect, m_management, m_refresh;
  ui::CComboBox m_dhcpCombo, m_driveLetterCombo;
  ui::CListCtrl m_targetList, m_volumeList, m_deviceList;
  ui::CIPAddressCtrl m_deviceIp, m_deviceNetmask, m_deviceGateway;
  ui::CSxGroupBox m_deviceGroup, m_lanGroup, m_iscsiGroup, m_shareGroup;

  int DeviceSelected = 0;
  int ServiceJustStarted = 0;
  int InstallPending = 0;
  int InitiatorListActive = 0;
  int LogoutInProgress = 0;
  std::string TargetNames, TargetPrefix, CurrentTarget;

 private:
  ui::Lresult OnSysCommand(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnPaint(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnQueryDragIcon(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnSize(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnClose(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnTimer(ui::Wparam wParam, ui::Lparam lParam);
  void OnExit();
  void OnAbout();
  void OnRefresh();
  void OnDeviceListClick(ui::NotifyHeader* header, ui::Lresult* result);
  void SelectDeviceRow(int row);
  void ReleaseDeviceResources();
  // After a mapping was made or removed: the confirmation, the policy, the letters and the volumes.
  void AfterMappingChanged(const char* confirmationText, bool serverCaseSensitive, int deviceTop);
  void OnConnectDrive();
  void OnDisconnectDrive();
  void OnConfiguration();
  // Sets SelectedDeviceAddress, probes the device and waits; on no answer tells the user and
  // starts over with a new device search. True when the device answered.
  bool CheckDeviceReachable(const std::string& deviceIp);
  void FillVolumeList(const std::string& deviceName, const std::string& deviceIp, bool serverCaseSensitive);

  ColourScheme m_colours;
  ui::NativeHandle m_hIcon = nullptr;
  bool m_released = false;
  // Per row of list 1001: the share name could be shown exactly in the ANSI code page (a lossy
  // name, with '?' in it, must never be used to name a share).
  std::vector<bool> m_volumeNameExact;
};

// The first row at or below `topRow` (the list's top visible row) whose state has the selected
// bit, or -1: a selected row scrolled out above the visible area is not found.
int SelectedRowFrom(const ui::CListCtrl& list, int topRow);

// Address of the device selected in the device list, for drive mapping and web configuration.
constexpr int kSelectedDeviceAddressSize = 64;
extern char SelectedDeviceAddress[kSelectedDeviceAddressSize];

// The main dialog while it exists (other panels reach it through this), else nullptr.
CSeekwellDlg* MainDialog();

}  // namespace sw::app
