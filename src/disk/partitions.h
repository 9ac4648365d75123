#pragma once
// Changes to the MBR table of an iSCSI disk: the initialisation check, the slot and number rules of
// Add, the new and the emptied entry, the whole-disk table of the partition wizard, and the disk
// signature. The dialogs call these and keep only the questions, messages and waits.
//
// Only disks of connected iSCSI sessions are ever written: every entry point that changes a table
// takes the session disks and refuses disk 0 and any disk outside them (nothing is opened then).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "disk/disk_access.h"
#include "disk/disk_io.h"
#include "disk/disk_layout.h"
#include "disk/disk_structures.h"

namespace sw::disk {

constexpr const char* kNotHandledText =
    "This disk has a method of partitioning used that is not handled by this utility. ";
constexpr const char* kUninitializedQuestion = "Disk appears to be uninitialized.\nWould you like to initialize the disk?";
constexpr const char* kOnlyFourPartitionsText = "Only four partitions are allowed";
constexpr const char* kReassignLetterErrorText = "Error during add partition\n Unable to reassign disk letter.";

// The whole-disk table starts at 63 sectors of 512 bytes whatever the sector size.
constexpr std::int64_t kWizardPartitionStart = 32256;

// Disk numbers of the connected iSCSI sessions (from the initiator). Disk 0, the system disk, is
// never one of them even if listed.
class SessionDisks {
 public:
  SessionDisks() = default;
  explicit SessionDisks(std::vector<std::int32_t> disks) : disks_(std::move(disks)) {}
  bool Contains(std::int32_t disk) const;

 private:
  std::vector<std::int32_t> disks_;
};

// A read-write handle on a session disk, closed by its destructor. Only OpenSessionDiskForWrite
// makes one, so a table write cannot reach another disk.
class SessionDiskHandle {
 public:
  SessionDiskHandle() = default;
  ~SessionDiskHandle() { Close(); }
  SessionDiskHandle(SessionDiskHandle&& other) noexcept;
  SessionDiskHandle& operator=(SessionDiskHandle&& other) noexcept;
  SessionDiskHandle(const SessionDiskHandle&) = delete;
  SessionDiskHandle& operator=(const SessionDiskHandle&) = delete;

  bool IsValid() const { return handle_.IsValid(); }
  io::DiskHandle Get() const { return handle_; }
  std::int32_t Disk() const { return disk_; }
  void Close() { io::CloseDisk(handle_); }

