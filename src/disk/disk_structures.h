#pragma once
// The disk control codes and the published Windows structures they carry, packed and unpacked
// byte by byte (little-endian, the published offsets) so that the same buffers go to Windows and
// to the simulated disks. Only the members the program uses are named; packing zeroes the rest.
// The constants carry our own names (kIoctlDiskGetDriveGeometry for IOCTL_DISK_GET_DRIVE_GEOMETRY,
// kPartitionIfs for PARTITION_IFS, ...): the Windows names are macros in <winioctl.h>.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sw::disk {

constexpr std::uint32_t kIoctlDiskGetDriveGeometry = 0x00070000;
constexpr std::uint32_t kIoctlDiskGetDriveLayout = 0x0007400C;
constexpr std::uint32_t kIoctlDiskSetDriveLayout = 0x0007C010;
constexpr std::uint32_t kIoctlDiskGetDriveLayoutEx = 0x00070050;
constexpr std::uint32_t kIoctlDiskSetDriveLayoutEx = 0x0007C054;
constexpr std::uint32_t kIoctlDiskCreateDisk = 0x0007C058;
constexpr std::uint32_t kIoctlDiskUpdateProperties = 0x00070140;
constexpr std::uint32_t kIoctlDiskGetLengthInfo = 0x0007405C;

constexpr std::uint32_t kPartitionStyleMbr = 0;
constexpr std::uint32_t kPartitionStyleGpt = 1;
constexpr std::uint32_t kPartitionStyleRaw = 2;

constexpr std::uint8_t kPartitionEntryUnused = 0x00;
constexpr std::uint8_t kPartitionExtended = 0x05;
constexpr std::uint8_t kPartitionIfs = 0x07;
constexpr std::uint8_t kPartitionXint13Extended = 0x0F;
constexpr std::uint8_t kPartitionGptProtective = 0xEE;

constexpr std::size_t kDiskGeometrySize = 24;
constexpr std::size_t kPartitionInformationSize = 32;
constexpr std::size_t kPartitionInformationExSize = 144;
constexpr std::size_t kDriveLayoutHeaderSize = 8;
constexpr std::size_t kDriveLayoutExHeaderSize = 48;
constexpr std::size_t kCreateDiskSize = 24;
constexpr std::size_t kLengthInformationSize = 8;

// The buffers the program sends: header + 17 entries (legacy), header + 5 or 17 entries (extended).
constexpr std::size_t kLegacyLayoutBufferSize = kDriveLayoutHeaderSize + 17 * kPartitionInformationSize;      // 552
constexpr std::size_t kExtendedLayoutBufferSize = kDriveLayoutExHeaderSize + 5 * kPartitionInformationExSize; // 768
constexpr std::size_t kWizardLayoutExBufferSize = kDriveLayoutExHeaderSize + 17 * kPartitionInformationExSize; // 2496

// DISK_GEOMETRY.
struct DiskGeometry {
  std::int64_t Cylinders = 0;
  std::uint32_t MediaType = 0;
  std::uint32_t TracksPerCylinder = 0;
  std::uint32_t SectorsPerTrack = 0;
  std::uint32_t BytesPerSector = 0;
};

// One entry of either layout: PARTITION_INFORMATION (legacy) or PARTITION_INFORMATION_EX with its
// MBR member (extended). PartitionStyle exists only in the extended form.
struct PartitionEntry {
  std::uint32_t PartitionStyle = kPartitionStyleMbr;
  std::int64_t StartingOffset = 0;
  std::int64_t PartitionLength = 0;
  std::uint32_t HiddenSectors = 0;
  std::uint32_t PartitionNumber = 0;
  std::uint8_t PartitionType = 0;
  std::uint8_t BootIndicator = 0;
  std::uint8_t RecognizedPartition = 0;
  std::uint8_t RewritePartition = 0;
};

// DRIVE_LAYOUT_INFORMATION or DRIVE_LAYOUT_INFORMATION_EX (PartitionStyle only in the latter; the
// legacy form is always MBR). `entries` holds what the buffer had room for, which may be fewer
// than PartitionCount says.
struct DriveLayout {
  std::uint32_t PartitionStyle = kPartitionStyleMbr;
  std::uint32_t PartitionCount = 0;
  std::uint32_t Signature = 0;
  std::vector<PartitionEntry> entries;
};

// CREATE_DISK with its MBR member.
struct CreateDisk {
  std::uint32_t PartitionStyle = kPartitionStyleMbr;
  std::uint32_t Signature = 0;
};

// Packing writes into a zeroed buffer of the given size; entries that do not fit are dropped
// (PartitionCount is written as it stands). Unpacking reads what the buffer holds: a buffer too
// small for the header gives a zeroed result and false; entries are read up to the smaller of
// PartitionCount and what the buffer has room for.
std::vector<std::uint8_t> PackDiskGeometry(const DiskGeometry& geometry);
bool UnpackDiskGeometry(const std::uint8_t* data, std::size_t size, DiskGeometry& geometry);

void PackPartitionInformation(const PartitionEntry& entry, std::uint8_t* out32);
PartitionEntry UnpackPartitionInformation(const std::uint8_t* in32);
void PackPartitionInformationEx(const PartitionEntry& entry, std::uint8_t* out144);
PartitionEntry UnpackPartitionInformationEx(const std::uint8_t* in144);

std::vector<std::uint8_t> PackDriveLayout(const DriveLayout& layout, std::size_t bufferSize);
bool UnpackDriveLayout(const std::uint8_t* data, std::size_t size, DriveLayout& layout);
std::vector<std::uint8_t> PackDriveLayoutEx(const DriveLayout& layout, std::size_t bufferSize);
bool UnpackDriveLayoutEx(const std::uint8_t* data, std::size_t size, DriveLayout& layout);

std::vector<std::uint8_t> PackCreateDisk(const CreateDisk& create);
bool UnpackCreateDisk(const std::uint8_t* data, std::size_t size, CreateDisk& create);

// GET_LENGTH_INFORMATION.
std::vector<std::uint8_t> PackLengthInformation(std::int64_t length);
bool UnpackLengthInformation(const std::uint8_t* data, std::size_t size, std::int64_t& length);

}  // namespace sw::disk
