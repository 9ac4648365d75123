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

std::int64_t GeometrySize(const DiskGeometry& g) {
  // The four values come from the disk's driver: a product past 63 bits (or a negative cylinder
  // count) is no size at all, and is read as unknown rather than wrapped.
  std::int64_t size = 0;
  if (g.Cylinders < 0 ||
      __builtin_mul_overflow(static_cast<std::int64_t>(g.BytesPerSector), static_cast<std::int64_t>(g.SectorsPerTrack),
                             &size) ||
      __builtin_mul_overflow(size, static_cast<std::int64_t>(g.TracksPerCylinder), &size) ||
      __builtin_mul_overflow(size, g.Cylinders, &size)) {
    return 0;
  }
  return size;
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

DriveLayout ReadDriveLayoutEx(io::DiskHandle handle, std::size_t bufferSize, bool* callSucceeded) {
  std::vector<std::uint8_t> buffer(bufferSize, 0);
  bool ok = io::DeviceIoControl(handle, kIoctlDiskGetDriveLayoutEx, nullptr, 0, buffer.data(),
                                static_cast<std::uint32_t>(buffer.size()), nullptr);
  if (!ok) std::fill(buffer.begin(), buffer.end(), 0);
  if (callSucceeded != nullptr) *callSucceeded = ok;
  DriveLayout layout;
  UnpackDriveLayoutEx(buffer.data(), buffer.size(), layout);
  return layout;
}

DriveLayout ReadDriveLayout(io::DiskHandle handle, LayoutCalls calls, bool* callSucceeded) {
  if (calls == LayoutCalls::Extended) return ReadDriveLayoutEx(handle, kExtendedLayoutBufferSize, callSucceeded);
  std::vector<std::uint8_t> buffer(kLegacyLayoutBufferSize, 0);
  bool ok = io::DeviceIoControl(handle, kIoctlDiskGetDriveLayout, nullptr, 0, buffer.data(),
                                static_cast<std::uint32_t>(buffer.size()), nullptr);
  if (!ok) std::fill(buffer.begin(), buffer.end(), 0);
  if (callSucceeded != nullptr) *callSucceeded = ok;
  DriveLayout layout;
  UnpackDriveLayout(buffer.data(), buffer.size(), layout);
  return layout;
}

bool WriteDriveLayout(io::DiskHandle handle, LayoutCalls calls, const DriveLayout& layout, bool flush) {
  if (calls == LayoutCalls::Legacy) {
    std::vector<std::uint8_t> buffer = PackDriveLayout(layout, kLegacyLayoutBufferSize);
    bool ok = io::DeviceIoControl(handle, kIoctlDiskSetDriveLayout, buffer.data(),
                                  static_cast<std::uint32_t>(buffer.size()), nullptr, 0, nullptr);
    if (flush) io::FlushDisk(handle);
    return ok;
  }
  std::vector<std::uint8_t> buffer = PackDriveLayoutEx(layout, kExtendedLayoutBufferSize);
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
  DriveLayout layout = ReadDriveLayout(handle, calls);
  io::CloseDisk(handle);
  result.opened = true;
  result.regions = ComputeDiskRegions(layout, result.geometry.BytesPerSector, result.roundedSize);
  return result;
}

DiskLayoutRefresh RefreshDiskLayoutData(std::int32_t disk, const std::vector<PartitionVolume>& volumes) {
  DiskLayoutRefresh refresh;
  refresh.read = ReadDiskRegions(disk);
  for (const auto& region : refresh.read.regions) refresh.rows.push_back(FormatRegionRow(region));
  refresh.view = BuildLayoutView(disk, refresh.read.regions, volumes);
  return refresh;
}

}  // namespace sw::disk
