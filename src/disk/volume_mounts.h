#pragma once
// Drive letters of the volumes on iSCSI disks: finding a partition's volume in the inventory,
// waiting for Windows to mount a new one, and moving, removing and giving letters, with the
// initiator's persistent devices kept in step.
//
// Only volumes of connected iSCSI session disks are ever changed: every entry point that changes
// a letter takes the session disks and refuses disk 0 and any disk outside them (nothing is run
// or changed then).

#include <cstdint>
#include <optional>
#include <string>

#include "disk/partitions.h"
#include "disk/volume_inventory.h"

namespace sw::disk {

// The first record of `disk` with partition `partition` (any partition of it for 0) in a fresh
// inventory. None for disk 0 or below, or when nothing matches.
std::optional<VolumeRecord> FindDiskVolume(std::int32_t disk, std::int32_t partition);

// FindDiskVolume once a second, at most 10 lookups, until the volume has a drive letter; the last
// lookup (which may lack a letter, or be none).
constexpr int kVolumeWaitTries = 10;
constexpr unsigned kVolumeWaitIntervalMs = 1000;
std::optional<VolumeRecord> WaitForDiskVolume(std::int32_t disk, std::int32_t partition);

// Moves the letter of a volume that has one to `drivePath` ("F:\"): the old mount point removed,
// the new one set. Nothing happens for a volume without a letter. True when the new mount point
// was set (callers may ignore it, as the results are not checked).
bool ReassignDriveLetter(const VolumeRecord& entry, const std::string& drivePath, const SessionDisks& sessions);

// UnMount of one row of the volume list: "iscsicli RemovePersistentDevice " with the row's drive
// path, then the mount point removed. True when a letter was removed.
bool UnmountVolume(const VolumeRecord& row, const SessionDisks& sessions);

// What the drive selection's OK does: the current mount point (if any) removed and `drivePath` set
// to the entry's volume. True when the letter was assigned.
bool AssignDriveLetter(const VolumeRecord& entry, const std::string& drivePath, const SessionDisks& sessions);
// Mount of one row: checked again at the moment of the change (the row's volume is still on that
// disk and partition; otherwise `refusal` says so and nothing changes), then AssignDriveLetter and
// "iscsicli AddPersistentDevice " with the volume's new drive path. True when the letter was
// assigned.
bool MountVolume(const VolumeRecord& entry, const std::string& drivePath, const SessionDisks& sessions,
                 std::string* refusal = nullptr);

}  // namespace sw::disk
