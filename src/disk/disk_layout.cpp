// Regions of an MBR disk, their diagnostic rows and the bar view.

#include "disk/disk_layout.h"

#include <cstdio>
#include <limits>
#include <utility>

namespace sw::disk {

namespace {

// Offsets a driver could never report (negative, or an end past 2^63) are left out rather than
// overflow the arithmetic below.
bool ValidSpan(const PartitionEntry& e) {
  return e.StartingOffset >= 0 && e.PartitionLength >= 0 &&
         e.StartingOffset <= std::numeric_limits<std::int64_t>::max() - e.PartitionLength;
}

}  // namespace

std::int64_t RoundDownToMiB(std::int64_t size) { return (size / kMiB) * kMiB; }

void SortRegionsByStart(std::vector<DiskRegion>& regions) {
  for (std::size_t i = 0; i < regions.size(); ++i) {
    std::size_t smallest = i;
    for (std::size_t j = i + 1; j < regions.size(); ++j) {
      if (regions[j].start < regions[smallest].start) smallest = j;
    }
    if (smallest != i) std::swap(regions[i], regions[smallest]);
  }
}

std::vector<DiskRegion> ComputeDiskRegions(const DriveLayout& layout, std::uint32_t bytesPerSector,
                                           std::int64_t roundedSize) {
  std::vector<DiskRegion> regions;
  const std::size_t examined = layout.entries.size() < kPrimaryEntries ? layout.entries.size() : kPrimaryEntries;
  for (std::size_t i = 0; i < examined; ++i) {
    const PartitionEntry& e = layout.entries[i];
    if (e.PartitionNumber >= 1 && e.PartitionNumber <= 15 && ValidSpan(e)) {
      DiskRegion r;
      r.number = static_cast<std::int32_t>(e.PartitionNumber);
      r.start = e.StartingOffset;
      r.length = e.PartitionLength;
      r.end = r.start + r.length;
      regions.push_back(r);
    }
  }
  SortRegionsByStart(regions);
  // Extended containers (number 0) are not shown, but their space holds logical drives: the gaps
  // are measured around them too, so that it is never offered as free.
  std::vector<DiskRegion> partitions = regions;
  for (std::size_t i = 0; i < examined; ++i) {
    const PartitionEntry& e = layout.entries[i];
    if (e.PartitionNumber == 0 && ValidSpan(e) && (e.PartitionType == kPartitionExtended || e.PartitionType == kPartitionXint13Extended)) {
      partitions.push_back(DiskRegion{0, e.StartingOffset, e.PartitionLength, e.StartingOffset + e.PartitionLength});
    }
  }
  SortRegionsByStart(partitions);

  auto addFree = [&](std::int64_t start, std::int64_t end) {
    if (end - start > kMinimumFreeStretchExclusive) regions.push_back(DiskRegion{0, start, end - start, end});
  };

  const std::int64_t reservedEnd = kReservedSectors * static_cast<std::int64_t>(bytesPerSector);
  bool startsAtReserve = false;
  for (std::size_t i = 0; i < examined; ++i) startsAtReserve = startsAtReserve || layout.entries[i].StartingOffset == reservedEnd;
  if (!startsAtReserve) addFree(reservedEnd, partitions.empty() ? roundedSize : partitions.front().start);
  for (std::size_t i = 0; i + 1 < partitions.size(); ++i) addFree(partitions[i].end, partitions[i + 1].start);
  if (!partitions.empty()) addFree(partitions.back().end, roundedSize);

  SortRegionsByStart(regions);
  return regions;
}

RegionRow FormatRegionRow(const DiskRegion& region) {
  constexpr double kToMiB = 1.0 / 1048576.0;
  char number[16];
  std::snprintf(number, sizeof number, "%d", region.number);
  char text[160];
  std::snprintf(text, sizeof text, "[ %s ] start=%2f, len=%2f  end=%2f", region.number != 0 ? "OCCUPIED" : "AVAILABLE",
                static_cast<double>(region.start) * kToMiB, static_cast<double>(region.length) * kToMiB,
                static_cast<double>(region.end) * kToMiB);
  return RegionRow{number, text};
}

DiskLayoutView BuildLayoutView(std::int32_t disk, const std::vector<DiskRegion>& regions,
                               const std::vector<PartitionVolume>& volumes) {
  DiskLayoutView view;
  view.disk = disk;
  std::size_t n = regions.size() < kMaxBarSegments ? regions.size() : kMaxBarSegments;
  for (std::size_t i = 0; i < n; ++i) {
    BarSegment& s = view.segments[i];
    s.number = regions[i].number;
    s.occupied = regions[i].number != 0 ? 1 : 0;
    s.length = regions[i].length;
    for (const auto& v : volumes) {
      if (v.disk == disk && v.partition == regions[i].number) {
        s.volumePath = v.volumePath;
        s.fileSystem = v.fileSystem;
        break;
      }
    }
  }
  view.count = static_cast<std::int32_t>(n);
  return view;
}

}  // namespace sw::disk
