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

// The same query returning the whole geometry; `geometry` is untouched on failure.
bool ReadGeometry(const std::string& path, DiskGeometry& geometry);
// The geometry through an open handle.
bool QueryGeometry(io::DiskHandle handle, DiskGeometry& geometry);

// Read-write open; an invalid handle means the disk cannot be changed now.
io::DiskHandle OpenDiskForWrite(std::int32_t disk);

// A layout as Windows answered the GET call.
struct LayoutRead {
  bool ok = false;           // the call succeeded; otherwise `layout` is empty and means nothing
  std::uint32_t error = 0;   // GetLastError() of the failed call
  DriveLayout layout;        // every entry Windows reported: the MBR's four, then four per EBR
  bool IsMbr() const { return ok && layout.PartitionStyle == kPartitionStyleMbr; }
};
// The largest buffer a layout read grows to (more entries than any disk has).
constexpr std::size_t kMaxLayoutBufferSize = 1 << 20;

// The chosen GET call, first into the buffer of 552 (legacy) or 768 (extended) bytes. Windows
// reports four entries for the MBR and four more for every extended boot record, and refuses a
// buffer too small for all of them (ERROR_INSUFFICIENT_BUFFER): the call is then made again with
// the buffer doubled until the whole layout fits. A read that still fails is "cannot read", never
// an empty table.
LayoutRead ReadLayout(io::DiskHandle handle, LayoutCalls calls);
// The extended GET call, starting with `bufferSize` bytes, likewise.
LayoutRead ReadLayoutEx(io::DiskHandle handle, std::size_t bufferSize);
// The chosen SET call with 552 or 768 bytes (or as many as the layout's entries need, when it has
// more than those hold); for the extended calls kIoctlDiskUpdateProperties follows. `flush` puts
// FlushFileBuffers between the two, as the table writes do. False when Windows refused the write.
bool WriteDriveLayout(io::DiskHandle handle, LayoutCalls calls, const DriveLayout& layout, bool flush);

// What the disk manager's refresh reads from one disk.
struct DiskLayoutRead {
  bool opened = false;               // the disk opened and its geometry was read
  bool unreadable = false;           // opened, but its partition table could not be read
  DiskGeometry geometry;
  std::int64_t roundedSize = 0;      // ReadDiskSize rounded down to whole MiB
  LayoutRead read;                   // the layout the regions come from
  std::vector<DiskRegion> regions;   // empty when not opened or unreadable
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
