#pragma once
// How the disk manager's Add opens the Partition dialog: CPartition by default, tests register a
// scripted one. The opener runs the dialog modally for `request` and
// answers its PartitionChanged flag.

#include "disk/partitions.h"
#include "ui/dialog.h"

namespace sw::app {

class PartitionDialogLauncher {
 public:
  virtual ~PartitionDialogLauncher() = default;
  virtual bool OpenPartitionDialog(ui::CWnd* parent, const disk::PartitionRequest& request) = 0;
};

// The opener in force: the Partition dialog unless another was registered; nullptr puts the
// Partition dialog back.
PartitionDialogLauncher* GetPartitionDialogLauncher();
void SetPartitionDialogLauncher(PartitionDialogLauncher* opener);

}  // namespace sw::app
