#include "app/seekwell_dlg.h"

#include "app/about_dlg.h"
#include "app/device_port.h"
#include "app/login_dlg.h"
#include "app/panel_rules.h"
#include "host/windows_version.h"
#include "protocol/discovery.h"
#include "protocol/exchanges.h"
#include "protocol/protocol_state.h"
#include "resource.h"
#include "share/ansi_text.h"
#include "share/connect_attempts.h"
#include "share/drive_connection_table.h"
#include "share/linked_connections.h"
#include "share/network_drives.h"
#include "share/reachability.h"
#include "share/share_names.h"
#include "share/web_configuration.h"

namespace sw::app {

char SelectedDeviceAddress[kSelectedDeviceAddressSize] = {};

namespace {
CSeekwellDlg* g_mainDialog = nullptr;

constexpr unsigned kAboutCommand = IDM_ABOUTBOX;  // system-menu command ids 16..31
constexpr unsigned kIccAllClasses = 0xFF;

struct ColumnSpec {
  const char* heading;
  int width;
};
constexpr ColumnSpec kDeviceColumns[] = {{"Name", 94}, {"IP", 90}, {"Netmask", 90}, {"Gateway", 90}};
constexpr ColumnSpec kVolumeColumns[] = {{"Volume Name", 128}, {"Location", 112}};
constexpr ColumnSpec kTargetColumns[] = {{"Name", 205}, {"Active", 110}};

constexpr const char* kWarning = "Warning";
constexpr const char* kError = "Error";
constexpr const char* kConfirm = "Confirm";
constexpr const char* kSelectVolumeText = "Please select a device in the above section.";
constexpr const char* kSelectDeviceToConfigureText = "Please select a device to configure.";
constexpr const char* kDeviceGoneText = "Device is no longer available.";
constexpr const char* kMapFailedText = "Failed to map drive.";
constexpr const char* kUnmapFailedText =
    "Unable to disconnect this drive.\nPlease select a drive to disconnect and verify that the drive is not "
    "being accessed.";
constexpr const char* kRestartNote = "\nPlease restart your PC to see drive mapping.";

// The confirmation after a (un)mapping; "" when the version cannot be read (nothing is shown then).
// An elevated 32-bit program on 64-bit Vista or later maps for its own session only: the user's
// Explorer sees the drive after a restart.
std::string MappingConfirmation(const char* done) {
  host::WindowsVersionInfo info;
  if (!host::QueryWindowsVersion(info)) return std::string();
  std::string text = done;
  if (host::IsVistaOrLaterClient(info) && host::IsWow64Windows()) text += kRestartNote;
  return text;
}

template <std::size_t N>
void InsertColumns(ui::CListCtrl& list, const ColumnSpec (&columns)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    list.InsertColumn(static_cast<int>(i), columns[i].heading, ui::kLvcfmtLeft, columns[i].width);
  }
  list.SetExtendedStyle(list.GetExtendedStyle() | ui::kLvsExFullRowSelect);
}

void ShowAddress(ui::CIPAddressCtrl& control, const std::string& text) {
  std::uint8_t bytes[4];
  if (protocol::ParseIpv4(text.c_str(), bytes)) {
    control.SetAddress(bytes[0], bytes[1], bytes[2], bytes[3]);
  } else {
    control.ClearAddress();
  }
}
}  // namespace

CSeekwellDlg* MainDialog() { return g_mainDialog; }

int SelectedRowFrom(const ui::CListCtrl& list, int topRow) {
  const int count = list.GetItemCount();
  for (int row = topRow < 0 ? 0 : topRow; row < count; ++row) {
    if (list.GetItemState(row, ui::kLvisSelected) & ui::kLvisSelected) return row;
  }
  return -1;
}

CSeekwellDlg::CSeekwellDlg(ui::CWnd* parent) : ui::CDialog(IDD_SEEKWELL_DIALOG, parent) {
  m_hIcon = ui::LoadAppIcon(IDR_MAINFRAME);
}

CSeekwellDlg::~CSeekwellDlg() {
  if (g_mainDialog == this) g_mainDialog = nullptr;
}

