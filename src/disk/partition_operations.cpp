// Add, Delete and the Partition dialog's write (see partition_operations.h).

#include "disk/partition_operations.h"

#include "host/clock.h"

#include "disk/volume_mounts.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"

namespace sw::disk {

namespace {

// Progress posted to the dialog, for callers without a display of their own.
class PostedProgress : public PartitionProgress {
 public:
  explicit PostedProgress(FormatDialog& dialog) : m_dialog(dialog) {}
  void ShowProgress(int percent, const std::string& status) override {
    m_dialog.PostProgress(percent);
    m_dialog.PostStatus(status);
  }
  void ShowStatus(const std::string& text) override { m_dialog.PostStatus(text); }
  void Wait(unsigned ms) override { host::SleepMs(ms); }

 private:
  FormatDialog& m_dialog;
};

}  // namespace

AddPartitionResult AddPartition(std::int32_t disk, const std::vector<DiskRegion>& regions, int selectedRow,
                                const SessionDisks& sessions, DiskPrompts& prompts, PartitionDialogOpener& opener,
                                const RandomSource& random) {
  AddPartitionResult result;
  AddPreparation prep = PrepareAddPartition(disk, regions, selectedRow, sessions, prompts, random);
  result.outcome = prep.outcome;
  result.diskOpened = prep.diskOpened;
  if (prep.outcome == AddOutcome::Ready) result.partitionChanged = opener.OpenPartitionDialog(prep.request);
  return result;
}

CreateOutcome CreatePartition(const PartitionRequest& request, FormatDialog& dialog, PartitionProgress& progress,
                              const SessionDisks& sessions) {
  const bool extendedPath = request.calls == LayoutCalls::Extended;
  CreatePartitionResult table = CreatePartitionTableEntry(
      request, sessions, [&](int percent) { progress.ShowProgress(percent, ProgressText(percent)); });
  if (!table.opened) return CreateOutcome::NotWritten;
  if (!table.written) {
    // Say what failed: a check made at the moment of the write, or Windows refusing the table.
    dialog.ShowMessage(table.refusal.empty() ? kTableWriteFailedText : table.refusal);
    return CreateOutcome::NotWritten;
  }
  // Number 0 would make the lookups below take any partition of the disk, and the format would
  // then erase a volume the user never chose.
  if (table.partitionNumber == 0) {
    dialog.ShowMessage(kReassignLetterErrorText);
    return CreateOutcome::NoVolume;
  }
  const auto number = static_cast<std::int32_t>(table.partitionNumber);
  std::optional<VolumeRecord> arrived = WaitForDiskVolume(request.disk, number);
  if (extendedPath) progress.ShowProgress(30, ProgressText(30));
  // A volume that arrives without a letter (automount off, or a letter removed earlier) would
  // otherwise stay without one and the format refuse it: the user chose a letter, so it gets it.
  // Without a chosen letter (none was free) the volume keeps the one Windows gave it.
  if (arrived && !request.drivePath.empty()) {
    if (!HasDrivePath(*arrived)) {
      AssignDriveLetter(*arrived, request.drivePath, sessions);
    } else {
      ReassignDriveLetter(*arrived, request.drivePath, sessions);
    }
  }
  std::optional<VolumeRecord> volume = FindDiskVolume(request.disk, number);
  if (!volume) {
    dialog.ShowMessage(kReassignLetterErrorText);
    return CreateOutcome::NoVolume;
  }
  if (!dialog.IsNtfsChecked() && !dialog.IsFat32Checked()) return CreateOutcome::FormatRefused;
  if (extendedPath) progress.ShowProgress(40, ProgressText(40));
  const bool started = StartVolumeFormat(dialog, {volume->volumePath, volume->diskNumber}, sessions);
  iscsi::RunIfBuilt(iscsi::AddPersistentDeviceCommand(volume->volumePath));
  return started ? CreateOutcome::FormatStarted : CreateOutcome::FormatRefused;
}

CreateOutcome CreatePartition(const PartitionRequest& request, FormatDialog& dialog, const SessionDisks& sessions) {
  PostedProgress progress(dialog);
  return CreatePartition(request, dialog, progress, sessions);
}

bool DeletePartition(std::int32_t disk, const DiskRegion& region, std::uint32_t signature,
                     const std::string& volumePath, const SessionDisks& sessions, DiskPrompts& prompts) {
  const bool written = DeletePartitionEntry(disk, region, signature, sessions, prompts, [&] {
    iscsi::RunIfBuilt(iscsi::RemovePersistentDeviceCommand(volumePath));
  });
  if (written) WaitForDiskVolume(disk, 0);
  return written;
}

}  // namespace sw::disk
