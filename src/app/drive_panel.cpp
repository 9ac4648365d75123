#include "app/drive_panel.h"

#include "app/list_columns.h"
#include "app/login_dlg.h"
#include "app/panel_rules.h"
#include "host/windows_version.h"
#include "protocol/protocol_state.h"
#include "resource.h"
#include "share/ansi_text.h"
#include "share/connect_attempts.h"
#include "share/drive_connection_table.h"
#include "share/linked_connections.h"
#include "share/network_drives.h"
#include "share/reachability.h"
#include "share/share_names.h"

namespace sw::app {

namespace {
constexpr ColumnSpec kVolumeColumns[] = {{"Volume Name", 128}, {"Location", 112}};

constexpr const char* kWarning = "Warning";
constexpr const char* kError = "Error";
constexpr const char* kConfirm = "Confirm";
constexpr const char* kSelectVolumeText = "Please select a device in the above section.";
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
}  // namespace

DrivePanel::DrivePanel(ui::CDialog& dialog, DeviceSelection& selection) : ui::CPanel(dialog), m_selection(selection) {}

const ui::MessageMap& DrivePanel::GetMessageMap() const {
  static const ui::MessageMapEntry entries[] = {
      ui::OnCommand(IDC_DRIVE_CONNECT, ui::kBnClicked, &DrivePanel::OnConnectDrive),
      ui::OnCommand(IDC_DRIVE_DISCONNECT, ui::kBnClicked, &DrivePanel::OnDisconnectDrive),
  };
  static const ui::MessageMap map{entries, sizeof entries / sizeof entries[0]};
  return map;
}

void DrivePanel::DoDataExchange(ui::CDataExchange* pDX) {
  ui::DDX_Control(pDX, IDC_DRIVE_DISCONNECT, m_driveDisconnect);
  ui::DDX_Control(pDX, IDC_DRIVE_CONNECT, m_driveConnect);
  ui::DDX_Control(pDX, IDC_DRIVE_LETTERS, m_driveLetterCombo);
  ui::DDX_Control(pDX, IDC_VOLUME_LIST, m_volumeList);
  ui::DDX_Control(pDX, IDC_SHARE_GROUP, m_group);
}

void DrivePanel::InsertColumns() { app::InsertColumns(m_volumeList, kVolumeColumns); }

void DrivePanel::StartUp() {
  share::EnsureLinkedConnections();
  FillDriveLetterCombo();
}

void DrivePanel::EnableMapping(bool enable) {
  m_driveConnect.EnableWindow(enable);
  m_driveDisconnect.EnableWindow(enable);
}

void DrivePanel::BeginRefill() {
  m_volumeList.SetRedraw(false);
  m_volumeList.DeleteAllItems();
  m_volumeNameExact.clear();
}

void DrivePanel::EndRefill() {
  m_volumeList.SetRedraw(true);
  m_volumeList.Invalidate();
  m_volumeList.UpdateWindow();
}

void DrivePanel::ShowVolumes(const DeviceRow& device) { FillVolumeList(device, false); }

void DrivePanel::FillVolumeList(const DeviceRow& device, bool serverCaseSensitive) {
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
    const std::string location = share::LocationOfVolume(share::DriveConnectionTable, device.name.c_str(),
                                                         device.ip.c_str(), shown.c_str(), serverCaseSensitive);
    m_volumeList.SetItemText(item, 1, location);
  }
  m_volumeList.SetRedraw(true);
  m_volumeList.Invalidate();
}

void DrivePanel::RefreshVolumeList(bool serverCaseSensitive, int deviceTopRow) {
  m_volumeList.DeleteAllItems();
  m_volumeNameExact.clear();
  m_volumeList.Invalidate();
  if (const std::optional<DeviceRow> device = m_selection.RowFrom(deviceTopRow)) {
    FillVolumeList(*device, serverCaseSensitive);
  }
}

void DrivePanel::FillDriveLetterCombo() {
  const share::DriveLetterComboContent content = share::CurrentDriveLetterCombo();
  m_driveLetterCombo.ResetContent();
  for (const std::string& item : content.items) m_driveLetterCombo.AddString(item);
  m_driveLetterCombo.SetCurSel(content.selection);
}

bool DrivePanel::CheckDeviceReachable(const std::string& deviceIp) {
  m_selection.SetSelectedDeviceAddress(deviceIp);
  share::StartReachabilityProbe(m_selection.SelectedDeviceAddress());
  if (share::WaitForDeviceReachable()) return true;
  Dialog().MessageBox(kDeviceGoneText, kWarning, ui::kMbOk | ui::kMbIconExclamation);
  share::EnsureLinkedConnections();
  FillDriveLetterCombo();
  // A new device search, as if Refresh were pressed: the device panel owns it.
  Dialog().SendMessage(ui::kWmCommand, ui::MakeWparam(IDC_REFRESH, ui::kBnClicked), 0);
  m_selection.DeviceSelected = 0;
  return false;
}

