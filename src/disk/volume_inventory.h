#pragma once
// The volume inventory of iSCSI disks: one VolumeRecord per fixed volume on a disk of an initiator
// session, then one "*" record per session disk that carries none, each named by its session's
// target. Rebuilt from scratch on every call; only the WMI connection is kept (one per program run).
// The assembly is core; the volume and disk queries go through volume_io.h and disk_io.h.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disk/disk_layout.h"
#include "disk/partitions.h"
#include "iscsi/target_logout.h"
#include "iscsi/wmi_wrapper.h"

namespace sw::disk {

// Buffer sizes of the queries, in characters.
constexpr std::size_t kVolumeNameCapacity = 100;
constexpr std::size_t kFileSystemNameCapacity = 64;
constexpr std::size_t kDosDeviceCapacity = 260;
constexpr std::size_t kDiskExtentsBufferSize = 512;

constexpr const char* kNoValue = "*";
constexpr const char* kUnknownFileSystem = "Unknown";

struct VolumeRecord {
  std::uint64_t sizeBytes = 0;        // 0 when unknown
  std::uint32_t sizeMegabytes = 0;    // sizeBytes >> 20
  std::int32_t diskNumber = -1;
  std::int32_t partitionNumber = -1;  // 0 in a no-volume record
  std::string volumeName;             // "\\?\Volume{...}\"; a no-volume record: the device's legacy name
  std::string diskNumberText;
  std::string partitionNumberText;    // "*" in a no-volume record
  std::string volumePath;             // "E:\", or "*" without a drive letter
  std::string fileSystem;             // "Unknown" when unreadable, "*" in a no-volume record
  std::string capacityText;           // "%lu.%02lu Gb", "*" when unknown
  std::string targetName;             // empty when no session has the disk
};
using VolumeTable = std::vector<VolumeRecord>;

// The two meanings of "the volume has a drive letter": its volume path is a drive path (anything
// but "*"), what a letter move or removal acts on; and that path begins with a letter, what the
// format needs.
bool HasDrivePath(const VolumeRecord& record);
bool HasDriveLetter(const std::optional<VolumeRecord>& record);

// Whole gibibytes, a point, and hundredths rounded up from 6291455/2^30; hundredths that round up
// to a whole gibibyte are carried: 2^30 - 1 bytes reads "1.00 Gb".
std::string CapacityText(std::uint64_t bytes);

// The table for these session devices (the devices of QuerySessionDevices).
void BuildVolumeTable(VolumeTable& table, const std::vector<iscsi::SessionDevicesRecord>& sessions);
// The table for the sessions the module's CWmiWrapper reports; a WMI failure gives an empty table.
void BuildVolumeTable(VolumeTable& table);

// The two closing steps, over a table of volumes already listed: a "*" record for every session
// device whose disk has no record (its size from the geometry of the legacy name, 0 when that
// cannot be read), then every record of
// a session's disk named by that session's target (a later session wins).
void AppendNoVolumeRecords(VolumeTable& table, const std::vector<iscsi::SessionDevicesRecord>& sessions);
void AssignTargetNames(VolumeTable& table, const std::vector<iscsi::SessionDevicesRecord>& sessions);

// The program-wide disk state of the last checked target: 1 when its disk still has no volume.
// 0 at start.
int& TargetDiskState();
// The first record of `targetName` (exact) decides: a drive path gives 0, a "*" record 1, a volume
// without a letter 0. No record leaves `state` as it is.
void UpdateTargetDiskState(const VolumeTable& table, const std::string& targetName, int& state);
// Builds a table and updates TargetDiskState for `targetName`.
void CheckTargetDisk(const std::string& targetName);

// The disks of the connected sessions, for the entry points that change a disk.
SessionDisks SessionDisksOf(const std::vector<iscsi::SessionDevicesRecord>& sessions);
SessionDisks ConnectedSessionDisks();  // through the module's CWmiWrapper

// What the disk layout refresh names its bar segments from.
std::vector<PartitionVolume> PartitionVolumes(const VolumeTable& table);

// What the logout reads of each volume: its drive path and its disk's target.
std::vector<iscsi::InventoryVolume> VolumeTargets(const VolumeTable& table);

}  // namespace sw::disk
