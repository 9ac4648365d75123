#pragma once
// Raw disk access over the disk port: the device path, size and geometry queries, the open for
// writing, the layout read and write with the call set the Windows version asks for, and the
// region read behind the disk manager's refresh. No handle outlives a call except the one
// OpenDiskForWrite returns to its caller.

#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_io.h"
#include "disk/disk_layout.h"
#include "disk/disk_structures.h"

namespace sw::disk {

// Legacy layout calls on Windows 2000 and earlier NT; extended calls otherwise, including when the
// version query fails. Decided afresh on every call: nothing is cached.
enum class LayoutCalls { Legacy = 0, Extended = 1 };
LayoutCalls ChooseLayoutCalls();

// "\\.\PhysicalDrive%d".
std::string PhysicalDrivePath(std::int32_t disk);

// Geometry query with a query-only open; the product of its four values, 0 on any failure.
std::int64_t ReadDiskSize(std::int32_t disk);
// The product of the four values; 0 when it does not fit 63 bits or the cylinder count is negative.
std::int64_t GeometrySize(const DiskGeometry& geometry);
// The same query returning the whole geometry; `geometry` is untouched on failure.
bool ReadGeometry(const std::string& path, DiskGeometry& geometry);
// The geometry through an open handle.
bool QueryGeometry(io::DiskHandle handle, DiskGeometry& geometry);

// Read-write open; an invalid handle means the disk cannot be changed now.
io::DiskHandle OpenDiskForWrite(std::int32_t disk);

// The chosen GET call into a zeroed buffer of 552 (legacy) or 768 (extended) bytes; the call's
// result is not checked, so a failed read is an empty MBR table. `callSucceeded` tells callers
// that care.
DriveLayout ReadDriveLayout(io::DiskHandle handle, LayoutCalls calls, bool* callSucceeded = nullptr);
// The extended GET call into `bufferSize` bytes, result likewise not checked.
DriveLayout ReadDriveLayoutEx(io::DiskHandle handle, std::size_t bufferSize, bool* callSucceeded = nullptr);
// The chosen SET call with 552 or 768 bytes; for the extended calls kIoctlDiskUpdateProperties
// follows. `flush` puts FlushFileBuffers between the two, as the table writes do.
bool WriteDriveLayout(io::DiskHandle handle, LayoutCalls calls, const DriveLayout& layout, bool flush);

// What the disk manager's refresh reads from one disk.
struct DiskLayoutRead {
  bool opened = false;               // the disk opened and its geometry was read
  DiskGeometry geometry;
  std::int64_t roundedSize = 0;      // ReadDiskSize rounded down to whole MiB
  std::vector<DiskRegion> regions;   // empty when not opened
};
DiskLayoutRead ReadDiskRegions(std::int32_t disk);

// The refresh as a whole, short of the dialog: the regions, the rows of the diagnostic list and
// the bar view (its segments named from `volumes`, the freshly read disk inventory).
struct DiskLayoutRefresh {
  DiskLayoutRead read;
  std::vector<RegionRow> rows;
  DiskLayoutView view;
};
DiskLayoutRefresh RefreshDiskLayoutData(std::int32_t disk, const std::vector<PartitionVolume>& volumes);

}  // namespace sw::disk