const ui::MessageMap& CSeekwellDlg::GetMessageMap() const {
  static const ui::MessageMapEntry entries[] = {
      ui::OnMessage(ui::kWmSysCommand, &CSeekwellDlg::OnSysCommand),
      ui::OnMessage(ui::kWmPaint, &CSeekwellDlg::OnPaint),
      ui::OnMessage(ui::kWmQueryDragIcon, &CSeekwellDlg::OnQueryDragIcon),
      ui::OnMessage(ui::kWmSize, &CSeekwellDlg::OnSize),
      ui::OnMessage(ui::kWmClose, &CSeekwellDlg::OnClose),
      ui::OnMessage(ui::kWmTimer, &CSeekwellDlg::OnTimer),
      ui::OnCommand(IDC_EXIT, ui::kBnClicked, &CSeekwellDlg::OnExit),
      ui::OnNotify(IDC_DEVICE_LIST, ui::kNmClick, &CSeekwellDlg::OnDeviceListClick),
      ui::OnCommand(IDC_REFRESH, ui::kBnClicked, &CSeekwellDlg::OnRefresh),
      ui::OnCommand(IDC_ABOUT, ui::kBnClicked, &CSeekwellDlg::OnAbout),
      ui::OnCommand(IDC_DRIVE_CONNECT, ui::kBnClicked, &CSeekwellDlg::OnConnectDrive),
      ui::OnCommand(IDC_DRIVE_DISCONNECT, ui::kBnClicked, &CSeekwellDlg::OnDisconnectDrive),
      ui::OnCommand(IDC_CONFIGURATION, ui::kBnClicked, &CSeekwellDlg::OnConfiguration),
  };
  static const ui::MessageMap map{entries, sizeof entries / sizeof entries[0]};
  return map;
}

void CSeekwellDlg::DoDataExchange(ui::CDataExchange* pDX) {
  ui::DDX_Control(pDX, IDC_CONFIGURATION, m_configuration);
  ui::DDX_Control(pDX, IDC_DRIVE_DISCONNECT, m_driveDisconnect);
  ui::DDX_Control(pDX, IDC_DRIVE_CONNECT, m_driveConnect);
  ui::DDX_Control(pDX, IDC_TARGET_CONNECT, m_targetConnect);
  ui::DDX_Control(pDX, IDC_MANAGEMENT, m_management);
  ui::DDX_Control(pDX, IDC_REFRESH, m_refresh);
  ui::DDX_Control(pDX, IDC_DHCP, m_dhcpCombo);
  ui::DDX_Control(pDX, IDC_DRIVE_LETTERS, m_driveLetterCombo);
  ui::DDX_Control(pDX, IDC_TARGET_LIST, m_targetList);
  ui::DDX_Control(pDX, IDC_VOLUME_LIST, m_volumeList);
  ui::DDX_Control(pDX, IDC_DEVICE_LIST, m_deviceList);
  ui::DDX_Control(pDX, IDC_DEVICE_IP, m_deviceIp);
  ui::DDX_Control(pDX, IDC_DEVICE_NETMASK, m_deviceNetmask);
  ui::DDX_Control(pDX, IDC_DEVICE_GATEWAY, m_deviceGateway);
  // A themed group box ignores the dialog's text colour; these draw their captions white themselves.
  ui::DDX_Control(pDX, IDC_DEVICE_GROUP, m_deviceGroup);
  ui::DDX_Control(pDX, IDC_LAN_GROUP, m_lanGroup);
  ui::DDX_Control(pDX, IDC_ISCSI_GROUP, m_iscsiGroup);
  ui::DDX_Control(pDX, IDC_SHARE_GROUP, m_shareGroup);
}

bool CSeekwellDlg::OnInitDialog() {
  ui::InitComApartmentThreaded();
  ui::InitCommonControls(kIccAllClasses);
  ui::CDialog::OnInitDialog();
  m_colours.CreateBrushes();

  std::string aboutItem = ui::LoadString(IDS_ABOUTBOX);
  if (ui::CMenu* systemMenu = GetSystemMenu(false); systemMenu && !aboutItem.empty()) {
    systemMenu->AppendMenu(ui::kMfSeparator);
    systemMenu->AppendMenu(ui::kMfString, kAboutCommand, aboutItem);
  }
  SetIcon(m_hIcon, true);
  SetIcon(m_hIcon, false);

  InsertColumns(m_deviceList, kDeviceColumns);
  InsertColumns(m_volumeList, kVolumeColumns);
  InsertColumns(m_targetList, kTargetColumns);

  share::EnsureLinkedConnections();
  FillDriveLetterCombo();

  Refresh();

  DeviceSelected = 0;
  ServiceJustStarted = 0;
  InstallPending = 0;
  InitiatorListActive = 0;
  LogoutInProgress = 0;
  g_mainDialog = this;

  DisableTargetButtons();
  return true;
}

