#pragma once
// The login dialog (template 134): a user name and a password for the device, stored in the
// protocol state's LoginCredentials on OK. Apply asks for the administrator (user fixed to "admin");
// the drive mapping asks for share credentials.

#include <string>

#include "app/colour_scheme.h"
#include "ui/dialog.h"

namespace sw::app {

// Which caller the login dialog serves: 1 = the device administrator (Apply), 0 = share credentials
// (drive mapping). Each caller sets it before opening the dialog.
extern int AdminLoginMode;

// Both texts hold at most this many characters, as LoginCredentials do.
constexpr int kLoginTextLimit = 16;

class login : public ui::CDialog {
 public:
  explicit login(ui::CWnd* parent = nullptr);

  const ui::MessageMap& GetMessageMap() const override;
  void DoDataExchange(ui::CDataExchange* pDX) override;
  bool OnInitDialog() override;
  // Stores what was typed, then ends the dialog exactly as Cancel does: callers read the
  // credentials, never the modal result.
  void OnOK() override;
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CWnd* control, ui::CtlColorKind kind) override;

  ui::CEdit m_userEdit, m_passwordEdit;
  std::string m_userText, m_passwordText;

 private:
  // The edit limit counts characters, the credentials hold bytes: a text that grew past what they
  // hold is cut back at once, so OK never has to refuse it.
  void OnUserChange();
  void OnPasswordChange();
  static void KeepWhatFits(ui::CEdit& edit);

  ColourScheme m_colours;
};

}  // namespace sw::app
