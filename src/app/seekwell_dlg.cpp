#include "app/seekwell_dlg.h"

#include "app/about_dlg.h"
#include "app/device_port.h"
#include "iscsi/command_runner.h"
#include "protocol/discovery.h"
#include "protocol/protocol_state.h"
#include "resource.h"

namespace sw::app {

namespace {
constexpr unsigned kAboutCommand = IDM_ABOUTBOX;  // system-menu command ids 16..31
constexpr unsigned kIccAllClasses = 0xFF;
}  // namespace

CSeekwellDlg::CSeekwellDlg(ui::CWnd* parent)
    : ui::CDialog(IDD_SEEKWELL_DIALOG, parent),
      m_iscsi(*this, m_selection),
      m_lan(*this, m_selection, m_iscsi, m_devices),
      m_drives(*this, m_selection),
      m_devices(*this, m_selection, m_lan, m_iscsi, m_drives) {
  m_hIcon = ui::LoadAppIcon(IDR_MAINFRAME);
  AddPanel(m_devices);
  AddPanel(m_lan);
  AddPanel(m_iscsi);
  AddPanel(m_drives);
}

const ui::MessageMap& CSeekwellDlg::GetMessageMap() const {
  static const ui::MessageMapEntry entries[] = {
      ui::OnMessage(ui::kWmSysCommand, &CSeekwellDlg::OnSysCommand),
      ui::OnMessage(ui::kWmPaint, &CSeekwellDlg::OnPaint),
      ui::OnMessage(ui::kWmQueryDragIcon, &CSeekwellDlg::OnQueryDragIcon),
      ui::OnMessage(ui::kWmClose, &CSeekwellDlg::OnClose),
      ui::OnMessage(ui::kWmSize, &CSeekwellDlg::OnSize),
      ui::OnRegisteredMessage(iscsi::kProcessTerminatedMessageName, &CSeekwellDlg::OnProcessTerminated),
      ui::OnCommand(IDC_EXIT, ui::kBnClicked, &CSeekwellDlg::OnExit),
      ui::OnCommand(IDC_ABOUT, ui::kBnClicked, &CSeekwellDlg::OnAbout),
  };
  static const ui::MessageMap map{entries, sizeof entries / sizeof entries[0]};
  return map;
}

bool CSeekwellDlg::OnInitDialog() {
  ui::InitComApartmentThreaded();
  ui::InitCommonControls(kIccAllClasses);
  ui::CDialog::OnInitDialog();  // binds every panel's controls
  m_colours.CreateBrushes();

  std::string aboutItem = ui::LoadString(IDS_ABOUTBOX);
  if (ui::CMenu* systemMenu = GetSystemMenu(false); systemMenu && !aboutItem.empty()) {
    systemMenu->AppendMenu(ui::kMfSeparator);
    systemMenu->AppendMenu(ui::kMfString, kAboutCommand, aboutItem);
  }
  SetIcon(m_hIcon, true);
  SetIcon(m_hIcon, false);

  m_devices.InsertColumns();
  m_drives.InsertColumns();
  m_iscsi.InsertColumns();

  m_drives.StartUp();
  m_devices.Refresh();

  m_selection.DeviceSelected = 0;
  m_iscsi.ResetFlags();
  m_iscsi.DisableTargetButtons();
  return true;
}

ui::NativeHandle CSeekwellDlg::OnCtlColor(ui::CDC& dc, ui::CWnd*, ui::CtlColorKind kind) {
  return m_colours.OnCtlColor(dc, kind);
}

ui::Lresult CSeekwellDlg::OnSysCommand(ui::Wparam wParam, ui::Lparam) {
  if ((static_cast<unsigned>(wParam) & 0xFFF0) == kAboutCommand) {
    OnAbout();
  } else {
    Default();
  }
  return 0;
}

ui::Lresult CSeekwellDlg::OnPaint(ui::Wparam, ui::Lparam) {
  if (IsIconic()) {
    ui::PaintMinimizedIcon(*this, m_hIcon);
  } else {
    Default();
  }
  return 0;
}

ui::Lresult CSeekwellDlg::OnQueryDragIcon(ui::Wparam, ui::Lparam) { return reinterpret_cast<ui::Lresult>(m_hIcon); }

void CSeekwellDlg::ReleaseDeviceResources() {
  // Exit, the close box and Escape all come here; the table and the sockets go exactly once.
  if (m_released) return;
  m_released = true;
  protocol::ProtocolState& state = protocol::GetProtocolState();
  protocol::FreeDeviceList(state.deviceList);
  protocol::FreeNames(state.shareNameList);
  protocol::FreeNames(state.targetEntryList);
  protocol::CloseDeviceSockets(state, DevicePort());
}

ui::Lresult CSeekwellDlg::OnClose(ui::Wparam, ui::Lparam) {
  ReleaseDeviceResources();
  Default();
  return 0;
}

ui::Lresult CSeekwellDlg::OnSize(ui::Wparam wParam, ui::Lparam) {
  Default();
  m_iscsi.OnMainWindowSize(static_cast<unsigned>(wParam));
  return 0;
}

ui::Lresult CSeekwellDlg::OnProcessTerminated(ui::Wparam wParam, ui::Lparam lParam) {
  return m_iscsi.RefreshTargetPortals(wParam, lParam);
}

void CSeekwellDlg::OnCancel() {
  ReleaseDeviceResources();
  ui::CDialog::OnCancel();
}

void CSeekwellDlg::OnExit() {
  ReleaseDeviceResources();
  DestroyWindow();
}

void CSeekwellDlg::OnAbout() {
  CAboutDlg about(this);
  about.DoModal();
}

}  // namespace sw::app