ui::NativeHandle CSeekwellDlg::OnCtlColor(ui::CDC& dc, ui::CWnd*, ui::CtlColorKind kind) {
  return m_colours.OnCtlColor(dc, kind);
}

void CSeekwellDlg::DisableTargetButtons() {
  m_targetConnect.EnableWindow(false);
  m_management.EnableWindow(false);
}

void CSeekwellDlg::EnableTargetButtons() {
  m_targetConnect.EnableWindow(true);
  m_management.EnableWindow(true);
}

void CSeekwellDlg::StartTargetTimer() { SetTimer(kTimerIscsi, ServiceJustStarted == 1 ? 1000 : 100); }

void CSeekwellDlg::FillDeviceList() {
  m_deviceList.SetRedraw(false);
  int row = 0;
  for (const protocol::DeviceRecord* d = protocol::GetProtocolState().deviceList.head; d; d = d->next, ++row) {
    int item = m_deviceList.InsertItem(row, d->name);
    m_deviceList.SetItemText(item, 1, d->ipAddress);
    m_deviceList.SetItemText(item, 2, d->netmask);
    m_deviceList.SetItemText(item, 3, d->gateway);
  }
  m_deviceList.SetRedraw(true);
}

void CSeekwellDlg::Refresh() {
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  ui::CListCtrl* lists[] = {&m_deviceList, &m_volumeList, &m_targetList};
  for (ui::CListCtrl* list : lists) {
    list->SetRedraw(false);
    list->DeleteAllItems();
  }
  m_deviceIp.ClearAddress();
  m_deviceNetmask.ClearAddress();
  m_deviceGateway.ClearAddress();

  m_refresh.EnableWindow(false);
  protocol::DiscoverDevices(protocol::GetProtocolState(), DevicePort(), protocol::kDefaultFilterA,
                            protocol::kDefaultFilterB);
  for (ui::CListCtrl* list : lists) {
    list->SetRedraw(true);
    list->Invalidate();
    list->UpdateWindow();
  }
  m_refresh.EnableWindow(true);

  DisableTargetButtons();
  FillDeviceList();
  DeviceSelected = 0;
}

void CSeekwellDlg::OnRefresh() { Refresh(); }

void CSeekwellDlg::OnDeviceListClick(ui::NotifyHeader*, ui::Lresult* result) {
  // The share query blocks for up to about 2.3 s when the device is silent.
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  DeviceSelected = 1;
  m_deviceList.SetFocus();
  const int last = m_deviceList.GetItemCount();
  for (int row = m_deviceList.GetTopIndex(); row < last; ++row) {
    if (m_deviceList.GetItemState(row, ui::kLvisSelected)) SelectDeviceRow(row);
  }
  *result = 0;
}

void CSeekwellDlg::SelectDeviceRow(int row) {
  protocol::ProtocolState& state = protocol::GetProtocolState();
  const std::string ip = m_deviceList.GetItemText(row, 1);
  protocol::SetSelectedDeviceIp(state, ip.c_str());
  ShowAddress(m_deviceIp, ip);

  const protocol::DeviceRecord* record = nullptr;
  for (const protocol::DeviceRecord* d = state.deviceList.head; d; d = d->next) {
    if (ip != d->ipAddress) continue;
    record = d;
    const bool dhcpOn = d->dhcpState[0] == '1';
    m_dhcpCombo.SetCurSel(dhcpOn ? 1 : 0);
    m_deviceIp.EnableWindow(!dhcpOn);
    m_deviceNetmask.EnableWindow(!dhcpOn);
    m_deviceGateway.EnableWindow(!dhcpOn);
    if (d->iscsiCapable != 1) {
      m_targetList.SetRedraw(false);
      m_targetList.DeleteAllItems();
      DisableTargetButtons();
      m_targetList.SetRedraw(true);
      m_targetList.Invalidate();
    }
  }

  ShowAddress(m_deviceNetmask, m_deviceList.GetItemText(row, 2));

  // Share, web and drive buttons only make sense for a device this host can reach directly.
  if (record) {
    unsigned char device[4], mask[4];
    m_deviceIp.GetAddress(device[0], device[1], device[2], device[3]);
    m_deviceNetmask.GetAddress(mask[0], mask[1], mask[2], mask[3]);
    const auto& interfaces = state.localInterfaces;
    const int index = record->interfaceIndex;
    const char* local = index >= 0 && index < interfaces.count ? interfaces.address[index] : nullptr;
    const bool sameSubnet = ShareButtonsEnabled(device, mask, local);
    m_driveConnect.EnableWindow(sameSubnet);
    m_driveDisconnect.EnableWindow(sameSubnet);
    m_configuration.EnableWindow(sameSubnet);
  }

  ShowAddress(m_deviceGateway, m_deviceList.GetItemText(row, 3));

  // A device that does not answer leaves the share list empty; nothing is shown.
  protocol::QueryShareNames(state, DevicePort());

  const std::string name = m_deviceList.GetItemText(row, 0);
  protocol::CopyText(SelectedDeviceAddress, sizeof SelectedDeviceAddress, ip.c_str());
  FillVolumeList(name, ip, false);
}

