#pragma once
// The install prompt (template 233, modeless): the initiator is missing on a Windows that does not
// bring one. OK runs the initiator's installer from the program's folder with the main window
// minimised, or says where the installer must be put; closing the prompt only hides it.

#include "app/colour_scheme.h"
#include "ui/dialog.h"

namespace sw::app {

class InstallDialog : public ui::CDialog {
 public:
  // `mainWindow` is minimised while the installer runs and restored after it; its restore is what
  // resumes the Connect.
  explicit InstallDialog(ui::CWnd* mainWindow);
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;  // the close command: minimise, then destroy
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CWnd* control, ui::CtlColorKind kind) override;

 private:
  void Close();

  ui::CWnd* m_mainWindow;
  ColourScheme m_colours;
};

}  // namespace sw::app
