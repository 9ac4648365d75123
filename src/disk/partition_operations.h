#pragma once
// The disk manager's Add and Delete and the Partition dialog's write as whole operations: the table
// change (partitions.h), the waits for Windows to mount the volume, its letter, the format and the
// initiator's persistent devices. User-interface thread; every wait goes through the clock port.

#include <cstdint>
#include <string>

#include "disk/disk_layout.h"
#include "disk/partition_steps.h"
#include "disk/partitions.h"
#include "disk/volume_format.h"

namespace sw::disk {

// The Partition dialog as Add opens it (modally); true when it ended with PartitionChanged set.
class PartitionDialogOpener {
 public:
  virtual ~PartitionDialogOpener() = default;
  virtual bool OpenPartitionDialog(const PartitionRequest& request) = 0;
};

struct AddPartitionResult {
  AddOutcome outcome = AddOutcome::Stopped;  // TooManyPartitions: the caller shows the message
  bool diskOpened = false;
  bool partitionChanged = false;  // the manager then closes and reopens itself
};
// Add on region `selectedRow` of `regions`: the checks of PrepareAddPartition, then the dialog.
AddPartitionResult AddPartition(std::int32_t disk, const std::vector<DiskRegion>& regions, int selectedRow,
                                const SessionDisks& sessions, DiskPrompts& prompts, PartitionDialogOpener& opener,
                                const RandomSource& random = {});

enum class CreateOutcome {
  NotWritten,     // no geometry, not a session disk, cannot open, or the table write failed
  NoVolume,       // the table was written; kReassignLetterErrorText was shown; nothing formatted
  FormatRefused,  // StartVolumeFormat said why (no letter, no file system chosen)
  FormatStarted,  // the worker runs; the dialog hears from it
};
// The Format button's write: the entry, the wait for its volume, the chosen letter (also given to a
// volume that arrived without one; none when `request.drivePath` is empty), then the format and
// "iscsicli AddPersistentDevice ". Progress 20/30/40 with their texts on the extended path, shown
// through `progress` (the dialog's own thread), or posted to the dialog by the second form.
CreateOutcome CreatePartition(const PartitionRequest& request, FormatDialog& dialog, PartitionProgress& progress,
                              const SessionDisks& sessions);
CreateOutcome CreatePartition(const PartitionRequest& request, FormatDialog& dialog, const SessionDisks& sessions);

// Delete of partition `region` of `disk` (read with the disk's `signature`), whose bar segment shows
// `volumePath`: "iscsicli RemovePersistentDevice " with that path, the entry emptied, then the wait
// for Windows to settle (WaitForDiskVolume of any partition). False when nothing was written (the
// checks of DeletePartitionEntry said why); the command is run only when the table is about to be
// written.
bool DeletePartition(std::int32_t disk, const DiskRegion& region, std::uint32_t signature,
                     const std::string& volumePath, const SessionDisks& sessions, DiskPrompts& prompts);

}  // namespace sw::disk