 private:
  friend SessionDiskHandle OpenSessionDiskForWrite(std::int32_t disk, const SessionDisks& sessions);
  io::DiskHandle handle_;
  std::int32_t disk_ = -1;
};

// OpenDiskForWrite for a session disk; invalid (nothing opened) for any other disk.
SessionDiskHandle OpenSessionDiskForWrite(std::int32_t disk, const SessionDisks& sessions);

// The questions and messages the table changes need; the dialogs answer them with message boxes.
class DiskPrompts {
 public:
  virtual ~DiskPrompts() = default;
  virtual void ShowNotHandled() = 0;   // kNotHandledText, exclamation icon, OK
  virtual bool AskInitialize() = 0;    // kUninitializedQuestion, Yes/No, question icon; true for Yes
};

// Raw random values (any 32 bits); the default draws from std::random_device.
using RandomSource = std::function<std::uint32_t()>;

// A non-zero signature outside `inUse`, drawn from `random`.
std::uint32_t ChooseDiskSignature(const std::vector<std::uint32_t>& inUse, const RandomSource& random);
// The MBR signatures of every disk of the computer (disk numbers 0..63 that open).
std::vector<std::uint32_t> SignaturesInUse();
// ChooseDiskSignature over SignaturesInUse, with `random` or std::random_device.
std::uint32_t NewDiskSignature(const RandomSource& random = {});

enum class InitResult { Proceed, Abandon };

// Run on a freshly read `layout`: a non-MBR disk (extended calls) is refused with the message; an
// empty table is initialised when the user agrees (legacy: a four-entry table with a new signature
// through kIoctlDiskSetDriveLayout; extended: kIoctlDiskCreateDisk, update, read again);
// otherwise the layout stands. On Abandon the disk is closed.
InitResult EnsureDiskInitialized(SessionDiskHandle& disk, LayoutCalls calls, DriveLayout& layout,
                                 DiskPrompts& prompts, const RandomSource& random = {});

// Slot rules of Add and Delete: the last of the first four entries whose PartitionNumber equals
// `number`; for 0 the last unused entry (an extended container is not unused). -1 when none
// matches: the caller then writes nothing, rather than slot 0, which holds some other partition.
int FindSlot(const DriveLayout& layout, std::int32_t number);
// 1 + the largest PartitionNumber of the first four entries.
std::uint32_t NextPartitionNumber(const DriveLayout& layout);
std::size_t CountPartitions(const std::vector<DiskRegion>& regions);

// What the Partition dialog carries from Add to the write.
struct PartitionRequest {
  std::uint32_t availableMiB = 0;
  LayoutCalls calls = LayoutCalls::Extended;
  std::int32_t disk = 0;
  int slot = 0;
  std::uint32_t newNumber = 0;
  std::int64_t regionStart = 0;
  std::int64_t regionLength = 0;
  std::uint32_t requestedMiB = 0;
  std::string drivePath;
};

enum class AddOutcome {
  TooManyPartitions,  // show kOnlyFourPartitionsText
  Stopped,            // silently: no geometry, no selection, not a session disk, cannot open,
                      // no unused entry
  Abandoned,          // EnsureDiskInitialized abandoned
  Ready,              // open the Partition dialog with `request`
};
struct AddPreparation {
  AddOutcome outcome = AddOutcome::Stopped;
  bool diskOpened = false;
  PartitionRequest request;
};
// Add on region `selectedRow` (-1: no row selected) of `regions`, the current disk's regions.
AddPreparation PrepareAddPartition(std::int32_t disk, const std::vector<DiskRegion>& regions, int selectedRow,
                                   const SessionDisks& sessions, DiskPrompts& prompts,
                                   const RandomSource& random = {});

// The entry Add writes into `entry` (other members as read).
void FillNewPartitionEntry(PartitionEntry& entry, std::int64_t start, std::uint32_t requestedMiB,
                           std::uint32_t number, std::uint32_t bytesPerSector, bool extendedPath);
// The entry Delete leaves.
void EmptyPartitionEntry(PartitionEntry& entry, bool extendedPath);

// "Percent Completed ... %d%%".
std::string ProgressText(int percent);

// The table write of CreatePartition (both call sets write with the extended calls). `progress`
// receives 20 on the extended path. `partitionNumber` is what Windows reports in the slot after
// the write. Nothing is written when the layout cannot be read or is not MBR.
struct CreatePartitionResult {
  bool opened = false;
  bool written = false;
  std::uint32_t partitionNumber = 0;
};
CreatePartitionResult CreatePartitionTableEntry(const PartitionRequest& request, const SessionDisks& sessions,
                                                const std::function<void(int)>& progress = {});

// The table change of Delete for the partition `number` of `disk`. False when nothing was written,
// including when no entry holds `number`. `beforeWrite` runs once the entry to empty is known, just
// before the table is written.
bool DeletePartitionEntry(std::int32_t disk, std::int32_t number, const SessionDisks& sessions,
                          DiskPrompts& prompts, const RandomSource& random = {},
                          const std::function<void()>& beforeWrite = {});

// The whole-disk table: one type-7 partition from 32256 bytes, `requestedMiB` long but never past
// `diskSize`, entries 1-3 empty with RewritePartition set.
DriveLayout WholeDiskTable(std::int64_t diskSize, std::uint32_t requestedMiB, std::uint32_t bytesPerSector,
                           std::uint32_t signature);
// Writes it on `disk` (nullopt requests the whole disk). False when the disk is not a session
// disk, its geometry cannot be read, it is too small for the table, or it cannot be opened.
bool WritePartitionTableForWizard(std::int32_t disk, std::optional<std::uint32_t> requestedMiB,
                                  const SessionDisks& sessions, const RandomSource& random = {});

// Before the wizard's table: does the disk hold anything it would erase (a partition in its MBR
// table, or another partition style), and the question naming the disk and what is on it.
struct WizardEraseCheck {
  bool wouldErase = false;
  std::string question;
};
bool LayoutWouldBeErased(const DriveLayout& layout);
std::string DescribeErasedContents(std::int32_t disk, const DriveLayout& layout,
                                   const std::vector<PartitionVolume>& volumes);
WizardEraseCheck CheckWizardErase(std::int32_t disk, const std::vector<PartitionVolume>& volumes);

}  // namespace sw::disk
