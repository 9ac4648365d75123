#include "app/iscsi_panel.h"

#include "app/list_columns.h"
#include "app/logout_context.h"
#include "iscsi/iscsi_name.h"
#include "protocol/protocol_state.h"
#include "resource.h"

namespace sw::app {

namespace {
constexpr ColumnSpec kTargetColumns[] = {{"Name", 205}, {"Active", 110}};
}

IscsiPanel::IscsiPanel(ui::CDialog& dialog) : ui::CPanel(dialog) {}

const ui::MessageMap& IscsiPanel::GetMessageMap() const {
  static const ui::MessageMapEntry entries[] = {
      ui::OnTimer(kTimerIscsi, &IscsiPanel::OnTargetTimer),
      ui::OnCommand(IDC_TARGET_CONNECT, ui::kBnClicked, &IscsiPanel::OnConnectTarget),
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

void IscsiPanel::DisableTargetButtons() {
  m_targetConnect.EnableWindow(false);
  m_management.EnableWindow(false);
}

void IscsiPanel::EnableTargetButtons() {
  m_targetConnect.EnableWindow(true);
  m_management.EnableWindow(true);
}

void IscsiPanel::StartTargetTimer() { Dialog().SetTimer(kTimerIscsi, ServiceJustStarted == 1 ? 1000 : 100); }

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

std::vector<std::string> IscsiPanel::TargetRowStatuses() const {
  std::vector<std::string> statuses;
  const int rows = m_targetList.GetItemCount();
  for (int row = 0; row < rows; ++row) statuses.push_back(m_targetList.GetItemText(row, 1));
  return statuses;
}

void IscsiPanel::LogoutSelectedTarget() {
  {
    iscsi::CWmiWrapper wmi;
    iscsi::LogoutContext context =
        MakeLogoutContext(Dialog(), wmi, protocol::GetProtocolState().SelectedDeviceIp);
    iscsi::LogoutTargetOfRow(m_targetList.GetNextItem(-1, ui::kLvniSelected), Targets.TargetNames, context);
  }
  m_targetList.SetRedraw(false);
  StartTargetTimer();
  EnableTargetButtons();
  m_targetList.SetRedraw(true);
  m_targetList.Invalidate();
  m_targetList.UpdateWindow();
}

void IscsiPanel::OnConnectTarget() {
  if (iscsi::LowerAscii(m_targetConnect.GetWindowText()) != "connect") LogoutSelectedTarget();
}

// The timer fires once: the target list is rebuilt when it is due, not on every tick.
void IscsiPanel::OnTargetTimer() { Dialog().KillTimer(kTimerIscsi); }

}  // namespace sw::app
