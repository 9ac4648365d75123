// Any bytes a disk driver may hand back: layout buffers of both call sets and the geometry, on
// through the region computation, the diagnostic rows and the bar.

#include <cstddef>
#include <cstdint>

#include "disk/bar_geometry.h"
#include "disk/disk_layout.h"
#include "disk/disk_structures.h"

using namespace sw::disk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  DiskGeometry geometry;
  UnpackDiskGeometry(data, size, geometry);
  for (bool extended : {false, true}) {
    DriveLayout layout;
    if (extended) {
      UnpackDriveLayoutEx(data, size, layout);
    } else {
      UnpackDriveLayout(data, size, layout);
    }
    // The geometry as the driver reported it, unmasked: an impossible one reads as size 0.
    const std::int64_t rounded = RoundDownToMiB(GeometrySize(geometry));
    auto regions = ComputeDiskRegions(layout, geometry.BytesPerSector, rounded);
    for (const auto& r : regions) FormatRegionRow(r);
    DiskLayoutView view = BuildLayoutView(1, regions, {{1, 1, "E:\\", "NTFS"}});
    for (const auto& rect : LayoutBarSegments(view, BarRect{0, 0, 415, 80})) (void)rect;
    for (int i = 0; i < view.count; ++i) BarSegmentText(view.segments[i]);
  }
  return 0;
}
