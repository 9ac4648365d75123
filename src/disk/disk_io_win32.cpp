// Win32 backend of the disk port: CreateFileA, DeviceIoControl and ReadFile on \\.\PhysicalDriveN;
// no logic here. The offsets our packing uses are checked against the SDK's own structures at
// compile time.

#include <cstddef>

#include <windows.h>
#include <winioctl.h>

#include "disk/disk_io.h"
#include "disk/disk_structures.h"

namespace sw::disk::io {

static_assert(kIoctlDiskGetDriveGeometry == IOCTL_DISK_GET_DRIVE_GEOMETRY, "control code");
static_assert(kIoctlDiskGetDriveLayout == IOCTL_DISK_GET_DRIVE_LAYOUT, "control code");
static_assert(kIoctlDiskSetDriveLayout == IOCTL_DISK_SET_DRIVE_LAYOUT, "control code");
static_assert(kIoctlDiskGetDriveLayoutEx == IOCTL_DISK_GET_DRIVE_LAYOUT_EX, "control code");
static_assert(kIoctlDiskSetDriveLayoutEx == IOCTL_DISK_SET_DRIVE_LAYOUT_EX, "control code");
static_assert(kIoctlDiskCreateDisk == IOCTL_DISK_CREATE_DISK, "control code");
static_assert(kIoctlDiskUpdateProperties == IOCTL_DISK_UPDATE_PROPERTIES, "control code");
static_assert(kIoctlDiskGetLengthInfo == IOCTL_DISK_GET_LENGTH_INFO, "control code");

static_assert(sizeof(DISK_GEOMETRY) == kDiskGeometrySize, "DISK_GEOMETRY");
static_assert(offsetof(DISK_GEOMETRY, MediaType) == 8 && offsetof(DISK_GEOMETRY, TracksPerCylinder) == 12 &&
              offsetof(DISK_GEOMETRY, SectorsPerTrack) == 16 && offsetof(DISK_GEOMETRY, BytesPerSector) == 20,
              "DISK_GEOMETRY");
static_assert(sizeof(PARTITION_INFORMATION) == kPartitionInformationSize, "PARTITION_INFORMATION");
static_assert(offsetof(PARTITION_INFORMATION, PartitionLength) == 8 &&
              offsetof(PARTITION_INFORMATION, HiddenSectors) == 16 &&
              offsetof(PARTITION_INFORMATION, PartitionNumber) == 20 &&
              offsetof(PARTITION_INFORMATION, PartitionType) == 24 &&
              offsetof(PARTITION_INFORMATION, BootIndicator) == 25 &&
              offsetof(PARTITION_INFORMATION, RecognizedPartition) == 26 &&
              offsetof(PARTITION_INFORMATION, RewritePartition) == 27,
              "PARTITION_INFORMATION");
static_assert(offsetof(DRIVE_LAYOUT_INFORMATION, Signature) == 4 &&
              offsetof(DRIVE_LAYOUT_INFORMATION, PartitionEntry) == kDriveLayoutHeaderSize,
              "DRIVE_LAYOUT_INFORMATION");
static_assert(sizeof(PARTITION_INFORMATION_EX) == kPartitionInformationExSize, "PARTITION_INFORMATION_EX");
static_assert(offsetof(PARTITION_INFORMATION_EX, StartingOffset) == 8 &&
              offsetof(PARTITION_INFORMATION_EX, PartitionLength) == 16 &&
              offsetof(PARTITION_INFORMATION_EX, PartitionNumber) == 24 &&
              offsetof(PARTITION_INFORMATION_EX, RewritePartition) == 28 &&
              offsetof(PARTITION_INFORMATION_EX, Mbr) == 32,
              "PARTITION_INFORMATION_EX");
static_assert(offsetof(PARTITION_INFORMATION_MBR, BootIndicator) == 1 &&
              offsetof(PARTITION_INFORMATION_MBR, RecognizedPartition) == 2 &&
              offsetof(PARTITION_INFORMATION_MBR, HiddenSectors) == 4,
              "PARTITION_INFORMATION_MBR");
static_assert(offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionCount) == 4 &&
              offsetof(DRIVE_LAYOUT_INFORMATION_EX, Mbr) == 8 &&
              offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionEntry) == kDriveLayoutExHeaderSize,
              "DRIVE_LAYOUT_INFORMATION_EX");
static_assert(sizeof(CREATE_DISK) == kCreateDiskSize && offsetof(CREATE_DISK, Mbr) == 4, "CREATE_DISK");
static_assert(sizeof(GET_LENGTH_INFORMATION) == kLengthInformationSize, "GET_LENGTH_INFORMATION");

namespace {

HANDLE AsHandle(DiskHandle h) { return reinterpret_cast<HANDLE>(h.value); }

}  // namespace

DiskHandle OpenDisk(const std::string& path, DiskAccess access) {
  const DWORD desired = access == DiskAccess::Query  ? 0
                        : access == DiskAccess::Read ? GENERIC_READ
                                                     : (GENERIC_READ | GENERIC_WRITE);
  HANDLE h = CreateFileA(path.c_str(), desired, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  DiskHandle handle;
  if (h != INVALID_HANDLE_VALUE) handle.value = reinterpret_cast<std::intptr_t>(h);
  return handle;
}

void CloseDisk(DiskHandle& handle) {
  if (!handle.IsValid()) return;
  CloseHandle(AsHandle(handle));
  handle = DiskHandle{};
}

bool DeviceIoControl(DiskHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                     std::uint32_t outSize, std::uint32_t* returned, std::uint32_t* error) {
  if (!handle.IsValid()) {
    if (error != nullptr) *error = ERROR_INVALID_HANDLE;
    return false;
  }
  DWORD bytes = 0;
  BOOL ok = ::DeviceIoControl(AsHandle(handle), code, const_cast<void*>(in), inSize, out, outSize, &bytes, nullptr);
  if (!ok && error != nullptr) *error = GetLastError();
  if (ok && returned != nullptr) *returned = bytes;
  return ok != FALSE;
}

bool ReadDisk(DiskHandle handle, std::uint64_t offset, void* out, std::uint32_t size, std::uint32_t* error) {
  if (!handle.IsValid()) {
    if (error != nullptr) *error = ERROR_INVALID_HANDLE;
    return false;
  }
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  DWORD read = 0;
  const bool ok = SetFilePointerEx(AsHandle(handle), position, nullptr, FILE_BEGIN) &&
                  ReadFile(AsHandle(handle), out, size, &read, nullptr) && read == size;
  if (!ok && error != nullptr) *error = GetLastError();
  return ok;
}

bool FlushDisk(DiskHandle handle) {
  return handle.IsValid() && FlushFileBuffers(AsHandle(handle)) != FALSE;
}

}  // namespace sw::disk::io
