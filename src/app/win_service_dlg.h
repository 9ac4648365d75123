#pragma once
// The service-starting window (template 232, modeless): only text, shown while the initiator's
// service is being started and closed by the program when the start is over.

#include "app/colour_scheme.h"
#include "ui/dialog.h"

namespace sw::app {

class CWinService : public ui::CDialog {
 public:
  explicit CWinService(ui::CWnd* parent = nullptr);
  bool OnInitDialog() override;
  // Escape must not end a window that only the program may close.
  void OnCancel() override {}
  void OnOK() override {}
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CWnd* control, ui::CtlColorKind kind) override;

 private:
  ColourScheme m_colours;
};

}  // namespace sw::app
