#pragma once
// How the simulated machine's partition manager reads and writes a disk's partition tables: the
// bytes of the MBR, the chain of extended boot records behind an extended partition, and the GPT
// header and entries. The layout is what IOCTL_DISK_GET_DRIVE_LAYOUT(_EX) reports and
// IOCTL_DISK_SET_DRIVE_LAYOUT(_EX) takes:
//   - MBR: four entries for the MBR in slot order, then four for every EBR of the chain (its logical
//     drive and its link to the next EBR, in the EBR's own slot order), so the count is always a
//     multiple of four; unused entries have type 0. Offsets are absolute bytes.
//   - GPT: one entry per used entry of the GPT array.
//   - RAW: no entries.
// Numbers run 1, 2, 3... over the real partitions in layout order (primaries, then the logical
// drives); unused entries and extended containers have number 0.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sw::winsim {

struct LayoutEntry {
  std::uint32_t style = 0;  // kStyleMbr or kStyleGpt
  std::int64_t start = 0;   // bytes
  std::int64_t length = 0;  // bytes
  std::uint32_t number = 0;
  bool rewrite = false;
  std::uint8_t type = 0;    // MBR type; 0 unused
  bool boot = false;
  bool recognized = false;
  std::uint32_t hiddenSectors = 0;
};

struct DiskLayout {
  std::uint32_t style = 2;  // kStyleRaw
  std::uint32_t signature = 0;
  std::vector<LayoutEntry> entries;
};

// Reads `size` bytes from `offset` into `out`; false when the disk cannot be read.
using ByteReader = std::function<bool(std::uint64_t offset, std::uint8_t* out, std::size_t size)>;
// Writes `size` bytes at `offset`; false when the disk cannot be written.
using ByteWriter = std::function<bool(std::uint64_t offset, const std::uint8_t* data, std::size_t size)>;

// The most EBRs followed: a chain longer than this (or one that loops, or leaves the extended
// partition or the disk) ends where it went wrong, with what was read so far.
constexpr std::size_t kMaxExtendedBootRecords = 64;

// The layout the partition manager reports for these bytes. False when sector 0 cannot be read.
bool ReadDiskLayout(const ByteReader& read, std::uint32_t sectorSize, std::uint64_t diskSize, DiskLayout& out);

// Writes an MBR layout (groups of four: the MBR, then one EBR per group) onto the disk. Only the
// table bytes change (entries, signature and the 0x55AA marker of each written sector); a sector
// whose entries are unchanged is not written at all. An extended container in a group without a
// following group gets an empty EBR, which ends the chain there. Returns 0 or a Windows error:
// kErrorInvalidParameter for a count that is no multiple of four, an entry that is not a whole
// number of sectors, lies outside the disk, or needs sector numbers beyond 32 bits.
std::uint32_t WriteDiskLayout(const ByteReader& read, const ByteWriter& write, std::uint32_t sectorSize,
                              std::uint64_t diskSize, const DiskLayout& layout);

// IOCTL_DISK_CREATE_DISK for MBR: an empty table with `signature` in sector 0 (the boot code
// area is cleared).
std::uint32_t CreateMbrDisk(const ByteWriter& write, std::uint32_t sectorSize, std::uint32_t signature);

// The partition types Windows mounts a file system on (IsRecognizedPartition).
bool IsRecognizedType(std::uint8_t type);

}  // namespace sw::winsim
