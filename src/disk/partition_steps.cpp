// The write, wait and format steps of the partition dialogs (see partition_steps.h).

#include "disk/partition_steps.h"

#include "disk/volume_mounts.h"
#include "iscsi/command_runner.h"

namespace sw::disk {

namespace {
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool HasLetter(const std::optional<VolumeRecord>& entry) {
  return entry && !entry->volumePath.empty() && IsLetter(entry->volumePath[0]);
}
}  // namespace

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

bool StartWizardFormat(FormatDialog& dialog, PartitionProgress& progress, const std::string& target,
                       const SessionDisks& sessions) {
  progress.ShowProgress(40, ProgressText(40));
  progress.ShowStatus(kWaitingForOsText);
  std::optional<VolumeRecord> entry = FindTargetEntry(target);
  for (int remaining = kTargetVolumeRounds; remaining > 0 && !HasLetter(entry);) {
    progress.ShowStatus(WaitingText(remaining));
    progress.Wait(kStepWaitMs);
    --remaining;
    if (remaining % 3 != 0) entry = FindTargetEntry(target);
  }
  progress.ShowStatus("");
  if (!entry) return false;
  if (!HasLetter(entry)) {
    dialog.ShowMessage(kInvalidVolumeText);
    return false;
  }
  progress.ShowProgress(50, ProgressText(50));
  return StartVolumeFormat(dialog, {entry->volumePath, entry->diskNumber}, sessions);
}

}  // namespace sw::disk
