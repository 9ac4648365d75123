// The write, wait and format steps of the partition dialogs (see partition_steps.h).

#include "disk/partition_steps.h"

#include <algorithm>

#include "disk/disk_access.h"
#include "disk/volume_mounts.h"
#include "iscsi/command_runner.h"

namespace sw::disk {

std::optional<VolumeRecord> FindTargetEntry(const std::string& target) {
  VolumeTable table;
  BuildVolumeTable(table);
  for (const VolumeRecord& record : table) {
    if (record.targetName == target) return record;
  }
  return std::nullopt;
}

std::optional<VolumeRecord> WaitForTargetLetter(const std::string& target, PartitionProgress& progress) {
  std::optional<VolumeRecord> entry = FindTargetEntry(target);
  for (int waits = 0; waits < kTargetLetterWaits && (!entry || entry->volumePath == kNoValue); ++waits) {
    progress.Wait(kStepWaitMs);
    entry = FindTargetEntry(target);
  }
  return entry;
}

std::string WaitingText(int remaining) {
  const int rest = remaining % 3;
  return std::string(kWaitingForOsText) + (rest == 0 ? "." : rest == 2 ? "..." : "..");
}

WizardOutcome RunPartitionWizard(const WizardChoice& choice, WizardHost& host, FormatDialog& dialog) {
  auto usable = [](const std::optional<VolumeRecord>& entry) { return entry && entry->diskNumber > 0; };
  std::optional<VolumeRecord> entry = FindTargetEntry(choice.target);
  if (!usable(entry)) {
    host.Tell(kUnableToPartitionText, RefusalCaption::Default, false);
    return WizardOutcome::Refused;
  }
  // The disk the wizard asks about is the disk it writes: its number is taken once, here.
  const std::int32_t disk = entry->diskNumber;
  DiskGeometry geometry;
  const std::int64_t size = ReadGeometry(PhysicalDrivePath(disk), geometry) ? GeometrySize(geometry) : 0;
  if (size == 0) {
    host.Tell(kUnableToPartitionText, RefusalCaption::Default, false);
    return WizardOutcome::Refused;
  }
  const auto diskMiB = static_cast<std::uint32_t>(std::min<std::int64_t>(size / kMiB, 0xFFFFFFFFll));
  std::uint32_t requested = 0;
  if (auto refusal = CheckWizardSize(choice.useMaximum, choice.sizeText, diskMiB, choice.fileSystems, requested)) {
    host.ShowRefusal(*refusal);
    return WizardOutcome::Refused;
  }
  // The whole-disk table replaces whatever the disk holds: ask before anything is lost.
  VolumeTable table;
  BuildVolumeTable(table);
  const WizardEraseCheck erase = CheckWizardErase(disk, PartitionVolumes(table));
  if (erase.wouldErase && !host.ConfirmErase(erase.question)) return WizardOutcome::Refused;

  const SessionDisks sessions = ConnectedSessionDisks();
  entry = FindTargetEntry(choice.target);
  if (!usable(entry) || entry->diskNumber != disk) {
    host.Tell(kDiskUnavailableText, RefusalCaption::Default, true);
    return WizardOutcome::Refused;
  }
  const WizardWrite write = WritePartitionTableForWizard(
      disk, choice.useMaximum ? std::nullopt : std::optional<std::uint32_t>(requested), sessions, erase.identity);
  if (!write.written) {
    host.Tell(write.refusal, RefusalCaption::Product, true);
    return WizardOutcome::Refused;
  }
  host.ShowProgress(20, "Percent Completed ...20%");
  entry = WaitForTargetLetter(choice.target, host);
  // Without a free letter to choose, the volume keeps the one Windows gave it.
  if (entry && entry->diskNumber == disk && HasDrivePath(*entry) && !choice.drivePath.empty()) {
    ReassignDriveLetter(*entry, choice.drivePath, sessions);
  }
  host.ShowProgress(30, "Percent Completed ...30%");
  return StartWizardFormat(dialog, host, choice.target, sessions) ? WizardOutcome::FormatStarted
                                                                  : WizardOutcome::NotFormatted;
}

bool StartWizardFormat(FormatDialog& dialog, PartitionProgress& progress, const std::string& target,
                       const SessionDisks& sessions) {
  progress.ShowProgress(40, ProgressText(40));
  progress.ShowStatus(kWaitingForOsText);
  std::optional<VolumeRecord> entry = FindTargetEntry(target);
  for (int remaining = kTargetVolumeRounds; remaining > 0 && !HasDriveLetter(entry);) {
    progress.ShowStatus(WaitingText(remaining));
    progress.Wait(kStepWaitMs);
    --remaining;
    if (remaining % 3 != 0) entry = FindTargetEntry(target);
  }
  progress.ShowStatus("");
  if (!entry) return false;
  if (!HasDriveLetter(entry)) {
    dialog.ShowMessage(kInvalidVolumeText);
    return false;
  }
  progress.ShowProgress(50, ProgressText(50));
  return StartVolumeFormat(dialog, {entry->volumePath, entry->diskNumber}, sessions);
}

}  // namespace sw::disk
