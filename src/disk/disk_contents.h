#pragma once
// What a disk without a partition table holds: a disk written whole by another system (a file
// system or volume made on the raw device) reads as RAW to Windows, yet it is not empty. The first
// and last mebibyte are read; any byte that is not zero means data, named by the signatures of the
// kinds we know (a small table of magic numbers).

#include <cstddef>
#include <cstdint>
#include <string>

namespace sw::disk {

constexpr std::size_t kContentProbeBytes = 1 << 20;

// "" when both stretches are all zeros; otherwise what they hold: "an NTFS file system",
// "a FAT file system", "an ext2 / ext3 / ext4 file system", "an XFS file system", "an LVM physical
// volume", "a Linux swap area", or "data of an unknown kind".
std::string DescribeContents(const std::uint8_t* first, std::size_t firstSize, const std::uint8_t* last,
                             std::size_t lastSize);

struct RawContents {
  bool read = false;         // both stretches could be read
  std::string description;   // DescribeContents of them
};
// Reads the first and last kContentProbeBytes of disk `disk` (of `size` bytes) through the disk
// port, whole sectors of `bytesPerSector`.
RawContents ReadRawContents(std::int32_t disk, std::int64_t size, std::uint32_t bytesPerSector);

}  // namespace sw::disk
