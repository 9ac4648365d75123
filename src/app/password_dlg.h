#pragma once
// The CHAP dialog (template 229, "Enter Password"): the user must type the user name and secret
// that the device announced for the target; OK then runs the CHAP login command lines itself.

#include <string>

#include "app/colour_scheme.h"
#include "ui/dialog.h"
#include "ui/sx_group_box.h"

namespace sw::app {

class CPasswordDialog : public ui::CDialog {
 public:
  // `secretBase64` as the device's entry carries it; decoded here into ExpectedSecret.
  CPasswordDialog(ui::CWnd* parent, const std::string& target, const std::string& expectedUser,
                  const std::string& secretBase64);

  void DoDataExchange(ui::CDataExchange* pDX) override;
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CWnd* control, ui::CtlColorKind kind) override;

  std::string ChapTarget, ExpectedUser, ExpectedSecret;
  int LoginDone = 0;

 private:
  ui::CEdit m_userEdit, m_passwordEdit;
  ui::CStatic m_message;
  ui::CSxGroupBox m_group;
  ColourScheme m_colours;
};

}  // namespace sw::app
