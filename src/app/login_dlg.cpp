#include "app/login_dlg.h"

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

  if (AdminLoginMode == 1) {
    m_userText = "admin";
    UpdateData(false);
    m_userEdit.EnableWindow(false);
    return true;
  }
  std::string version;
  host::GetWindowsVersionName(version);
  if (version.find("ME") != std::string::npos || version.find("98") != std::string::npos) {
    // Windows 9x shares are opened as the logged-on user. A name we cannot read, or one longer than
    // the credentials hold, stays editable: a locked field could then never be confirmed.
    std::string user;
    if (share::GetUserNameA(user) && !user.empty() &&
        static_cast<int>(user.size()) <= kLoginTextLimit) {
      m_userText = user;
      UpdateData(false);
      m_userEdit.EnableWindow(false);
      return true;
    }
  }
  m_userText.clear();
  UpdateData(false);
  m_userEdit.EnableWindow(true);
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
