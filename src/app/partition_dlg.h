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

// Add's Partition dialog for region (start, length) of `disk`: modal; the caller reads
// partitionChanged. `callSet` 0 legacy, 1 extended.
PartitionDialogResult OpenPartitionDialog(std::uint32_t availableMiB, int callSet, std::int32_t disk, int slot,
                                          std::uint32_t newNumber, std::int64_t regionStart,
                                          std::int64_t regionLength, ui::CWnd* parent = nullptr);
// The same for a request the Add checks prepared.
PartitionDialogResult OpenPartitionDialog(const disk::PartitionRequest& request, ui::CWnd* parent = nullptr);

}  // namespace sw::app
