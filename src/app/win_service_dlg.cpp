#include "app/win_service_dlg.h"

#include "resource.h"

namespace sw::app {

CWinService::CWinService(ui::CWnd* parent) : ui::CDialog(IDD_SERVICE_START, parent) {}

bool CWinService::OnInitDialog() {
  ui::CDialog::OnInitDialog();
  m_colours.CreateBrushes();
  return true;
}

ui::NativeHandle CWinService::OnCtlColor(ui::CDC& dc, ui::CWnd*, ui::CtlColorKind kind) {
  return m_colours.OnCtlColor(dc, kind);
}

}  // namespace sw::app
