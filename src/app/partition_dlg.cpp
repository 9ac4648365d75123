#include "app/partition_dlg.h"

#include <cstdio>

#include "disk/partition_operations.h"
#include "disk/partition_steps.h"
#include "disk/volume_inventory.h"
#include "resource.h"

namespace sw::app {

CPartition::CPartition(const disk::PartitionRequest& request, ui::CWnd* parent)
    : CFormatDialogBase(IDD_PARTITION, disk::FormatDialogKind::Partition, parent), m_request(request) {}

bool CPartition::OnInitDialog() {
  ui::CDialog::OnInitDialog();
  InitCommonControls();
  m_maxSpace.SetCheck(1);
  m_ntfs.SetCheck(1);
  m_sizeEdit.EnableWindow(false);
  ui::SleepMs(kInitWaitMs);
  FillSizeAndLetters(m_request.availableMiB);
  return true;
}

void CPartition::OnOK() {
  m_request.requestedMiB = 0;
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  if (m_maxSpace.GetCheck() != 0) {
    char text[16];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(static_cast<std::int32_t>(m_request.availableMiB)));
    m_sizeText = text;
  } else {
    m_sizeText = m_sizeEdit.GetWindowText();
  }
  m_request.requestedMiB = disk::ReadUnsigned32(m_sizeText);
  if (auto refusal = disk::CheckPartitionSize(m_request.requestedMiB, m_request.availableMiB, FileSystems())) {
    ShowRefusal(*refusal, 0);
    return;
  }
  m_request.drivePath = ChosenDrive();
  EnableFormatAndCancel(false);
  BeginProgress(10, disk::ProgressText(10));
  const disk::CreateOutcome outcome = disk::CreatePartition(m_request, *this, *this, disk::ConnectedSessionDisks());
  m_tableWritten = m_tableWritten || outcome != disk::CreateOutcome::NotWritten;
  if (outcome != disk::CreateOutcome::FormatStarted) EnableFormatAndCancel(true);
}

void CPartition::OnCancel() {
  // A table this dialog wrote changes the disk even when no format followed: the manager must
  // not keep offering the region as free.
  PartitionChanged = !disk::NoFormatCompletedYet.load() || m_tableWritten;
  ui::CDialog::OnCancel();
}

PartitionDialogResult OpenPartitionDialog(const disk::PartitionRequest& request, ui::CWnd* parent) {
  CPartition dialog(request, parent);
  PartitionDialogResult result;
  result.result = dialog.DoModal();
  dialog.Format().WaitForWorker();
  result.partitionChanged = dialog.PartitionChanged;
  return result;
}

}  // namespace sw::app
