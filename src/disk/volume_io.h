#pragma once
// Port to the volume functions: enumeration, drive types, file system names, DOS device names,
// volume handles with their control codes, free space, the critical-error mode and mount points.
// Each call forwards one Windows call. Backends: volume_io_win32.cpp (the wide volume functions,
// CreateFileW, DeviceIoControl, GetDiskFreeSpaceExA, the mount-point functions) and
// volume_io_sim.cpp (the simulated machine's volumes, winsim/volumes.h).
//
// Texts cross the port as UTF-8 (volume names and file system names are ASCII). A `capacity` is
// the size in characters, terminating NUL included, of the buffer Windows is given: a text that
// does not fit fails the call, as Windows does. State contract: out-parameters are written on
// success only.

#include <cstddef>
#include <cstdint>
#include <string>

namespace sw::disk::volume_io {

// A volume enumeration; `value` is the find HANDLE on Windows.
struct VolumeFind {
  std::intptr_t value = -1;
  bool IsValid() const { return value != -1; }
};

// An open volume; `value` is the HANDLE on Windows.
struct VolumeHandle {
  std::intptr_t value = -1;
  bool IsValid() const { return value != -1; }
};

// FindFirstVolumeW / FindNextVolumeW / FindVolumeClose. Names are "\\?\Volume{GUID}\".
VolumeFind FirstVolume(std::string& volumeName, std::size_t capacity);
bool NextVolume(VolumeFind find, std::string& volumeName, std::size_t capacity);
void CloseVolumeFind(VolumeFind& find);  // invalidates `find`

// GetDriveTypeW on a root ("E:\") or a volume name; the values of share/network_drives.h.
std::uint32_t DriveTypeOf(const std::string& rootPath);

// GetVolumeInformationW: the file system name only.
bool GetVolumeFileSystem(const std::string& rootPath, std::string& fileSystem, std::size_t capacity);

// QueryDosDeviceW: the first device name `deviceName` ("E:", "Volume{GUID}") stands for.
bool DosDeviceOf(const std::string& deviceName, std::string& target, std::size_t capacity);

// CreateFileW(path, MAXIMUM_ALLOWED, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, no flags),
// `path` a volume name without its trailing backslash. Invalid on failure.
VolumeHandle OpenVolume(const std::string& path);
void CloseVolume(VolumeHandle& handle);  // invalidates `handle`
// DeviceIoControl on a volume, synchronous; `returned` set on success only.
bool VolumeIoControl(VolumeHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                     std::uint32_t outSize, std::uint32_t* returned);

// GetDiskFreeSpaceExA: the total number of bytes of the volume at `rootPath`.
bool GetDiskTotalBytes(const std::string& rootPath, std::uint64_t& totalBytes);

// SetErrorMode(SEM_FAILCRITICALERRORS): no system message box for a drive without media.
void FailCriticalErrors();

// SetVolumeMountPointA("E:\", "\\?\Volume{GUID}\") and DeleteVolumeMountPointA("E:\").
bool SetMountPoint(const std::string& mountPoint, const std::string& volumeName);
bool DeleteMountPoint(const std::string& mountPoint);

}  // namespace sw::disk::volume_io
