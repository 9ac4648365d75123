#pragma once
// The Partition dialog (template 237, "Partition Manager"): size, file system and drive letter for
// one free region of a disk, opened by the disk manager's Add; Format writes the partition and
// starts its format.

#include <cstdint>

#include "app/format_dialog_base.h"
#include "disk/partitions.h"

namespace sw::app {

class CPartition : public CFormatDialogBase {
 public:
  CPartition(const disk::PartitionRequest& request, ui::CWnd* parent = nullptr);

  bool OnInitDialog() override;
  void OnOK() override;      // Format
  void OnCancel() override;  // also reached by the close after a successful format

  // Set when the dialog ended after a completed format: the disk manager then reopens itself.
  bool PartitionChanged = false;
  // What Add carried in, and what Format read (requested size, chosen drive).
  disk::PartitionRequest m_request;
  std::string m_sizeText;

 private:
  bool m_tableWritten = false;
};

struct PartitionDialogResult {
  ui::ModalResult result = 0;
  bool partitionChanged = false;
};

// Add's Partition dialog for the request the Add checks prepared: modal; the caller reads
// partitionChanged.
PartitionDialogResult OpenPartitionDialog(const disk::PartitionRequest& request, ui::CWnd* parent = nullptr);

}  // namespace sw::app