void CSeekwellDlg::FillVolumeList(const std::string& deviceName, const std::string& deviceIp,
                                  bool serverCaseSensitive) {
  m_volumeList.SetRedraw(false);
  m_volumeList.DeleteAllItems();
  m_volumeNameExact.clear();
  int row = 0;
  for (const protocol::NameEntry* n = protocol::GetProtocolState().shareNameList.head; n; n = n->next) {
    // A name that would put a separator or a control character into "\\DEVICE\SHARE" names some
    // other place than a share of this device: it is not offered at all.
    if (!share::IsSafeNetworkName(n->text)) continue;
    std::string shown;
    const bool exact = share::Utf8ToAnsi(n->text, shown);
    const int item = m_volumeList.InsertItem(row++, shown);
    m_volumeNameExact.push_back(exact);
    const std::string location = share::LocationOfVolume(share::DriveConnectionTable, deviceName.c_str(),
                                                         deviceIp.c_str(), shown.c_str(), serverCaseSensitive);
    m_volumeList.SetItemText(item, 1, location);
  }
  m_volumeList.SetRedraw(true);
  m_volumeList.Invalidate();
}

void CSeekwellDlg::RefreshVolumeList(bool serverCaseSensitive, int deviceTopRow) {
  m_volumeList.DeleteAllItems();
  m_volumeNameExact.clear();
  m_volumeList.Invalidate();
  const int row = SelectedRowFrom(m_deviceList, deviceTopRow);
  if (row < 0) return;
  FillVolumeList(m_deviceList.GetItemText(row, 0), m_deviceList.GetItemText(row, 1), serverCaseSensitive);
}

void CSeekwellDlg::FillDriveLetterCombo() {
  const share::DriveLetterComboContent content = share::CurrentDriveLetterCombo();
  m_driveLetterCombo.ResetContent();
  for (const std::string& item : content.items) m_driveLetterCombo.AddString(item);
  m_driveLetterCombo.SetCurSel(content.selection);
}

bool CSeekwellDlg::CheckDeviceReachable(const std::string& deviceIp) {
  protocol::CopyText(SelectedDeviceAddress, sizeof SelectedDeviceAddress, deviceIp.c_str());
  share::StartReachabilityProbe(SelectedDeviceAddress);
  if (share::WaitForDeviceReachable()) return true;
  MessageBox(kDeviceGoneText, kWarning, ui::kMbOk | ui::kMbIconExclamation);
  share::EnsureLinkedConnections();
  FillDriveLetterCombo();
  Refresh();
  DeviceSelected = 0;
  return false;
}

