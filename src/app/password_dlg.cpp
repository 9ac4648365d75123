#include "app/password_dlg.h"

#include "base/product.h"
#include "iscsi/target_login.h"
#include "iscsi/wmi_wrapper.h"
#include "resource.h"

namespace sw::app {

CPasswordDialog::CPasswordDialog(ui::CWnd* parent, const std::string& target, const std::string& expectedUser,
                                 const std::string& secretBase64)
    : ui::CDialog(IDD_CHAP, parent),
      ChapTarget(target),
      ExpectedUser(expectedUser),
      ExpectedSecret(iscsi::DecodeBase64(secretBase64)) {}

void CPasswordDialog::DoDataExchange(ui::CDataExchange* pDX) {
  ui::DDX_Control(pDX, IDC_CHAP_USER, m_userEdit);
  ui::DDX_Control(pDX, IDC_CHAP_SECRET, m_passwordEdit);
  ui::DDX_Control(pDX, IDC_CHAP_MESSAGE, m_message);
  ui::DDX_Control(pDX, IDC_CHAP_GROUP, m_group);
}

bool CPasswordDialog::OnInitDialog() {
  ui::CDialog::OnInitDialog();
  m_colours.CreateBrushes();
  m_userEdit.LimitText(iscsi::kChapUserLimit);
  m_passwordEdit.LimitText(iscsi::kChapPasswordLimit);
  return true;
}

void CPasswordDialog::OnOK() {
  m_message.SetWindowText("");
  const std::string user = m_userEdit.GetWindowText();
  const std::string password = m_passwordEdit.GetWindowText();
  const iscsi::ChapCheck check = iscsi::CheckChapInput(user, password, ExpectedUser, ExpectedSecret);
  if (check.verdict != iscsi::ChapVerdict::Accept) {
    if (check.inStatic) {
      m_message.SetWindowText(check.message);
    } else {
      MessageBox(check.message, base::kProductCaption, ui::kMbOk | ui::kMbIconExclamation);
    }
    if (check.clearUser) m_userEdit.SetWindowText("");
    if (check.clearPassword) m_passwordEdit.SetWindowText("");
    return;
  }
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  // The dialog keeps to its own connection, as every user of the WMI layer does.
  iscsi::CWmiWrapper wmi;
  const std::optional<std::string> initiator = iscsi::FirstInitiatorName(wmi);
  if (!initiator) {
    busy.Restore();
    MessageBox(iscsi::kNoInitiatorNameMessage, base::kProductCaption, ui::kMbOk | ui::kMbIconExclamation);
    LoginDone = 0;
    EndDialog(ui::kIdCancel);
    return;
  }
  iscsi::RunChapLoginCommands(ChapTarget, *initiator, user, password);
  LoginDone = 1;
  EndDialog(ui::kIdOk);
}

void CPasswordDialog::OnCancel() {
  LoginDone = 0;
  EndDialog(ui::kIdCancel);
}

ui::NativeHandle CPasswordDialog::OnCtlColor(ui::CDC& dc, ui::CWnd*, ui::CtlColorKind kind) {
  return m_colours.OnCtlColor(dc, kind);
}

}  // namespace sw::app
