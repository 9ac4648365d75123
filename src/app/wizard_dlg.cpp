#include "app/wizard_dlg.h"
#include "base/product.h"

#include "app/logout_context.h"
#include "disk/disk_access.h"
#include "disk/partition_steps.h"
#include "disk/partitions.h"
#include "disk/volume_mounts.h"
#include "iscsi/target_logout.h"
#include "iscsi/wmi_wrapper.h"
#include "protocol/protocol_state.h"
#include "resource.h"

namespace sw::app {

namespace {
constexpr unsigned kBeforeWorkMs = 1000;

std::string AfterFirstColon(const std::string& name) {
  const std::size_t colon = name.find(':');
  return colon == std::string::npos ? name : name.substr(colon + 1);
}

}  // namespace

CWizardDialog::CWizardDialog(const std::string& targetName, ui::CWnd* parent)
    : CFormatDialogBase(IDD_WIZARD, disk::FormatDialogKind::Wizard, parent), m_targetName(targetName) {}

bool CWizardDialog::OnInitDialog() {
  ui::CDialog::OnInitDialog();
  InitCommonControls();
  EnableFormatAndCancel(false);
  if (ui::CWnd* target = GetDlgItem(IDC_TARGET_TEXT)) target->SetWindowText(AfterFirstColon(m_targetName));
  EnableFormatAndCancel(true);
  m_ntfs.SetCheck(1);
  m_maxSpace.SetCheck(1);
  m_sizeEdit.EnableWindow(false);
  ui::SleepMs(kInitWaitMs);
  const std::optional<disk::VolumeRecord> entry = disk::FindTargetEntry(m_targetName);
  FillSizeAndLetters(entry ? entry->sizeMegabytes : 0);
  return true;
}

void CWizardDialog::Refuse() { EnableFormatAndCancel(true); }

namespace {
// The wizard's road speaks through the dialog: progress and waits on its own thread, message boxes.
class DialogWizardHost : public disk::WizardHost {
 public:
  explicit DialogWizardHost(CWizardDialog& dialog) : m_dialog(dialog) {}
  void ShowProgress(int percent, const std::string& status) override { m_dialog.ShowProgress(percent, status); }
  void ShowStatus(const std::string& text) override { m_dialog.ShowStatus(text); }
  void Wait(unsigned ms) override { m_dialog.Wait(ms); }
  void ShowRefusal(const disk::SizeRefusal& refusal) override { m_dialog.ShowSizeRefusal(refusal); }
  void Tell(const std::string& text, disk::RefusalCaption caption, bool exclamation) override {
    if (caption == disk::RefusalCaption::Default && !exclamation) {
      m_dialog.ShowMessage(text);
      return;
    }
    m_dialog.MessageBox(text, caption == disk::RefusalCaption::Product ? base::kProductCaption : kDefaultMessageCaption,
                        ui::kMbOk | (exclamation ? ui::kMbIconExclamation : 0u));
  }
  bool ConfirmErase(const std::string& question) override {
    return m_dialog.MessageBox(question, base::kProductCaption, ui::kMbYesNo | ui::kMbIconExclamation) == ui::kIdYes;
  }

 private:
  CWizardDialog& m_dialog;
};
}  // namespace

void CWizardDialog::ShowSizeRefusal(const disk::SizeRefusal& refusal) { ShowRefusal(refusal, ui::kMbIconExclamation); }

void CWizardDialog::OnOK() {
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  Wait(kBeforeWorkMs);
  EnableFormatAndCancel(false);
  BeginProgress(10, "Percent Completed ...10%");
  disk::WizardChoice choice;
  choice.target = m_targetName;
  choice.useMaximum = m_maxSpace.GetCheck() != 0;
  choice.sizeText = m_sizeEdit.GetWindowText();
  choice.fileSystems = FileSystems();
  choice.drivePath = ChosenDrive();
  DialogWizardHost host(*this);
  if (disk::RunPartitionWizard(choice, host, *this) != disk::WizardOutcome::FormatStarted) Refuse();
}

void CWizardDialog::OnCancel() {
  if (disk::WizardFormatCompleted.load()) {
    TargetLoggedOut = false;
  } else {
    TargetLoggedOut = true;
    ui::BusyCursor busy(IDR_BUSY_CURSOR);
    iscsi::CWmiWrapper wmi;
    iscsi::LogoutContext context = MakeLogoutContext(*this, wmi, protocol::GetProtocolState().SelectedDeviceIp);
    iscsi::LogoutTarget(m_targetName, 0, context);
  }
  ui::CDialog::OnCancel();
}

WizardResult OpenPartitionWizard(const std::string& targetName, bool formatCompleted, ui::CWnd* parent) {
  disk::WizardFormatCompleted.store(formatCompleted);
  CWizardDialog dialog(targetName, parent);
  WizardResult result;
  result.result = dialog.DoModal();
  dialog.Format().WaitForWorker();
  result.targetLoggedOut = dialog.TargetLoggedOut;
  return result;
}

}  // namespace sw::app
