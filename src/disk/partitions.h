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
#include "disk/disk_contents.h"
#include "disk/disk_io.h"
#include "disk/disk_layout.h"
#include "disk/disk_structures.h"

namespace sw::disk {

constexpr const char* kNotHandledText =
    "This disk has a method of partitioning used that is not handled by this utility. ";
constexpr const char* kUninitializedQuestion = "Disk appears to be uninitialized.\nWould you like to initialize the disk?";
constexpr const char* kOnlyFourPartitionsText = "Only four partitions are allowed";
constexpr const char* kReassignLetterErrorText = "Error during add partition\n Unable to reassign disk letter.";
// When the table write itself was refused: the letter never came into it.
constexpr const char* kTableWriteFailedText = "Error during add partition\n The partition table could not be written.";

// Refusals of the checks made at the moment of every write (texts with the disk's number).
std::string LayoutUnreadableText(std::int32_t disk);
// `why`: what differs from what the decision rested on.
std::string DiskChangedText(std::int32_t disk, const std::string& why);
constexpr const char* kAnotherDiskNow = "it is another disk now (another program, or another target, changed it).";
constexpr const char* kEntryInUseNow = "the partition table entry chosen for it is in use now.";
constexpr const char* kSpaceTakenNow = "the space chosen for the partition is no longer free.";
constexpr const char* kPartitionGoneNow = "the partition chosen is no longer there.";
std::string LogicalDriveText(std::int32_t number);
// Before a table is written on a disk that has none but holds something (or cannot be read).
std::string RawDataQuestion(std::int32_t disk, const RawContents& contents);
// A partition an MBR table cannot hold on this disk: beyond 2^32 sectors, or not whole sectors.
std::string MbrLimitText(std::int32_t disk, std::uint32_t bytesPerSector, std::uint64_t addressableMiB);

// The whole-disk table starts after the reserved 63 sectors (32256 bytes on 512-byte sectors).
constexpr std::int64_t kWizardPartitionStart = 32256;
std::int64_t WizardPartitionStart(std::uint32_t bytesPerSector);
// The most sectors (and the highest sector number) an MBR entry holds.
constexpr std::uint64_t kMbrMaxSectors = 0xFFFFFFFFull;

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
  // A change refused by a check made at the moment of the write: the product caption, exclamation
  // icon, OK. Nothing was changed.
  virtual void Refuse(const std::string& text) { (void)text; }
  // Before initialising a disk without a table that holds data: Yes/No, exclamation; true for Yes.
  virtual bool ConfirmErase(const std::string& question) {
    (void)question;
    return false;
  }
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

// Run on a freshly read layout: a read that failed is refused ("cannot be read": nothing is
// written, nobody is asked to initialise); a non-MBR disk (extended calls) is refused with the
// message; an empty table is initialised when the user agrees (legacy: a four-entry table with a
// new signature through kIoctlDiskSetDriveLayout; extended: kIoctlDiskCreateDisk, update, read
// again), and a disk that has no table yet holds data is named and confirmed first; otherwise the
// layout stands. On Abandon the disk is closed.
InitResult EnsureDiskInitialized(SessionDiskHandle& disk, LayoutCalls calls, LayoutRead& read, DiskPrompts& prompts,
                                 const RandomSource& random = {});

// Slot rules of Add and Delete: the last of the first four entries whose PartitionNumber equals
// `number`; for 0 the last unused entry (an extended container is not unused). -1 when none
// matches: the caller then writes nothing, rather than slot 0, which holds some other partition.
int FindSlot(const DriveLayout& layout, std::int32_t number);
// 1 + the largest PartitionNumber of the first four entries.
std::uint32_t NextPartitionNumber(const DriveLayout& layout);
// The partitions that take one of the MBR's four entries (logical drives share their container's).
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
  // The disk as Add read it: the write goes ahead only on the same disk (its signature).
  std::uint32_t signature = 0;
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
// the write. Checked again at the moment of the write, from a fresh read of the whole layout: the
// same disk (signature), the slot still unused, the new partition inside the disk, on whole
// sectors an MBR addresses, overlapping nothing (primaries, extended partitions, logical drives);
// otherwise nothing is written and `refusal` says why. The whole layout is written back, so every
// other entry (the logical drives too) stays as it was.
struct CreatePartitionResult {
  bool opened = false;
  bool written = false;
  std::uint32_t partitionNumber = 0;
  std::string refusal;  // a check refused the write, or Windows did (kTableWriteFailedText)
};
CreatePartitionResult CreatePartitionTableEntry(const PartitionRequest& request, const SessionDisks& sessions,
                                                const std::function<void(int)>& progress = {});

// The table change of Delete for the partition `region` of `disk` as the manager read it (with the
// disk's `signature`). Checked again at the moment of the write: the table reads, it is the same
// disk, and one of the MBR's four entries still holds that partition (number, start and length);
// a logical drive is refused (only primaries are deleted here). Refusals go to `prompts.Refuse`.
// False when nothing was written. `beforeWrite` runs once the entry to empty is known, just before
// the table is written.
bool DeletePartitionEntry(std::int32_t disk, const DiskRegion& region, std::uint32_t signature,
                          const SessionDisks& sessions, DiskPrompts& prompts,
                          const std::function<void()>& beforeWrite = {});

// What a disk was when a decision about it was made: its layout as read (or that it could not be
// read). A write goes ahead only when a fresh read finds the same.
struct DiskIdentity {
  bool read = false;
  std::uint32_t style = kPartitionStyleRaw;
  std::uint32_t signature = 0;
  std::vector<PartitionEntry> entries;
  bool operator==(const DiskIdentity& other) const;
};
DiskIdentity IdentityOf(const LayoutRead& read);

// The whole-disk table: one type-7 partition from WizardPartitionStart, `requestedMiB` long but
// never past `diskSize`, in whole sectors, entries 1-3 empty with RewritePartition set.
DriveLayout WholeDiskTable(std::int64_t diskSize, std::uint32_t requestedMiB, std::uint32_t bytesPerSector,
                           std::uint32_t signature);
// Writes it on `disk` (nullopt requests the whole disk), when a fresh read finds the disk as
// `expected` (the identity the wizard asked about). Refused, with `refusal` saying why and nothing
// written, when the disk is not a session disk, its geometry cannot be read, it is too small, it
// changed, the partition would need more sectors than an MBR addresses, or Windows refused it.
struct WizardWrite {
  bool written = false;
  std::string refusal;
};
WizardWrite WritePartitionTableForWizard(std::int32_t disk, std::optional<std::uint32_t> requestedMiB,
                                         const SessionDisks& sessions, const DiskIdentity& expected,
                                         const RandomSource& random = {});

// Before the wizard's table: does the disk hold anything it would erase (a partition in its table,
// another partition style, a table that cannot be read, or data on a disk without a table), the
// question naming the disk and what is on it, and the disk as it was read.
struct WizardEraseCheck {
  bool wouldErase = false;
  std::string question;
  DiskIdentity identity;
};
bool LayoutWouldBeErased(const DriveLayout& layout);
std::string DescribeErasedContents(std::int32_t disk, const DriveLayout& layout,
                                   const std::vector<PartitionVolume>& volumes);
WizardEraseCheck CheckWizardErase(std::int32_t disk, const std::vector<PartitionVolume>& volumes);

}  // namespace sw::disk
