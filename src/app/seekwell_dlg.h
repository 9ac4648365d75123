#pragma once
// The main dialog (template 102): composes the device, LAN, iSCSI and drive-mapping panels and keeps
// what belongs to the whole window: start-up, colours, About, Exit and close, the minimised icon.

#include "app/colour_scheme.h"
#include "app/device_panel.h"
#include "app/device_selection.h"
#include "app/drive_panel.h"
#include "app/iscsi_panel.h"
#include "app/lan_panel.h"
#include "ui/dialog.h"

namespace sw::app {

class CSeekwellDlg : public ui::CDialog {
 public:
  explicit CSeekwellDlg(ui::CWnd* parent = nullptr);

  const ui::MessageMap& GetMessageMap() const override;
  bool OnInitDialog() override;
  void OnCancel() override;
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CWnd* control, ui::CtlColorKind kind) override;

  // The device the user picked, as the panels and the feature dialogs see it.
  DeviceSelection& Selection() { return m_selection; }
  IscsiPanel& Iscsi() { return m_iscsi; }

 private:
  ui::Lresult OnSysCommand(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnPaint(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnQueryDragIcon(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnClose(ui::Wparam wParam, ui::Lparam lParam);
  void OnExit();
  void OnAbout();
  void ReleaseDeviceResources();

  DeviceSelection m_selection;
  IscsiPanel m_iscsi;
  LanPanel m_lan;
  DrivePanel m_drives;
  DevicePanel m_devices;
  ColourScheme m_colours;
  ui::NativeHandle m_hIcon = nullptr;
  bool m_released = false;
};

}  // namespace sw::app
