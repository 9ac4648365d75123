#pragma once
// The About box (template 100): icon, product name, copyright, version, OK.

#include "app/colour_scheme.h"
#include "ui/dialog.h"

namespace sw::app {

class CAboutDlg : public ui::CDialog {
 public:
  explicit CAboutDlg(ui::CWnd* parent = nullptr);
  bool OnInitDialog() override;
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CWnd* control, ui::CtlColorKind kind) override;

 private:
  ColourScheme m_colours;
};

}  // namespace sw::app
