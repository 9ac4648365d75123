#include "app/login_dlg.h"

#include "app/panel_rules.h"
#include "host/windows_version.h"
#include "protocol/device_table.h"
#include "protocol/protocol_state.h"
#include "resource.h"
#include "share/user_name.h"

namespace sw::app {

int AdminLoginMode = 0;

namespace {
constexpr unsigned kEmSetSel = 0x00B1;
}  // namespace

login::login(ui::CWnd* parent) : ui::CDialog(IDD_LOGIN, parent) {}

const ui::MessageMap& login::GetMessageMap() const {
  static const ui::MessageMapEntry entries[] = {
      ui::OnCommand(IDC_LOGIN_USER, ui::kEnChange, &login::OnUserChange),
      ui::OnCommand(IDC_LOGIN_PASSWORD, ui::kEnChange, &login::OnPasswordChange),
  };
  static const ui::MessageMap map{entries, sizeof entries / sizeof entries[0]};
  return map;
}

void login::OnUserChange() { KeepWhatFits(m_userEdit); }
void login::OnPasswordChange() { KeepWhatFits(m_passwordEdit); }

void login::KeepWhatFits(ui::CEdit& edit) {
  if (!edit.IsValid()) return;
  const std::string text = edit.GetWindowText();
  const std::string fitted = protocol::FitCredentialText(text);
  if (fitted == text) return;
  edit.SetWindowText(fitted);
  const auto end = static_cast<ui::Wparam>(fitted.size());
  edit.SendMessage(kEmSetSel, end, static_cast<ui::Lparam>(end));  // caret after the kept text
}

void login::DoDataExchange(ui::CDataExchange* pDX) {
  ui::DDX_Control(pDX, IDC_LOGIN_USER, m_userEdit);
  ui::DDX_Control(pDX, IDC_LOGIN_PASSWORD, m_passwordEdit);
  ui::DDX_Text(pDX, IDC_LOGIN_USER, m_userText);
  ui::DDV_MaxChars(pDX, IDC_LOGIN_USER, m_userText, kLoginTextLimit);
  ui::DDX_Text(pDX, IDC_LOGIN_PASSWORD, m_passwordText);
  ui::DDV_MaxChars(pDX, IDC_LOGIN_PASSWORD, m_passwordText, kLoginTextLimit);
}

bool login::OnInitDialog() {
  ui::CDialog::OnInitDialog();
  m_colours.CreateBrushes();
  m_passwordEdit.LimitText(kLoginTextLimit);

  std::string version, user;
  bool userRead = false;
  if (AdminLoginMode != 1) {
    host::GetWindowsVersionName(version);
    userRead = share::GetUserNameA(user);
  }
  const LoginUserField field =
      LoginUserFieldFor(AdminLoginMode, version, userRead ? &user : nullptr, kLoginTextLimit);
  m_userText = field.text;
  UpdateData(false);
  m_userEdit.EnableWindow(field.editable);
  return true;
}

void login::OnOK() {
  // A text over the limit has been reported by the validation; the user corrects it first.
  if (!UpdateData(true)) return;
  protocol::LoginCredentials& credentials = protocol::GetProtocolState().loginCredentials;
  protocol::CopyText(credentials.userName, sizeof credentials.userName, m_userText.c_str());
  protocol::CopyText(credentials.password, sizeof credentials.password, m_passwordText.c_str());
  ui::CDialog::OnCancel();
}

ui::NativeHandle login::OnCtlColor(ui::CDC& dc, ui::CWnd*, ui::CtlColorKind kind) {
  return m_colours.OnCtlColor(dc, kind);
}

}  // namespace sw::app
