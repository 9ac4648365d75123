// Disk queries and layout calls over the disk port.

#include "disk/disk_access.h"

#include <algorithm>
#include <cstdio>

#include "host/windows_version.h"

namespace sw::disk {

LayoutCalls ChooseLayoutCalls() {
  host::WindowsVersionInfo info;
  if (host::QueryWindowsVersion(info) && (host::IsWindows2000(info) || host::IsWindowsNT4OrEarlier(info))) {
    return LayoutCalls::Legacy;
  }
  return LayoutCalls::Extended;
}

std::string PhysicalDrivePath(std::int32_t disk) {
  char path[40];
  std::snprintf(path, sizeof path, "\\\\.\\PhysicalDrive%d", disk);
  return path;
}

bool QueryGeometry(io::DiskHandle handle, DiskGeometry& geometry) {
  std::uint8_t buffer[kDiskGeometrySize] = {};
  std::uint32_t returned = 0;
  if (!io::DeviceIoControl(handle, kIoctlDiskGetDriveGeometry, nullptr, 0, buffer, sizeof buffer, &returned)) {
    return false;
  }
  return UnpackDiskGeometry(buffer, sizeof buffer, geometry);
}

bool ReadGeometry(const std::string& path, DiskGeometry& geometry) {
  io::DiskHandle handle = io::OpenDisk(path, io::DiskAccess::Query);
  if (!handle.IsValid()) return false;
  DiskGeometry read;
  bool ok = QueryGeometry(handle, read);
  io::CloseDisk(handle);
  if (ok) geometry = read;
  return ok;
}

std::int64_t ReadDiskSize(std::int32_t disk) {
  DiskGeometry geometry;
  return ReadGeometry(PhysicalDrivePath(disk), geometry) ? GeometrySize(geometry) : 0;
}

io::DiskHandle OpenDiskForWrite(std::int32_t disk) {
  return io::OpenDisk(PhysicalDrivePath(disk), io::DiskAccess::ReadWrite);
}

namespace {

LayoutRead ReadGrowing(io::DiskHandle handle, std::uint32_t code, std::size_t bufferSize) {
  const bool extended = code == kIoctlDiskGetDriveLayoutEx;
  LayoutRead read;
  for (std::size_t size = bufferSize; size <= kMaxLayoutBufferSize; size *= 2) {
    std::vector<std::uint8_t> buffer(size, 0);
    std::uint32_t returned = 0;
    read.error = 0;
    read.ok = io::DeviceIoControl(handle, code, nullptr, 0, buffer.data(), static_cast<std::uint32_t>(buffer.size()),
                                  &returned, &read.error);
    if (read.ok) {
      // Entries are read up to what Windows said it returned, never beyond.
      const std::size_t used = returned != 0 && returned <= buffer.size() ? returned : buffer.size();
      read.ok = extended ? UnpackDriveLayoutEx(buffer.data(), used, read.layout)
                         : UnpackDriveLayout(buffer.data(), used, read.layout);
      if (!read.ok) read.layout = DriveLayout{};
      return read;
    }
    if (read.error != io::kErrorInsufficientBuffer && read.error != io::kErrorMoreData) break;
  }
  read.layout = DriveLayout{};
  return read;
}

}  // namespace

LayoutRead ReadLayoutEx(io::DiskHandle handle, std::size_t bufferSize) {
  return ReadGrowing(handle, kIoctlDiskGetDriveLayoutEx, bufferSize);
}

LayoutRead ReadLayout(io::DiskHandle handle, LayoutCalls calls) {
  if (calls == LayoutCalls::Extended) return ReadLayoutEx(handle, kExtendedLayoutBufferSize);
  return ReadGrowing(handle, kIoctlDiskGetDriveLayout, kLegacyLayoutBufferSize);
}

bool WriteDriveLayout(io::DiskHandle handle, LayoutCalls calls, const DriveLayout& layout, bool flush) {
  if (calls == LayoutCalls::Legacy) {
    const std::size_t size = std::max(kLegacyLayoutBufferSize,
                                       kDriveLayoutHeaderSize + layout.entries.size() * kPartitionInformationSize);
    std::vector<std::uint8_t> buffer = PackDriveLayout(layout, size);
    bool ok = io::DeviceIoControl(handle, kIoctlDiskSetDriveLayout, buffer.data(),
                                  static_cast<std::uint32_t>(buffer.size()), nullptr, 0, nullptr);
    if (flush) io::FlushDisk(handle);
    return ok;
  }
  const std::size_t size = std::max(kExtendedLayoutBufferSize,
                                     kDriveLayoutExHeaderSize + layout.entries.size() * kPartitionInformationExSize);
  std::vector<std::uint8_t> buffer = PackDriveLayoutEx(layout, size);
  bool ok = io::DeviceIoControl(handle, kIoctlDiskSetDriveLayoutEx, buffer.data(),
                                static_cast<std::uint32_t>(buffer.size()), nullptr, 0, nullptr);
  if (flush) io::FlushDisk(handle);
  io::DeviceIoControl(handle, kIoctlDiskUpdateProperties, nullptr, 0, nullptr, 0, nullptr);
  return ok;
}

DiskLayoutRead ReadDiskRegions(std::int32_t disk) {
  DiskLayoutRead result;
  LayoutCalls calls = ChooseLayoutCalls();
  result.roundedSize = RoundDownToMiB(ReadDiskSize(disk));
  io::DiskHandle handle = OpenDiskForWrite(disk);
  if (!handle.IsValid()) return result;
  if (!QueryGeometry(handle, result.geometry)) {
    io::CloseDisk(handle);
    return result;
  }
  result.read = ReadLayout(handle, calls);
  io::CloseDisk(handle);
  result.opened = true;
  // What cannot be read is not free space: the disk is shown as unreadable and nothing is offered.
  result.unreadable = !result.read.ok || GeometrySize(result.geometry) == 0;
  if (!result.unreadable) {
    result.regions = ComputeDiskRegions(result.read.layout, result.geometry.BytesPerSector, result.roundedSize);
  }
  return result;
}

DiskLayoutRefresh RefreshDiskLayoutData(std::int32_t disk, const std::vector<PartitionVolume>& volumes) {
  DiskLayoutRefresh refresh;
  refresh.read = ReadDiskRegions(disk);
  for (const auto& region : refresh.read.regions) refresh.rows.push_back(FormatRegionRow(region));
  refresh.view = BuildLayoutView(disk, refresh.read.regions, volumes);
  if (refresh.read.unreadable) refresh.view = UnreadableLayoutView(disk, refresh.read.roundedSize);
  return refresh;
}

}  // namespace sw::disk
