// Signatures of what a disk without a partition table may hold (disk_contents.h).

#include "disk/disk_contents.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "disk/disk_access.h"
#include "disk/disk_io.h"

namespace sw::disk {

namespace {

bool Has(const std::uint8_t* data, std::size_t size, std::size_t at, const char* text) {
  const std::size_t n = std::strlen(text);
  return at + n <= size && std::memcmp(data + at, text, n) == 0;
}

std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string Name(const std::uint8_t* d, std::size_t n) {
  if (Has(d, n, 3, "NTFS    ")) return "an NTFS file system";
  if (Has(d, n, 82, "FAT32   ") || Has(d, n, 54, "FAT12   ") || Has(d, n, 54, "FAT16   ")) return "a FAT file system";
  constexpr std::size_t kExtSuper = 1024;
  if (n >= kExtSuper + 0x64 && d[kExtSuper + 0x38] == 0x53 && d[kExtSuper + 0x39] == 0xEF) {
    const std::uint32_t compat = Get32(d + kExtSuper + 0x5C), incompat = Get32(d + kExtSuper + 0x60);
    if (incompat & 0x40) return "an ext4 file system";  // extents
    return (compat & 0x4) ? "an ext3 file system" : "an ext2 file system";  // a journal or none
  }
  if (Has(d, n, 0, "XFSB")) return "an XFS file system";
  for (std::size_t sector = 0; sector < 4; ++sector) {
    if (Has(d, n, sector * 512, "LABELONE") && Has(d, n, sector * 512 + 24, "LVM2 001")) return "an LVM physical volume";
  }
  if (Has(d, n, 4096 - 10, "SWAPSPACE2") || Has(d, n, 4096 - 10, "SWAP-SPACE")) return "a Linux swap area";
  return std::string();
}

bool AllZero(const std::uint8_t* d, std::size_t n) {
  return std::all_of(d, d + n, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

std::string DescribeContents(const std::uint8_t* first, std::size_t firstSize, const std::uint8_t* last,
                             std::size_t lastSize) {
  if (AllZero(first, firstSize) && AllZero(last, lastSize)) return std::string();
  const std::string name = Name(first, firstSize);
  return name.empty() ? "data of an unknown kind" : name;
}

RawContents ReadRawContents(std::int32_t disk, std::int64_t size, std::uint32_t bytesPerSector) {
  RawContents contents;
  if (size <= 0 || bytesPerSector == 0) return contents;
  const auto span = static_cast<std::uint64_t>(std::min<std::int64_t>(size, kContentProbeBytes));
  const std::uint64_t probe = span / bytesPerSector * bytesPerSector;
  const std::uint64_t lastStart = (static_cast<std::uint64_t>(size) - probe) / bytesPerSector * bytesPerSector;
  std::vector<std::uint8_t> first(static_cast<std::size_t>(probe)), last(static_cast<std::size_t>(probe));
  io::DiskHandle handle = io::OpenDisk(PhysicalDrivePath(disk), io::DiskAccess::Read);
  if (!handle.IsValid()) return contents;
  contents.read = probe != 0 && io::ReadDisk(handle, 0, first.data(), static_cast<std::uint32_t>(probe)) &&
                  io::ReadDisk(handle, lastStart, last.data(), static_cast<std::uint32_t>(probe));
  io::CloseDisk(handle);
  if (contents.read) contents.description = DescribeContents(first.data(), first.size(), last.data(), last.size());
  return contents;
}

}  // namespace sw::disk
