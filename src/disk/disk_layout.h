#pragma once
// The program's view of an MBR disk: partitions and free stretches sorted by position, the
// diagnostic rows of the disk manager's hidden list, and what one partition bar shows. Pure
// functions over a layout already read; disk_access.h reads it.

#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_structures.h"

namespace sw::disk {

constexpr std::int64_t kMiB = 1048576;
// The first 63 sectors never belong to a partition and are never offered as free space.
constexpr std::int64_t kReservedSectors = 63;
// A gap is shown only when longer than this: at least 8 MiB.
constexpr std::int64_t kMinimumFreeStretchExclusive = 0x7FFFFF;
constexpr std::size_t kMaxBarSegments = 16;
// Only the first four entries of any layout are ever examined or changed.
constexpr std::size_t kPrimaryEntries = 4;

struct DiskRegion {
  std::int32_t number = 0;  // partition number as Windows gives it (1, 2, ...); 0 for free space
  std::int64_t start = 0;
  std::int64_t length = 0;
  std::int64_t end = 0;     // start + length
  bool logical = false;     // a logical drive (inside an extended partition), not one of the MBR's four
};

struct BarSegment {
  std::int32_t number = 0;
  std::int32_t occupied = 0;
  std::string volumePath;   // "E:\", "*" without a letter, empty for free space
  std::int64_t length = 0;
  std::string fileSystem;   // empty for free space
};

struct DiskLayoutView {
  std::int32_t disk = 0;
  std::int32_t count = 0;
  BarSegment segments[kMaxBarSegments];
  // The disk's partition table could not be read: one segment over the whole disk, which is
  // neither free space nor a partition, and nothing may be done with it.
  bool unreadable = false;
};

// The volume of one partition as the disk inventory knows it.
struct PartitionVolume {
  std::int32_t disk = 0;
  std::int32_t partition = 0;
  std::string volumePath;
  std::string fileSystem;
};

// One row of the diagnostic list: column 0 and column 1.
struct RegionRow {
  std::string number;
  std::string text;
};

// (size / 1 MiB) * 1 MiB.
std::int64_t RoundDownToMiB(std::int64_t size);

// The product of the geometry's four values; 0 for a geometry no disk can have (a zero or negative
// value, or a product beyond 64 bits): such a disk is treated as one that cannot be read.
std::int64_t GeometrySize(const DiskGeometry& geometry);

// Stable selection sort by start: the earliest region wins ties.
void SortRegionsByStart(std::vector<DiskRegion>& regions);

// The partitions of the layout, primaries and logical drives alike (every entry with a number), and
// the free gaps longer than kMinimumFreeStretchExclusive between what the MBR holds: a leading gap
// from 63 sectors (unless one of the first four entries starts exactly there), the gaps between
// neighbours, and a trailing gap up to `roundedSize`; sorted by start. An extended container is no
// region of its own, and no gap either: the space inside it belongs to its logical drives.
std::vector<DiskRegion> ComputeDiskRegions(const DriveLayout& layout, std::uint32_t bytesPerSector,
                                           std::int64_t roundedSize);

// "%d" and "[ %s ] start=%2f, len=%2f  end=%2f" with OCCUPIED/AVAILABLE and MiB as doubles.
RegionRow FormatRegionRow(const DiskRegion& region);

// Segments for the regions (at most 16), each partition given the volume path and file system of
// the matching inventory entry of `disk`. `count` is the number of regions (capped at 16).
DiskLayoutView BuildLayoutView(std::int32_t disk, const std::vector<DiskRegion>& regions,
                               const std::vector<PartitionVolume>& volumes);
// The view of a disk whose partition table cannot be read.
DiskLayoutView UnreadableLayoutView(std::int32_t disk, std::int64_t roundedSize);

}  // namespace sw::disk
