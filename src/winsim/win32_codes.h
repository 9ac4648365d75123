#pragma once
// The numbers the simulated machine answers with: Windows' own error codes, drive types and states,
// as the Windows SDK defines them, so the translators hand them on unchanged.

#include <cstdint>

namespace sw::winsim {

// GetLastError() values.
constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorNotReady = 21;
constexpr std::uint32_t kErrorNotSupported = 50;
constexpr std::uint32_t kErrorBadNetPath = 53;
constexpr std::uint32_t kErrorBadNetName = 67;
constexpr std::uint32_t kErrorAlreadyAssigned = 85;
constexpr std::uint32_t kErrorInvalidPassword = 86;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kErrorInvalidName = 123;
constexpr std::uint32_t kErrorDirNotEmpty = 145;
constexpr std::uint32_t kErrorFilenameExcedRange = 206;
constexpr std::uint32_t kErrorMoreData = 234;
constexpr std::uint32_t kErrorNoMoreFiles = 18;
constexpr std::uint32_t kErrorUnrecognizedVolume = 1005;
constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
constexpr std::uint32_t kErrorServiceDisabled = 1058;
constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
constexpr std::uint32_t kErrorBadDevice = 1200;
constexpr std::uint32_t kErrorDeviceNotConnected = 1167;
constexpr std::uint32_t kErrorCancelled = 1223;
constexpr std::uint32_t kErrorNotConnected = 2250;

// GetDriveType results.
constexpr std::uint32_t kDriveUnknown = 0;
constexpr std::uint32_t kDriveNoRootDir = 1;
constexpr std::uint32_t kDriveRemovable = 2;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kDriveRemote = 4;
constexpr std::uint32_t kDriveCdRom = 5;
constexpr std::uint32_t kDriveRamDisk = 6;

// DISK_GEOMETRY.MediaType.
constexpr std::uint32_t kMediaRemovable = 11;
constexpr std::uint32_t kMediaFixed = 12;

// PARTITION_STYLE.
constexpr std::uint32_t kStyleMbr = 0;
constexpr std::uint32_t kStyleGpt = 1;
constexpr std::uint32_t kStyleRaw = 2;

// MBR partition types the partition manager treats specially.
constexpr std::uint8_t kTypeUnused = 0x00;
constexpr std::uint8_t kTypeExtended = 0x05;
constexpr std::uint8_t kTypeExtendedLba = 0x0F;
constexpr std::uint8_t kTypeGptProtective = 0xEE;
// IsContainerPartition of the SDK: only these two hold logical drives for Windows.
inline bool IsContainerType(std::uint8_t type) { return type == kTypeExtended || type == kTypeExtendedLba; }

// SERVICE_STATUS.dwCurrentState.
enum class ServiceStatus : std::uint32_t { Stopped = 1, StartPending = 2, Running = 4 };

}  // namespace sw::winsim
