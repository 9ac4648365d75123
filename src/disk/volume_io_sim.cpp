// Simulated backend of the volume port: translates each call to the simulated machine's volumes
// (winsim/volumes.h), checking the callers' buffer sizes as Windows does. No logic here.

#include <cstring>

#include "disk/disk_structures.h"
#include "disk/volume_io.h"
#include "disk/volume_structures.h"
#include "winsim/machine.h"

namespace sw::disk::volume_io {

namespace {
bool Fits(const std::string& text, std::size_t capacity) { return text.size() + 1 <= capacity; }
}  // namespace

VolumeFind FirstVolume(std::string& volumeName, std::size_t capacity) {
  winsim::Volumes& volumes = winsim::TheMachine().volumes;
  std::intptr_t find = 0;
  std::string name;
  if (volumes.FindFirst(find, name) != winsim::kErrorSuccess) return VolumeFind{};
  if (!Fits(name, capacity)) {  // ERROR_FILENAME_EXCED_RANGE, and no search handle
    volumes.FindClose(find);
    return VolumeFind{};
  }
  volumeName = name;
  return VolumeFind{find};
}

bool NextVolume(VolumeFind find, std::string& volumeName, std::size_t capacity) {
  std::string name;
  if (winsim::TheMachine().volumes.FindNext(find.value, name) != winsim::kErrorSuccess || !Fits(name, capacity)) {
    return false;
  }
  volumeName = name;
  return true;
}

void CloseVolumeFind(VolumeFind& find) {
  if (find.IsValid()) winsim::TheMachine().volumes.FindClose(find.value);
  find = VolumeFind{};
}

std::uint32_t DriveTypeOf(const std::string& rootPath) { return winsim::TheMachine().volumes.DriveType(rootPath); }

bool GetVolumeFileSystem(const std::string& rootPath, std::string& fileSystem, std::size_t capacity) {
  std::string name;
  if (winsim::TheMachine().volumes.FileSystem(rootPath, name) != winsim::kErrorSuccess || !Fits(name, capacity)) {
    return false;
  }
  fileSystem = name;
  return true;
}

bool DosDeviceOf(const std::string& deviceName, std::string& target, std::size_t capacity) {
  std::string device;
  // The answer is a list: the name, its NUL and the list's closing NUL.
  if (winsim::TheMachine().volumes.DosDevice(deviceName, device) != winsim::kErrorSuccess ||
      device.size() + 2 > capacity) {
    return false;
  }
  target = device;
  return true;
}

VolumeHandle OpenVolume(const std::string& path) {
  std::uint32_t error = 0;
  const std::intptr_t handle = winsim::TheMachine().volumes.Open(path, error);
  return handle != 0 ? VolumeHandle{handle} : VolumeHandle{};
}

void CloseVolume(VolumeHandle& handle) {
  if (handle.IsValid()) winsim::TheMachine().volumes.Close(handle.value);
  handle = VolumeHandle{};
}

bool VolumeIoControl(VolumeHandle handle, std::uint32_t code, const void*, std::uint32_t, void* out,
                     std::uint32_t outSize, std::uint32_t* returned) {
  winsim::Machine& machine = winsim::TheMachine();
  winsim::VolumeExtent v;
  if (machine.volumes.Extent(handle.value, v) != winsim::kErrorSuccess) return false;
  std::vector<std::uint8_t> bytes;
  switch (code) {
    case kIoctlDiskGetDriveGeometry: {
      winsim::DiskGeometry g;
      if (machine.disks.Geometry(v.disk, g) != winsim::kErrorSuccess) return false;
      bytes = PackDiskGeometry(
          DiskGeometry{g.cylinders, g.mediaType, g.tracksPerCylinder, g.sectorsPerTrack, g.bytesPerSector});
      break;
    }
    case kIoctlDiskGetLengthInfo:
      bytes = PackLengthInformation(v.length);
      break;
    case kIoctlDiskGetPartitionInfo: {
      if (v.style != winsim::kStyleMbr) return false;  // MBR partitions only
      PartitionEntry entry;
      entry.StartingOffset = v.start;
      entry.PartitionLength = v.length;
      entry.HiddenSectors = v.hiddenSectors;
      entry.PartitionNumber = v.number;
      entry.PartitionType = v.type;
      entry.BootIndicator = v.boot ? 1 : 0;
      entry.RecognizedPartition = 1;
      bytes.assign(kPartitionInformationSize, 0);
      PackPartitionInformation(entry, bytes.data());
      break;
    }
    case kIoctlVolumeGetVolumeDiskExtents:
      bytes = PackVolumeDiskExtents({DiskExtent{static_cast<std::uint32_t>(v.disk), v.start, v.length}});
      break;
    default:
      return false;
  }
  if (out == nullptr || outSize < bytes.size()) return false;
  std::memcpy(out, bytes.data(), bytes.size());
  if (returned != nullptr) *returned = static_cast<std::uint32_t>(bytes.size());
  return true;
}

bool GetDiskTotalBytes(const std::string& rootPath, std::uint64_t& totalBytes) {
  std::uint64_t total = 0;
  if (winsim::TheMachine().volumes.TotalBytes(rootPath, total) != winsim::kErrorSuccess) return false;
  totalBytes = total;
  return true;
}

void FailCriticalErrors() { winsim::TheMachine().volumes.FailCriticalErrors(); }

bool SetMountPoint(const std::string& mountPoint, const std::string& volumeName) {
  return winsim::TheMachine().volumes.SetMountPoint(mountPoint, volumeName) == winsim::kErrorSuccess;
}

bool DeleteMountPoint(const std::string& mountPoint) {
  return winsim::TheMachine().volumes.DeleteMountPoint(mountPoint) == winsim::kErrorSuccess;
}

}  // namespace sw::disk::volume_io
