#include "app/about_dlg.h"

#include "resource.h"

namespace sw::app {

CAboutDlg::CAboutDlg(ui::CWnd* parent) : ui::CDialog(IDD_ABOUTBOX, parent) {}

bool CAboutDlg::OnInitDialog() {
  ui::CDialog::OnInitDialog();
  m_colours.CreateBrushes();
  return true;
}

ui::NativeHandle CAboutDlg::OnCtlColor(ui::CDC& dc, ui::CWnd*, ui::CtlColorKind kind) {
  return m_colours.OnCtlColor(dc, kind);
}

}  // namespace sw::app
