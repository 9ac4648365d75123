#pragma once
// The volume control codes and the one structure of theirs not shared with the disk calls,
// VOLUME_DISK_EXTENTS (its count, then DISK_EXTENT entries of 24 bytes from offset 8), packed byte
// by byte like disk_structures.h. PARTITION_INFORMATION and DISK_GEOMETRY come from there.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sw::disk {

constexpr std::uint32_t kIoctlDiskGetPartitionInfo = 0x00074004;
constexpr std::uint32_t kIoctlVolumeGetVolumeDiskExtents = 0x00560000;

// DISK_GEOMETRY.MediaType values the inventory tells apart.
constexpr std::uint32_t kMediaRemovable = 11;
constexpr std::uint32_t kMediaFixed = 12;

constexpr std::size_t kVolumeDiskExtentsHeaderSize = 8;
constexpr std::size_t kDiskExtentSize = 24;

struct DiskExtent {
  std::uint32_t DiskNumber = 0;
  std::int64_t StartingOffset = 0;
  std::int64_t ExtentLength = 0;
};

// The count and the extents, in a buffer just large enough for them.
std::vector<std::uint8_t> PackVolumeDiskExtents(const std::vector<DiskExtent>& extents);
// The first extent; false when the buffer is shorter than the header and one extent or the count is 0.
bool UnpackFirstDiskExtent(const std::uint8_t* data, std::size_t size, DiskExtent& extent);

}  // namespace sw::disk
