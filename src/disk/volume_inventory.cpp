// The volume inventory of iSCSI disks; see volume_inventory.h.

#include "disk/volume_inventory.h"

#include <cstdio>
#include <memory>

#include "base/ascii_case.h"
#include "disk/disk_access.h"
#include "disk/disk_structures.h"
#include "disk/volume_io.h"
#include "disk/volume_structures.h"
#include "host/windows_version.h"
#include "share/network_drives.h"

namespace sw::disk {

namespace {

std::string Decimal(std::int64_t value) { return std::to_string(value); }

void SetSize(VolumeRecord& record, std::uint64_t bytes) {
  record.sizeBytes = bytes;
  record.sizeMegabytes = static_cast<std::uint32_t>(bytes >> 20);
  record.capacityText = CapacityText(bytes);
}

void SetUnknownSize(VolumeRecord& record) {
  record.sizeBytes = 0;
  record.sizeMegabytes = 0;
  record.capacityText = kNoValue;
}

// The first letter whose DOS device is the volume's, as "E:\", or "*".
std::string DrivePathOf(const std::string& volumeName) {
  std::string name = volumeName;
  if (!name.empty() && name.back() == '\\') name.pop_back();
  std::string device = name;
  if (name.compare(0, 4, "\\\\?\\") == 0) {
    if (!volume_io::DosDeviceOf(name.substr(4), device, kDosDeviceCapacity)) return kNoValue;
  }
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string drive = std::string(1, letter) + ":";
    std::string target;
    if (volume_io::DosDeviceOf(drive, target, kDosDeviceCapacity) && base::EqualIgnoringAsciiCase(target, device)) {
      return drive + "\\";
    }
  }
  return kNoValue;
}

bool UsesFreeSpaceForSize() {
  host::WindowsVersionInfo info;
  return host::QueryWindowsVersion(info) && (host::IsWindowsNT4OrEarlier(info) || host::IsWindows2000(info));
}

bool IsSessionDiskText(const std::string& text, const std::vector<iscsi::SessionDevicesRecord>& sessions) {
  for (const auto& session : sessions) {
    for (const auto& device : session.devices) {
      if (text == Decimal(static_cast<std::int32_t>(device.deviceNumber))) return true;
    }
  }
  return false;
}

// One volume of the enumeration; false when it is not to be listed.
bool ReadVolume(const std::string& volumeName, const std::vector<iscsi::SessionDevicesRecord>& sessions,
                VolumeRecord& record) {
  record = VolumeRecord{};
  record.volumeName = volumeName;
  std::string fileSystem;
  record.fileSystem = volume_io::GetVolumeFileSystem(volumeName, fileSystem, kFileSystemNameCapacity)
                          ? fileSystem
                          : kUnknownFileSystem;
  record.volumePath = DrivePathOf(volumeName);

  std::string path = volumeName;
  if (!path.empty() && path.back() == '\\') path.pop_back();
  volume_io::VolumeHandle volume = volume_io::OpenVolume(path);
  if (!volume.IsValid()) return false;

  std::uint8_t geometryBytes[kDiskGeometrySize] = {};
  std::uint32_t returned = 0;
  DiskGeometry geometry;
  const bool fixedMedia =
      volume_io::VolumeIoControl(volume, kIoctlDiskGetDriveGeometry, nullptr, 0, geometryBytes, sizeof geometryBytes,
                                 &returned) &&
      returned >= kDiskGeometrySize && UnpackDiskGeometry(geometryBytes, returned, geometry) &&
      geometry.MediaType == kMediaFixed;

  std::uint8_t lengthBytes[kLengthInformationSize] = {};
  returned = 0;
  std::int64_t length = 0;
  const bool lengthKnown =
      !UsesFreeSpaceForSize() &&
      volume_io::VolumeIoControl(volume, kIoctlDiskGetLengthInfo, nullptr, 0, lengthBytes, sizeof lengthBytes,
                                 &returned) &&
      returned >= kLengthInformationSize && UnpackLengthInformation(lengthBytes, returned, length);
  if (lengthKnown) {
    SetSize(record, length < 0 ? 0 : static_cast<std::uint64_t>(length));
  } else {
    std::uint64_t total = 0;
    if (volume_io::GetDiskTotalBytes(record.volumePath, total)) {
      SetSize(record, total);
    } else {
      SetUnknownSize(record);
    }
  }

  std::uint8_t partitionBytes[kPartitionInformationSize] = {};
  returned = 0;
  if (volume_io::VolumeIoControl(volume, kIoctlDiskGetPartitionInfo, nullptr, 0, partitionBytes,
                                 sizeof partitionBytes, &returned) &&
      returned >= kPartitionInformationSize) {
    const std::uint32_t number = UnpackPartitionInformation(partitionBytes).PartitionNumber;
    record.partitionNumber = static_cast<std::int32_t>(number);
    record.partitionNumberText = std::to_string(number);
  }

  std::uint8_t extents[kDiskExtentsBufferSize] = {};
  returned = 0;
  DiskExtent first;
  if (volume_io::VolumeIoControl(volume, kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, extents, sizeof extents,
                                 &returned) &&
      returned >= kVolumeDiskExtentsHeaderSize + kDiskExtentSize && UnpackFirstDiskExtent(extents, returned, first)) {
    record.diskNumber = static_cast<std::int32_t>(first.DiskNumber);
    record.diskNumberText = std::to_string(first.DiskNumber);
  }
  volume_io::CloseVolume(volume);

  return fixedMedia && IsSessionDiskText(record.diskNumberText, sessions);
}

iscsi::CWmiWrapper& ModuleWmi() {
  // One connection for the whole run, made on first use.
  static iscsi::CWmiWrapper wmi;
  return wmi;
}

std::vector<iscsi::SessionDevicesRecord> QuerySessions() {
  std::vector<iscsi::SessionDevicesRecord> sessions;
  if (ModuleWmi().QuerySessionDevices(sessions) < 0) sessions.clear();
  return sessions;
}

}  // namespace

