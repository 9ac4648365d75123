// The format worker and its callback (see volume_format.h).

#include "disk/volume_format.h"

#include "base/ascii_case.h"
#include "disk/format_engine.h"
#include "disk/partitions.h"
#include "host/clock.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"

namespace sw::disk {

std::atomic<bool> NoFormatCompletedYet{true};
std::atomic<bool> WizardFormatCompleted{false};

namespace {

constexpr char16_t kVolumeLabel[] = u"iSCSI";

// One set per dialog kind. The owner is written by the user-interface thread before the worker
// starts and afterwards only by the worker; atomics keep the reads of either thread sound.
struct FormatSlot {
  std::atomic<FormatDialog*> owner{nullptr};
  std::atomic<bool> finished{false};
  std::atomic<bool> doneReported{false};
};

FormatSlot g_slots[2];

FormatSlot& SlotOf(FormatDialogKind kind) { return g_slots[kind == FormatDialogKind::Partition ? 0 : 1]; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void Report(FormatDialog& dialog, int percent) {
  dialog.PostProgress(percent);
  dialog.PostStatus(ProgressText(percent));
}

void EnableOkAndCancel(FormatDialog& dialog) {
  dialog.PostEnableButton(kFormatButtonId, true);
  dialog.PostEnableButton(kCancelButtonId, true);
}

void RecordCompletion(FormatDialogKind kind) {
  if (kind == FormatDialogKind::Partition) {
    NoFormatCompletedYet.store(false);
  } else {
    WizardFormatCompleted.store(true);
  }
}

void ReportDone(FormatSlot& slot, FormatDialog& dialog, bool succeeded) {
  const FormatDialogKind kind = dialog.DialogKind();
  slot.doneReported.store(true);
  if (!succeeded) {
    dialog.PostStatus(kFormatFailedText);
    host::SleepMs(3000);
    EnableOkAndCancel(dialog);
    slot.finished.store(true);
    RecordCompletion(kind);
    slot.owner.store(nullptr);
    return;
  }
  if (kind == FormatDialogKind::Partition) {
    EnableOkAndCancel(dialog);
    dialog.PostStatus(kFormatSucceededText);
    slot.finished.store(true);
    host::SleepMs(500);
    RecordCompletion(kind);
    dialog.PostClose();
  } else {
    dialog.PostStatus(kFormatSucceededText);
    iscsi::RunIfBuilt(iscsi::AddPersistentDeviceCommand(dialog.Format().volumePath));
    host::SleepMs(500);
    EnableOkAndCancel(dialog);
    slot.finished.store(true);
    RecordCompletion(kind);
    dialog.PostClose();
  }
  slot.owner.store(nullptr);
}

bool FormatCallback(FormatDialogKind kind, int command, void* data) {
  FormatSlot& slot = SlotOf(kind);
  FormatDialog* dialog = slot.owner.load();
  if (dialog == nullptr) return false;
  // Every report shows 99% first.
  dialog->PostStatus(ProgressText(99));
  dialog->PostProgress(99);
  if (command == fmt::kCommandProgress) {
    if (data == nullptr) return true;
    const int percent = static_cast<int>(*static_cast<const std::uint32_t*>(data));
    Report(*dialog, percent);
    // At 100 the file system is still being finished: Format and Cancel stay disabled until the
    // done report (a second Format would rewrite the slot under the volume, Cancel would log the
    // target out mid-format).
    if (percent == 100) dialog->PostStatus(kFinalizingText);
    return true;
  }
  if (command == fmt::kCommandDone) {
    const bool succeeded = data != nullptr && *static_cast<const std::uint8_t*>(data) != 0;
    ReportDone(slot, *dialog, succeeded);
  }
  return true;
}

// The library or an entry point is missing: nothing was formatted and no report will come, so
// the dialog gets a way out (Cancel) and says why; Format stays disabled, as it cannot work.
void ReportNotStarted(FormatSlot& slot, FormatDialog& dialog) {
  dialog.PostStatus(kFormatNotStartedStatus);
  dialog.PostEnableButton(kCancelButtonId, true);
  dialog.PostErrorMessage(kFormatNotStartedText);
  slot.owner.store(nullptr);
}

void FormatWorker(FormatDialog* dialog) {
  const FormatDialogKind kind = dialog->DialogKind();
  const bool partition = kind == FormatDialogKind::Partition;
  FormatSlot& slot = SlotOf(kind);
  FormatMembers& members = dialog->Format();

  const bool loaded = fmt::LoadFormatLibrary();
  Report(*dialog, partition ? 60 : 80);
  fmt::EntryPoint formatEx = loaded ? fmt::FindFormatEntryPoint(fmt::kFormatExName) : nullptr;
  fmt::EntryPoint compression = formatEx ? fmt::FindFormatEntryPoint(fmt::kEnableVolumeCompressionName) : nullptr;
  if (formatEx == nullptr || compression == nullptr) {
    ReportNotStarted(slot, *dialog);
    return;
  }
  Report(*dialog, partition ? 80 : 90);

  if (partition) dialog->PostBeginBusyCursor();
  fmt::CallFormatEx(formatEx, members.driveRoot, fmt::kMediaHardDisk, members.fileSystemName.c_str(), kVolumeLabel,
                    true, 0, partition ? PartitionFormatCallback : WizardFormatCallback);
  if (partition) dialog->PostRestoreCursor();

  // The callback ran on this thread; a FormatEx that returned without its done report would leave
  // the dialog waiting for ever, so it counts as a failed format.
  if (!slot.doneReported.load() && slot.owner.load() == dialog) ReportDone(slot, *dialog, false);
  while (!slot.finished.load()) host::SleepMs(100);
}

}  // namespace

bool PartitionFormatCallback(int command, std::uint32_t, void* data) {
  return FormatCallback(FormatDialogKind::Partition, command, data);
}

bool WizardFormatCallback(int command, std::uint32_t, void* data) {
  return FormatCallback(FormatDialogKind::Wizard, command, data);
}

bool StartVolumeFormat(FormatDialog& dialog, const FormatVolume& volume, const SessionDisks& sessions) {
  if (volume.volumePath.empty() || !IsLetter(volume.volumePath[0])) {
    dialog.ShowMessage(kInvalidVolumeText);
    return false;
  }
  if (!sessions.Contains(volume.diskNumber)) {
    dialog.ShowMessage(kNotSessionVolumeText);
    return false;
  }
  Report(dialog, 50);
  FormatMembers& members = dialog.Format();
  if (dialog.IsNtfsChecked()) {
    members.formatKind = 1;
    members.fileSystemName = u"NTFS";
  } else if (dialog.IsFat32Checked()) {
    members.formatKind = 2;
    members.fileSystemName = u"FAT32";
  } else {
    return false;
  }
  members.driveRoot[0] = static_cast<char16_t>(base::UpperAsciiChar(volume.volumePath[0]));
  members.driveRoot[1] = u':';
  members.driveRoot[2] = u'\\';
  members.driveRoot[3] = 0;

  Report(dialog, 60);
  // An earlier format of this dialog has raised its finished flag before it cleared the owner, so
  // its worker is ending; it must be gone before the slot is reused.
  members.WaitForWorker();
  FormatSlot& slot = SlotOf(dialog.DialogKind());
  slot.finished.store(false);
  slot.doneReported.store(false);
  slot.owner.store(&dialog);
  Report(dialog, 70);
  if (dialog.DialogKind() == FormatDialogKind::Wizard) members.volumePath = volume.volumePath;
  members.worker = std::thread(FormatWorker, &dialog);
  return true;
}

}  // namespace sw::disk