void CSeekwellDlg::OnConnectDrive() {
  const int deviceTop = m_deviceList.GetTopIndex();
  const int volumeTop = m_volumeList.GetTopIndex();
  ui::BusyCursor busy(IDR_BUSY_CURSOR);

  AdminLoginMode = 0;
  protocol::LoginCredentials& credentials = protocol::GetProtocolState().loginCredentials;
  credentials = protocol::LoginCredentials{};

  std::string versionName;
  host::GetWindowsVersionName(versionName);
  const share::ConnectPlan plan = share::ConnectPlanFor(versionName);

  const int deviceRow = SelectedRowFrom(m_deviceList, deviceTop);
  if (deviceRow >= 0) {
    protocol::CopyText(SelectedDeviceAddress, sizeof SelectedDeviceAddress,
                       m_deviceList.GetItemText(deviceRow, 1).c_str());
  }
  const int volumeRow = SelectedRowFrom(m_volumeList, volumeTop);
  // Without a device row the remote name would have no server: treated like a missing volume.
  if (deviceRow < 0 || volumeRow < 0) {
    MessageBox(kSelectVolumeText, kWarning, ui::kMbOk | ui::kMbIconExclamation);
    return;
  }
  const std::string deviceIp = m_deviceList.GetItemText(deviceRow, 1);
  const std::string deviceName = m_deviceList.GetItemText(deviceRow, 0);
  const std::string volumeName = m_volumeList.GetItemText(volumeRow, 0);
  const bool volumeNameExact =
      volumeRow < static_cast<int>(m_volumeNameExact.size()) && m_volumeNameExact[static_cast<size_t>(volumeRow)];

  if (!CheckDeviceReachable(deviceIp)) return;

  const int letterIndex = m_driveLetterCombo.GetCurSel();
  if (letterIndex < 0) return;
  const std::string drive = share::DriveNameOf(m_driveLetterCombo.GetLBText(letterIndex));

  // A name the code page could not hold, or one that would leave the device's share, is refused
  // before the letter's current mapping is cancelled.
  std::string remoteName;
  if (drive.empty() || !volumeNameExact || !share::BuildRemoteName(deviceName, volumeName, remoteName)) {
    MessageBox(kMapFailedText, kError, ui::kMbOk | ui::kMbIconStop);
    return;
  }

  // Choosing a mapped letter replaces its mapping.
  share::WNetCancelConnection2A(drive.c_str(), share::kConnectUpdateProfile, true);

  const std::uint32_t result =
      share::RunConnectAttempts(plan, remoteName.c_str(), drive.c_str(), credentials, [this] {
        AdminLoginMode = 0;
        login dialog(this);
        dialog.DoModal();
      });
  if (result != share::kNoError) {
    MessageBox(kMapFailedText, kError, ui::kMbOk | ui::kMbIconStop);
    return;
  }

  AfterMappingChanged("Successfully mapped drive.", true, deviceTop);
}

void CSeekwellDlg::OnDisconnectDrive() {
  const int deviceTop = m_deviceList.GetTopIndex();
  const int volumeTop = m_volumeList.GetTopIndex();
  ui::BusyCursor busy(IDR_BUSY_CURSOR);

  std::string text;
  const int volumeRow = SelectedRowFrom(m_volumeList, volumeTop);
  if (volumeRow >= 0) {
    text = m_volumeList.GetItemText(volumeRow, 1);
  } else {
    const int letterIndex = m_driveLetterCombo.GetCurSel();
    if (letterIndex < 0) return;
    text = m_driveLetterCombo.GetLBText(letterIndex);
  }
  const std::string drive = share::DriveNameOf(text);
  // A volume without a letter has nothing to disconnect: the same message as a refused cancel.
  if (drive.empty() ||
      share::WNetCancelConnection2A(drive.c_str(), share::kConnectUpdateProfile, true) != share::kNoError) {
    MessageBox(kUnmapFailedText, kError, ui::kMbOk | ui::kMbIconStop);
    return;
  }

  AfterMappingChanged("Successfully unmapped drive.", false, deviceTop);
}

void CSeekwellDlg::AfterMappingChanged(const char* confirmationText, bool serverCaseSensitive, int deviceTop) {
  const std::string confirmation = MappingConfirmation(confirmationText);
  if (!confirmation.empty()) MessageBox(confirmation, kConfirm, ui::kMbOk | ui::kMbIconInformation);

  share::EnsureLinkedConnections();
  FillDriveLetterCombo();
  RefreshVolumeList(serverCaseSensitive, deviceTop);
}

void CSeekwellDlg::OnConfiguration() {
  const int deviceTop = m_deviceList.GetTopIndex();
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  const int deviceRow = SelectedRowFrom(m_deviceList, deviceTop);
  if (deviceRow < 0) {
    MessageBox(kSelectDeviceToConfigureText, kWarning, ui::kMbOk | ui::kMbIconExclamation);
    return;
  }
  const std::string deviceIp = m_deviceList.GetItemText(deviceRow, 1);
  if (!CheckDeviceReachable(deviceIp)) return;
  share::LaunchWebConfiguration(deviceIp);
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

ui::Lresult CSeekwellDlg::OnSize(ui::Wparam, ui::Lparam) {
  Default();
  return 0;
}

ui::Lresult CSeekwellDlg::OnTimer(ui::Wparam wParam, ui::Lparam) {
  const unsigned id = static_cast<unsigned>(wParam);
  if (id == kTimerIscsi || id == kTimerDhcpDone) KillTimer(id);
  Default();
  return 0;
}

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