bool HasDrivePath(const VolumeRecord& record) { return !record.volumePath.empty() && record.volumePath != kNoValue; }

bool HasDriveLetter(const std::optional<VolumeRecord>& record) {
  if (!record || record->volumePath.empty()) return false;
  const char c = record->volumePath[0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string CapacityText(std::uint64_t bytes) {
  std::uint64_t whole = bytes >> 30;
  std::uint64_t hundredths = (((bytes & ((1ull << 30) - 1)) + 6291455ull) * 100ull) >> 30;
  // Rounded up to a whole gibibyte: carried, so that 2 GiB less a few sectors reads "2.00 Gb".
  if (hundredths >= 100) {
    ++whole;
    hundredths -= 100;
  }
  char text[48];
  std::snprintf(text, sizeof text, "%llu.%02llu Gb", static_cast<unsigned long long>(whole),
                static_cast<unsigned long long>(hundredths));
  return text;
}

void AppendNoVolumeRecords(VolumeTable& table, const std::vector<iscsi::SessionDevicesRecord>& sessions) {
  for (const auto& session : sessions) {
    for (const auto& device : session.devices) {
      const std::string diskText = Decimal(static_cast<std::int32_t>(device.deviceNumber));
      bool listed = false;
      for (const auto& record : table) listed = listed || record.diskNumberText == diskText;
      if (listed) continue;
      VolumeRecord record;
      record.volumeName = device.legacyName;
      record.diskNumberText = diskText;
      record.diskNumber = static_cast<std::int32_t>(device.deviceNumber);
      record.partitionNumberText = kNoValue;
      record.partitionNumber = 0;
      record.volumePath = kNoValue;
      record.fileSystem = kNoValue;
      DiskGeometry geometry;
      if (ReadGeometry(device.legacyName, geometry)) {
        SetSize(record, static_cast<std::uint64_t>(GeometrySize(geometry)));
      } else {
        SetUnknownSize(record);
      }
      table.push_back(record);
    }
  }
}

void AssignTargetNames(VolumeTable& table, const std::vector<iscsi::SessionDevicesRecord>& sessions) {
  for (const auto& session : sessions) {
    for (const auto& device : session.devices) {
      for (auto& record : table) {
        if (record.diskNumber == static_cast<std::int32_t>(device.deviceNumber)) record.targetName = session.targetName;
      }
    }
  }
}

void BuildVolumeTable(VolumeTable& table, const std::vector<iscsi::SessionDevicesRecord>& sessions) {
  table.clear();
  volume_io::FailCriticalErrors();
  std::string name;
  volume_io::VolumeFind find = volume_io::FirstVolume(name, kVolumeNameCapacity);
  if (find.IsValid()) {
    bool more = true;
    while (more) {
      VolumeRecord record;
      if (!name.empty() && volume_io::DriveTypeOf(name) == share::kDriveFixed && ReadVolume(name, sessions, record)) {
        table.push_back(record);
      }
      more = volume_io::NextVolume(find, name, kVolumeNameCapacity);
    }
    volume_io::CloseVolumeFind(find);
  }
  AppendNoVolumeRecords(table, sessions);
  AssignTargetNames(table, sessions);
}

void BuildVolumeTable(VolumeTable& table) { BuildVolumeTable(table, QuerySessions()); }

int& TargetDiskState() {
  static int state = 0;
  return state;
}

void UpdateTargetDiskState(const VolumeTable& table, const std::string& targetName, int& state) {
  for (const auto& record : table) {
    if (record.targetName != targetName) continue;
    if (!base::EqualIgnoringAsciiCase(record.volumePath, kNoValue)) {
      state = 0;
    } else {
      state = base::EqualIgnoringAsciiCase(record.fileSystem, kNoValue) ? 1 : 0;
    }
    return;
  }
}

void CheckTargetDisk(const std::string& targetName) {
  VolumeTable table;
  BuildVolumeTable(table);
  UpdateTargetDiskState(table, targetName, TargetDiskState());
}

SessionDisks SessionDisksOf(const std::vector<iscsi::SessionDevicesRecord>& sessions) {
  std::vector<std::int32_t> disks;
  for (const auto& session : sessions) {
    for (const auto& device : session.devices) disks.push_back(static_cast<std::int32_t>(device.deviceNumber));
  }
  return SessionDisks(disks);
}

SessionDisks ConnectedSessionDisks() { return SessionDisksOf(QuerySessions()); }

std::vector<PartitionVolume> PartitionVolumes(const VolumeTable& table) {
  std::vector<PartitionVolume> volumes;
  for (const auto& record : table) {
    volumes.push_back({record.diskNumber, record.partitionNumber, record.volumePath, record.fileSystem});
  }
  return volumes;
}

std::vector<iscsi::InventoryVolume> VolumeTargets(const VolumeTable& table) {
  std::vector<iscsi::InventoryVolume> out;
  for (const auto& record : table) out.push_back({record.volumePath, record.targetName});
  return out;
}

}  // namespace sw::disk