void DrivePanel::OnConnectDrive() {
  const int deviceTop = m_selection.TopRow();
  const int volumeTop = m_volumeList.GetTopIndex();
  ui::BusyCursor busy(IDR_BUSY_CURSOR);

  AdminLoginMode = 0;
  protocol::LoginCredentials& credentials = protocol::GetProtocolState().loginCredentials;
  credentials = protocol::LoginCredentials{};

  std::string versionName;
  host::GetWindowsVersionName(versionName);
  const share::ConnectPlan plan = share::ConnectPlanFor(versionName);

  const std::optional<DeviceRow> device = m_selection.RowFrom(deviceTop);
  if (device) m_selection.SetSelectedDeviceAddress(device->ip);
  const int volumeRow = SelectedRowFrom(m_volumeList, volumeTop);
  // Without a device row the remote name would have no server: treated like a missing volume.
  if (!device || volumeRow < 0) {
    Dialog().MessageBox(kSelectVolumeText, kWarning, ui::kMbOk | ui::kMbIconExclamation);
    return;
  }
  const std::string volumeName = m_volumeList.GetItemText(volumeRow, 0);
  const bool volumeNameExact =
      volumeRow < static_cast<int>(m_volumeNameExact.size()) && m_volumeNameExact[static_cast<size_t>(volumeRow)];

  if (!CheckDeviceReachable(device->ip)) return;

  const int letterIndex = m_driveLetterCombo.GetCurSel();
  if (letterIndex < 0) return;
  const std::string drive = share::DriveNameOf(m_driveLetterCombo.GetLBText(letterIndex));

  // A name the code page could not hold, or one that would leave the device's share, is refused
  // before the letter's current mapping is cancelled.
  std::string remoteName;
  if (drive.empty() || !volumeNameExact || !share::BuildRemoteName(device->name, volumeName, remoteName)) {
    Dialog().MessageBox(kMapFailedText, kError, ui::kMbOk | ui::kMbIconStop);
    return;
  }

  // Choosing a mapped letter replaces its mapping.
  share::WNetCancelConnection2A(drive.c_str(), share::kConnectUpdateProfile, true);

  const std::uint32_t result =
      share::RunConnectAttempts(plan, remoteName.c_str(), drive.c_str(), credentials, [this] {
        AdminLoginMode = 0;
        login dialog(&Dialog());
        dialog.DoModal();
      });
  if (result != share::kNoError) {
    Dialog().MessageBox(kMapFailedText, kError, ui::kMbOk | ui::kMbIconStop);
    return;
  }

  AfterMappingChanged("Successfully mapped drive.", true, deviceTop);
}

void DrivePanel::OnDisconnectDrive() {
  const int deviceTop = m_selection.TopRow();
  const int volumeTop = m_volumeList.GetTopIndex();
  ui::BusyCursor busy(IDR_BUSY_CURSOR);

  std::optional<std::string> location, letterItem;
  const int volumeRow = SelectedRowFrom(m_volumeList, volumeTop);
  if (volumeRow >= 0) location = m_volumeList.GetItemText(volumeRow, 1);
  const int letterIndex = m_driveLetterCombo.GetCurSel();
  if (letterIndex >= 0) letterItem = m_driveLetterCombo.GetLBText(letterIndex);
  const std::optional<std::string> drive = DriveToUnmap(location, letterItem);
  if (!drive) return;
  // A volume without a letter has nothing to disconnect: the same message as a refused cancel.
  if (drive->empty() ||
      share::WNetCancelConnection2A(drive->c_str(), share::kConnectUpdateProfile, true) != share::kNoError) {
    Dialog().MessageBox(kUnmapFailedText, kError, ui::kMbOk | ui::kMbIconStop);
    return;
  }

  AfterMappingChanged("Successfully unmapped drive.", false, deviceTop);
}

void DrivePanel::AfterMappingChanged(const char* confirmationText, bool serverCaseSensitive, int deviceTop) {
  const std::string confirmation = MappingConfirmation(confirmationText);
  if (!confirmation.empty()) Dialog().MessageBox(confirmation, kConfirm, ui::kMbOk | ui::kMbIconInformation);

  share::EnsureLinkedConnections();
  FillDriveLetterCombo();
  RefreshVolumeList(serverCaseSensitive, deviceTop);
}

}  // namespace sw::app
