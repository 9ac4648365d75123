// Win32 backend of the volume port: the wide volume functions, CreateFileW and DeviceIoControl on
// a volume, the mount-point functions; no logic here. The offsets our packing uses are checked
// against the SDK's own structures at compile time.

#include <cstddef>
#include <vector>

#include <windows.h>
#include <winioctl.h>

#include "disk/volume_io.h"
#include "disk/volume_structures.h"

namespace sw::disk::volume_io {

static_assert(kIoctlDiskGetPartitionInfo == IOCTL_DISK_GET_PARTITION_INFO, "control code");
static_assert(kIoctlVolumeGetVolumeDiskExtents == IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, "control code");
static_assert(kMediaFixed == FixedMedia && kMediaRemovable == RemovableMedia, "media types");
static_assert(sizeof(VOLUME_DISK_EXTENTS) == kVolumeDiskExtentsHeaderSize + kDiskExtentSize, "VOLUME_DISK_EXTENTS");
static_assert(offsetof(VOLUME_DISK_EXTENTS, Extents) == kVolumeDiskExtentsHeaderSize, "VOLUME_DISK_EXTENTS");
static_assert(sizeof(DISK_EXTENT) == kDiskExtentSize && offsetof(DISK_EXTENT, StartingOffset) == 8 &&
              offsetof(DISK_EXTENT, ExtentLength) == 16,
              "DISK_EXTENT");

namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string Narrow(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(n - 1));
  return out;
}

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

VolumeFind FirstVolume(std::string& volumeName, std::size_t capacity) {
  std::vector<wchar_t> buffer(capacity + 1, L'\0');
  HANDLE find = FindFirstVolumeW(buffer.data(), static_cast<DWORD>(capacity));
  if (find == INVALID_HANDLE_VALUE) return VolumeFind{};
  volumeName = Narrow(buffer.data());
  return VolumeFind{reinterpret_cast<std::intptr_t>(find)};
}

bool NextVolume(VolumeFind find, std::string& volumeName, std::size_t capacity) {
  std::vector<wchar_t> buffer(capacity + 1, L'\0');
  if (!FindNextVolumeW(AsHandle(find.value), buffer.data(), static_cast<DWORD>(capacity))) return false;
  volumeName = Narrow(buffer.data());
  return true;
}

void CloseVolumeFind(VolumeFind& find) {
  if (find.IsValid()) ::FindVolumeClose(AsHandle(find.value));
  find = VolumeFind{};
}

std::uint32_t DriveTypeOf(const std::string& rootPath) { return GetDriveTypeW(Wide(rootPath).c_str()); }

bool GetVolumeFileSystem(const std::string& rootPath, std::string& fileSystem, std::size_t capacity) {
  std::vector<wchar_t> name(capacity + 1, L'\0');
  if (!GetVolumeInformationW(Wide(rootPath).c_str(), nullptr, 0, nullptr, nullptr, nullptr, name.data(),
                             static_cast<DWORD>(capacity))) {
    return false;
  }
  fileSystem = Narrow(name.data());
  return true;
}

bool DosDeviceOf(const std::string& deviceName, std::string& target, std::size_t capacity) {
  std::vector<wchar_t> buffer(capacity + 1, L'\0');
  if (QueryDosDeviceW(Wide(deviceName).c_str(), buffer.data(), static_cast<DWORD>(capacity)) == 0) return false;
  target = Narrow(buffer.data());  // the first of the NUL-separated names
  return true;
}

VolumeHandle OpenVolume(const std::string& path) {
  HANDLE h = CreateFileW(Wide(path).c_str(), MAXIMUM_ALLOWED, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return VolumeHandle{};
  return VolumeHandle{reinterpret_cast<std::intptr_t>(h)};
}

void CloseVolume(VolumeHandle& handle) {
  if (handle.IsValid()) CloseHandle(AsHandle(handle.value));
  handle = VolumeHandle{};
}

bool VolumeIoControl(VolumeHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                     std::uint32_t outSize, std::uint32_t* returned) {
  DWORD bytes = 0;
  BOOL ok = ::DeviceIoControl(AsHandle(handle.value), code, const_cast<void*>(in), inSize, out, outSize, &bytes,
                              nullptr);
  if (ok && returned != nullptr) *returned = bytes;
  return ok != FALSE;
}

bool GetDiskTotalBytes(const std::string& rootPath, std::uint64_t& totalBytes) {
  ULARGE_INTEGER total;
  if (!GetDiskFreeSpaceExA(rootPath.c_str(), nullptr, &total, nullptr)) return false;
  totalBytes = total.QuadPart;
  return true;
}

void FailCriticalErrors() { SetErrorMode(SEM_FAILCRITICALERRORS); }

bool SetMountPoint(const std::string& mountPoint, const std::string& volumeName) {
  return SetVolumeMountPointA(mountPoint.c_str(), volumeName.c_str()) != FALSE;
}

bool DeleteMountPoint(const std::string& mountPoint) {
  return DeleteVolumeMountPointA(mountPoint.c_str()) != FALSE;
}

}  // namespace sw::disk::volume_io
