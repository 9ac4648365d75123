#include "app/select_drive_dlg.h"

#include "resource.h"

namespace sw::app {

CSelectDriveDlg::CSelectDriveDlg(std::vector<std::string> drives, ui::CWnd* parent)
    : ui::CDialog(IDD_DRIVE_SELECT, parent), m_drives(std::move(drives)) {}

void CSelectDriveDlg::DoDataExchange(ui::CDataExchange* pDX) {
  ui::DDX_Control(pDX, IDC_FREE_LETTERS, m_letters);
  ui::DDX_Control(pDX, IDC_SELECT_DRIVE_GROUP, m_group);
}

bool CSelectDriveDlg::OnInitDialog() {
  ui::CDialog::OnInitDialog();
  for (auto it = m_drives.rbegin(); it != m_drives.rend(); ++it) m_letters.AddString(*it);
  m_letters.SetCurSel(0);
  m_colours.CreateBrushes();
  return true;
}

void CSelectDriveDlg::OnOK() {
  const int selected = m_letters.GetCurSel();
  m_chosen = selected >= 0 ? m_letters.GetLBText(selected) : std::string();
  EndDialog(ui::kIdOk);
}

ui::NativeHandle CSelectDriveDlg::OnCtlColor(ui::CDC& dc, ui::CWnd*, ui::CtlColorKind kind) {
  return m_colours.OnCtlColor(dc, kind);
}

}  // namespace sw::app
