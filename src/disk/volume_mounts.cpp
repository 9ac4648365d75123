// Drive letters of the volumes on iSCSI disks; see volume_mounts.h.

#include "disk/volume_mounts.h"

#include "disk/volume_io.h"
#include "host/clock.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"

namespace sw::disk {

namespace {

// The old mount point goes first (a volume holds one letter); when the new one cannot be set the
// old one is put back, so a taken letter does not leave the volume without any.
bool MoveMountPoint(const VolumeRecord& entry, const std::string& drivePath) {
  const bool removed = HasDrivePath(entry) && volume_io::DeleteMountPoint(entry.volumePath);
  if (volume_io::SetMountPoint(drivePath, entry.volumeName)) return true;
  if (removed) volume_io::SetMountPoint(entry.volumePath, entry.volumeName);
  return false;
}

}  // namespace

std::optional<VolumeRecord> FindDiskVolume(std::int32_t disk, std::int32_t partition) {
  if (disk <= 0) return std::nullopt;  // disk 0 is never managed
  VolumeTable table;
  BuildVolumeTable(table);
  for (const auto& record : table) {
    if (record.diskNumber == disk && (partition == 0 || record.partitionNumber == partition)) return record;
  }
  return std::nullopt;
}

std::optional<VolumeRecord> WaitForDiskVolume(std::int32_t disk, std::int32_t partition) {
  std::optional<VolumeRecord> found;
  for (int attempt = 0; attempt < kVolumeWaitTries; ++attempt) {
    if (attempt > 0) host::SleepMs(kVolumeWaitIntervalMs);
    found = FindDiskVolume(disk, partition);
    if (found && HasDrivePath(*found)) break;
  }
  return found;
}

bool ReassignDriveLetter(const VolumeRecord& entry, const std::string& drivePath, const SessionDisks& sessions) {
  if (!sessions.Contains(entry.diskNumber) || !HasDrivePath(entry)) return false;
  return MoveMountPoint(entry, drivePath);
}

bool UnmountVolume(const VolumeRecord& row, const SessionDisks& sessions) {
  if (!sessions.Contains(row.diskNumber)) return false;
  iscsi::RunIfBuilt(iscsi::RemovePersistentDeviceCommand(row.volumePath));
  return volume_io::DeleteMountPoint(row.volumePath);
}

bool AssignDriveLetter(const VolumeRecord& entry, const std::string& drivePath, const SessionDisks& sessions) {
  if (!sessions.Contains(entry.diskNumber)) return false;
  return MoveMountPoint(entry, drivePath);
}

bool MountVolume(const VolumeRecord& entry, const std::string& drivePath, const SessionDisks& sessions,
                 std::string* refusal) {
  // The row was read when the manager opened: the letter goes to that volume or to none.
  const std::optional<VolumeRecord> current = FindDiskVolume(entry.diskNumber, entry.partitionNumber);
  if (!current || current->volumeName != entry.volumeName || entry.partitionNumber <= 0) {
    if (refusal != nullptr) *refusal = DiskChangedText(entry.diskNumber, kPartitionGoneNow);
    return false;
  }
  if (!AssignDriveLetter(*current, drivePath, sessions)) return false;
  // The entry read before the change still names the old path; the persistent device is the new one.
  auto now = FindDiskVolume(entry.diskNumber, entry.partitionNumber);
  iscsi::RunIfBuilt(iscsi::AddPersistentDeviceCommand(now ? now->volumePath : drivePath));
  return true;
}

}  // namespace sw::disk
