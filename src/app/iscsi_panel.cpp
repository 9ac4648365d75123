#include "app/iscsi_panel.h"

#include "app/device_port.h"
#include "app/disk_mgr_dlg.h"
#include "app/list_columns.h"
#include "app/logout_context.h"
#include "app/password_dlg.h"
#include "base/product.h"
#include "app/wizard_dlg.h"
#include "disk/volume_inventory.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/wmi_wrapper.h"
#include "protocol/exchanges.h"
#include "protocol/protocol_state.h"
#include "resource.h"

namespace sw::app {

namespace {
constexpr ColumnSpec kTargetColumns[] = {{"Name", 205}, {"Active", 110}};
}

IscsiPanel::IscsiPanel(ui::CDialog& dialog, DeviceSelection& selection)
    : ui::CPanel(dialog), m_selection(selection) {
  // A login to a new empty disk leads into the wizard, then the disk manager; tests replace them.
  m_newDisk.runPartitionWizard = [this](const std::string& target) {
    return !OpenPartitionWizard(target, false, &Dialog()).targetLoggedOut;
  };
  m_newDisk.openDiskManager = [this](const std::string& deviceIp) {
    CDiskMgrDlg manager(deviceIp, &Dialog());
    manager.DoModal();
  };
}

IscsiPanel::~IscsiPanel() {
  if (m_serviceWindow && m_serviceWindow->GetSafeHwnd()) m_serviceWindow->DestroyWindow();
  if (m_installPrompt && m_installPrompt->GetSafeHwnd()) m_installPrompt->DestroyWindow();
}

const ui::MessageMap& IscsiPanel::GetMessageMap() const {
  static const ui::MessageMapEntry entries[] = {
      ui::OnTimer(kTimerIscsi, &IscsiPanel::OnTargetTimer),
      ui::OnNotify(IDC_TARGET_LIST, ui::kNmClick, &IscsiPanel::OnTargetListClick),
      ui::OnCommand(IDC_TARGET_CONNECT, ui::kBnClicked, &IscsiPanel::OnConnectTarget),
      ui::OnCommand(IDC_MANAGEMENT, ui::kBnClicked, &IscsiPanel::OnManagement),
  };
  static const ui::MessageMap map{entries, sizeof entries / sizeof entries[0]};
  return map;
}

void IscsiPanel::DoDataExchange(ui::CDataExchange* pDX) {
  ui::DDX_Control(pDX, IDC_TARGET_LIST, m_targetList);
  ui::DDX_Control(pDX, IDC_TARGET_CONNECT, m_targetConnect);
  ui::DDX_Control(pDX, IDC_MANAGEMENT, m_management);
  // A themed group box ignores the dialog's text colour; this one draws its caption white itself.
  ui::DDX_Control(pDX, IDC_ISCSI_GROUP, m_group);
}

void IscsiPanel::InsertColumns() { app::InsertColumns(m_targetList, kTargetColumns); }

void IscsiPanel::OnManagement() { OpenDiskManager(); }

void IscsiPanel::DisableTargetButtons() {
  m_targetConnect.EnableWindow(false);
  m_management.EnableWindow(false);
}

void IscsiPanel::EnableTargetButtons() {
  m_targetConnect.EnableWindow(true);
  m_management.EnableWindow(true);
}

void IscsiPanel::StartTargetTimer() {
  Dialog().SetTimer(kTimerIscsi, iscsi::RefreshTimerDelayMs(m_flags.ServiceJustStarted));
}

void IscsiPanel::BeginRefill() {
  m_targetList.SetRedraw(false);
  m_targetList.DeleteAllItems();
}

void IscsiPanel::EndRefill() {
  m_targetList.SetRedraw(true);
  m_targetList.Invalidate();
  m_targetList.UpdateWindow();
}

void IscsiPanel::ShowNoTargets() {
  m_targetList.SetRedraw(false);
  m_targetList.DeleteAllItems();
  DisableTargetButtons();
  m_targetList.SetRedraw(true);
  m_targetList.Invalidate();
}

void IscsiPanel::OnIscsiDeviceSelected() {
  m_flags.InitiatorListActive = 0;
  host::EnsureInitiatorReady(0, *this, m_flags);
}

void IscsiPanel::FillRows(const std::vector<iscsi::TargetRow>& rows) {
  BeginRefill();
  int index = 0;
  for (const iscsi::TargetRow& row : rows) {
    const int item = m_targetList.InsertItem(index++, row.name);
    // An empty status (the portals could not be read) leaves the column empty.
    if (!row.status.empty()) m_targetList.SetItemText(item, 1, row.status);
  }
  EndRefill();
}

ui::Lresult IscsiPanel::RefreshTargetPortals(ui::Wparam, ui::Lparam lParam) {
  const auto process = reinterpret_cast<iscsi::ProcessHandle>(lParam);
  std::string device;
  {
    std::lock_guard<std::mutex> lock(m_announced->mutex);
    auto it = m_announced->devices.find(process);
    if (it == m_announced->devices.end()) return 0;  // not one of ours
    device = it->second;
    m_announced->devices.erase(it);
  }
  // Another device was clicked meanwhile: its own click decided the list, and this device must
  // not become the initiator's portal behind the user's back.
  if (device != m_selection.SelectedDeviceIp()) {
    iscsi::CloseProcessHandle(process);
    return 0;
  }
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  BeginRefill();
  EndRefill();
  iscsi::CWmiWrapper wmi;
  iscsi::RemoveAllTargetPortals(wmi, m_flags.ServiceJustStarted);
  {
    ui::BusyCursor adding(IDR_BUSY_CURSOR);
    if (iscsi::AddDevicePortal(wmi, m_selection.SelectedDeviceIp()) != 0) {
      Dialog().MessageBox(iscsi::kTargetConnectionFailedMessage, base::kProductCaption, ui::kMbOk);
    }
  }
  StartTargetTimer();
  iscsi::CloseProcessHandle(process);
  EnableTargetButtons();
  return 0;
}

// The timer fires once: each start yields one rebuild of the list.
void IscsiPanel::OnTargetTimer() {
  Dialog().KillTimer(kTimerIscsi);
  iscsi::CWmiWrapper wmi;
  const iscsi::TargetStatus status =
      iscsi::RefreshTargetStatus(wmi, m_selection.SelectedDeviceIp(), m_flags.ServiceJustStarted, m_targets);
  FillRows(status.rows);
  m_targetConnect.EnableWindow(status.enableConnect);
  m_management.EnableWindow(status.enableManagement);
  if (status.runDeferredLogin) {
    ui::BusyCursor busy(IDR_BUSY_CURSOR);
    LoginTargets(1);
    m_flags.ServiceJustStarted = 0;
  }
}

void IscsiPanel::OnTargetListClick(ui::NotifyHeader*, ui::Lresult* result) {
  *result = 0;
  const int rowCount = m_targetList.GetItemCount();
  const int selected = rowCount > 0 ? m_targetList.GetNextItem(-1, ui::kLvniSelected) : -1;
  const std::string name = selected >= 0 ? m_targetList.GetItemText(selected, 0) : std::string();
  const std::string status = selected >= 0 ? m_targetList.GetItemText(selected, 1) : std::string();
  const iscsi::TargetClick click = iscsi::OnTargetListClick(rowCount, selected, name, status, m_targets);
  if (click.disableManagement) {
    DisableTargetButtons();
    return;
  }
  if (click.setConnectText) m_targetConnect.SetWindowText(click.connectText);
  m_targetConnect.EnableWindow(click.enableConnect);
}

void IscsiPanel::OnConnectTarget() {
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  const std::string text = m_targetConnect.GetWindowText();
  const int selected = m_targetList.GetNextItem(-1, ui::kLvniSelected);
  if (selected < 0) return;
  m_targetList.SetItemState(selected, ui::kLvisSelected, ui::kLvisSelected);
  if (iscsi::LowerAscii(text) != "connect") {
    LogoutSelectedTarget();
    return;
  }
  m_serviceStartFailed = false;
  host::EnsureInitiatorReady(1, *this, m_flags);
  // The user has been told the service is down: a login now could only fail a second time.
  if (m_flags.InstallPending == 1 || m_serviceStartFailed) return;
  if (m_flags.ServiceJustStarted == 1) {
    // The portal refresh comes first; the refresh after it runs the deferred login.
    StartInitiatorRefresh();
    return;
  }
  LoginTargets(0);
}

void IscsiPanel::LoginTargets(int deferred) {
  iscsi::LoginRequest request;
  request.deferred = deferred;
  request.selectedRow = m_targetList.GetNextItem(-1, ui::kLvniSelected);
  request.selectedDeviceIp = m_selection.SelectedDeviceIp();
  request.productCaption = base::kProductCaption;
  iscsi::CWmiWrapper wmi;
  iscsi::LoginTargets(request, m_targets, m_login, wmi, *this);
}

std::vector<std::string> IscsiPanel::RefreshTargetEntries() {
  protocol::ProtocolState& state = protocol::GetProtocolState();
  protocol::QueryTargetEntries(state, DevicePort());
  std::vector<std::string> entries;
  for (const protocol::NameEntry* e = state.targetEntryList.head; e; e = e->next) entries.emplace_back(e->text);
  return entries;
}

void IscsiPanel::RunChapDialog(const std::string& user, const std::string& secretBase64) {
  std::string target;
  if (m_flags.ServiceJustStarted == 1) {
    target = m_targets.CurrentTarget;
  } else {
    const int rows = m_targetList.GetItemCount();
    const int selected = rows > 0 ? m_targetList.GetNextItem(-1, ui::kLvniSelected) : -1;
    if (selected < 0 || static_cast<std::size_t>(selected) >= m_targets.TargetNames.size()) {
      Dialog().MessageBox(iscsi::kSelectTargetFirstMessage, base::kProductCaption, ui::kMbOk | ui::kMbIconInformation);
      return;
    }
    target = m_targets.TargetNames[static_cast<std::size_t>(selected)];
  }
  // Credentials that could not stand in the command line can never be typed to any effect.
  if (const char* refusal = iscsi::ChapDeviceValueRefusal(user, iscsi::DecodeBase64(secretBase64))) {
    Dialog().MessageBox(refusal, base::kProductCaption, ui::kMbOk | ui::kMbIconExclamation);
    m_login.ChapLoginResult = 0;
    return;
  }
  // They stay disabled after a cancel, until a row click or a refresh.
  DisableTargetButtons();
  CPasswordDialog dialog(&Dialog(), target, user, secretBase64);
  dialog.DoModal();
  m_login.ChapLoginResult = dialog.LoginDone;
  if (m_login.ChapLoginResult == 1) StartTargetTimer();
}

void IscsiPanel::ShowMessage(const std::string& text, const std::string& caption, unsigned flags) {
  Dialog().MessageBox(text, caption, ui::kMbOk | flags);
}

void IscsiPanel::StartRefreshTimer(bool repaintList) {
  if (!repaintList) {
    StartTargetTimer();
    return;
  }
  m_targetList.SetRedraw(false);
  StartTargetTimer();
  m_targetList.SetRedraw(true);
  m_targetList.Invalidate();
  m_targetList.UpdateWindow();
}

void IscsiPanel::EnableManagement() { m_management.EnableWindow(true); }

int IscsiPanel::CheckTargetDisk(const std::string& target) {
  disk::CheckTargetDisk(target);
  return disk::TargetDiskState();
}

bool IscsiPanel::RunPartitionWizard(const std::string& target) {
  return m_newDisk.runPartitionWizard && m_newDisk.runPartitionWizard(target);
}

void IscsiPanel::OpenDiskManager() {
  if (m_newDisk.openDiskManager) m_newDisk.openDiskManager(m_selection.SelectedDeviceIp());
}

void IscsiPanel::OnMainWindowSize(unsigned sizeType) {
  if (host::ResumeConnectAfterRestore(sizeType, m_flags)) OnConnectTarget();
}

void IscsiPanel::BeginBusyCursor() { m_savedCursors.push_back(ui::SetCursor(ui::LoadAppCursor(IDR_BUSY_CURSOR))); }

void IscsiPanel::RestoreCursor() {
  if (m_savedCursors.empty()) return;
  ui::SetCursor(m_savedCursors.back());
  m_savedCursors.pop_back();
}

void IscsiPanel::Sleep(unsigned ms) { ui::SleepMs(ms); }

std::uint32_t IscsiPanel::NowMs() { return ui::TickCount(); }

void IscsiPanel::ShowServiceStartingWindow() {
  if (!m_serviceWindow) m_serviceWindow = std::make_unique<CWinService>(&Dialog());
  if (!m_serviceWindow->GetSafeHwnd() && !m_serviceWindow->Create(&Dialog())) return;
  m_serviceWindow->ShowWindow(ui::kSwShow);
  m_serviceWindow->UpdateWindow();
}

void IscsiPanel::CloseServiceStartingWindow() {
  if (!m_serviceWindow || !m_serviceWindow->GetSafeHwnd()) return;
  m_serviceWindow->ShowWindow(ui::kSwMinimize);
  m_serviceWindow->DestroyWindow();
}

void IscsiPanel::ShowInstallPrompt() {
  // The one prompt object is reused: its OK may be still on the stack when the resumed Connect
  // asks for the prompt again.
  if (!m_installPrompt) m_installPrompt = std::make_unique<InstallDialog>(&Dialog());
  if (!m_installPrompt->GetSafeHwnd() && !m_installPrompt->Create(&Dialog())) return;
  m_installPrompt->ShowWindow(ui::kSwShow);
}

void IscsiPanel::BuildFallbackTargetList() {
  protocol::ProtocolState& state = protocol::GetProtocolState();
  protocol::QueryTargetEntries(state, DevicePort());
  std::vector<std::string> entries;
  for (const protocol::NameEntry* e = state.targetEntryList.head; e; e = e->next) entries.emplace_back(e->text);
  FillRows(iscsi::FallbackTargetRows(entries, m_targets));
}

void IscsiPanel::StartInitiatorRefresh() {
  DisableTargetButtons();
  const ui::NativeHandle window = Dialog().GetSafeHwnd();
  const unsigned message = ui::RegisterWindowMessage(iscsi::kProcessTerminatedMessageName);
  std::shared_ptr<AnnouncedProcesses> announced = m_announced;
  std::string device = m_selection.SelectedDeviceIp();
  // Runs on the waiter thread: it only records the handle and posts; the UI thread does the rest.
  iscsi::RunAndNotify([window, message, announced, device](iscsi::ProcessHandle process) {
    {
      std::lock_guard<std::mutex> lock(announced->mutex);
      announced->devices[process] = device;
    }
    ui::PostMessageTo(window, message, 0, reinterpret_cast<ui::Lparam>(process));
  });
}

void IscsiPanel::ReportServiceNotStarted() {
  m_serviceStartFailed = true;
  Dialog().MessageBox(host::kServiceNotStartedMessage, base::kProductCaption, ui::kMbOk | ui::kMbIconExclamation);
}

std::vector<std::string> IscsiPanel::TargetRowStatuses() const {
  std::vector<std::string> statuses;
  const int rows = m_targetList.GetItemCount();
  for (int row = 0; row < rows; ++row) statuses.push_back(m_targetList.GetItemText(row, 1));
  return statuses;
}

void IscsiPanel::LogoutSelectedTarget() {
  bool done;
  {
    iscsi::CWmiWrapper wmi;
    iscsi::LogoutContext context = MakeLogoutContext(Dialog(), wmi, m_selection.SelectedDeviceIp());
    done = iscsi::LogoutTargetOfRow(m_targetList.GetNextItem(-1, ui::kLvniSelected), m_targets.TargetNames, context);
  }
  // As Connect does: a Disconnect that could not act says why.
  if (!done) {
    Dialog().MessageBox(iscsi::kInvalidTargetNameMessage, base::kProductCaption, ui::kMbOk | ui::kMbIconExclamation);
  }
  m_targetList.SetRedraw(false);
  StartTargetTimer();
  EnableTargetButtons();
  m_targetList.SetRedraw(true);
  m_targetList.Invalidate();
  m_targetList.UpdateWindow();
}

}  // namespace sw::app
