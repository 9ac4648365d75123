#include "app/wizard_dlg.h"

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

bool UsableDisk(const std::optional<disk::VolumeRecord>& entry) { return entry && entry->diskNumber > 0; }
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

void CWizardDialog::OnOK() {
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  Wait(kBeforeWorkMs);
  EnableFormatAndCancel(false);
  BeginProgress(10, "Percent Completed ...10%");

  std::optional<disk::VolumeRecord> entry = disk::FindTargetEntry(m_targetName);
  if (!UsableDisk(entry)) {
    ShowMessage(disk::kUnableToPartitionText);
    return Refuse();
  }
  disk::DiskGeometry geometry;
  if (!disk::ReadGeometry(disk::PhysicalDrivePath(entry->diskNumber), geometry)) {
    ShowMessage(disk::kUnableToPartitionText);
    return Refuse();
  }
  const std::int64_t diskMiB = disk::GeometrySize(geometry) / disk::kMiB;
  const bool useMaximum = m_maxSpace.GetCheck() != 0;
  if (auto refusal = disk::CheckWizardSize(useMaximum, m_sizeEdit.GetWindowText(),
                                           static_cast<std::uint32_t>(diskMiB), FileSystems(), m_requestedMiB)) {
    ShowRefusal(*refusal, ui::kMbIconExclamation);
    return Refuse();
  }

  // The whole-disk table replaces whatever the disk holds: ask before anything is lost.
  disk::VolumeTable table;
  disk::BuildVolumeTable(table);
  const disk::WizardEraseCheck erase = disk::CheckWizardErase(entry->diskNumber, disk::PartitionVolumes(table));
  if (erase.wouldErase &&
      MessageBox(erase.question, kProductCaption, ui::kMbYesNo | ui::kMbIconExclamation) != ui::kIdYes) {
    return Refuse();
  }

  const disk::SessionDisks sessions = disk::ConnectedSessionDisks();
  entry = disk::FindTargetEntry(m_targetName);
  if (!UsableDisk(entry)) {
    MessageBox(disk::kDiskUnavailableText, kDefaultMessageCaption, ui::kMbOk | ui::kMbIconExclamation);
    return Refuse();
  }
  const std::optional<std::uint32_t> size = useMaximum ? std::nullopt : std::optional<std::uint32_t>(m_requestedMiB);
  if (!disk::WritePartitionTableForWizard(entry->diskNumber, size, sessions)) return Refuse();

  ShowProgress(20, "Percent Completed ...20%");
  entry = disk::WaitForTargetLetter(m_targetName, *this);
  const std::string chosen = ChosenDrive();
  // Without a free letter to choose, the volume keeps the one Windows gave it.
  if (entry && entry->volumePath != disk::kNoValue && !chosen.empty()) {
    disk::ReassignDriveLetter(*entry, chosen, sessions);
  }
  ShowProgress(30, "Percent Completed ...30%");
  if (!disk::StartWizardFormat(*this, *this, m_targetName, sessions)) Refuse();
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
