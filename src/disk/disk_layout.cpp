// Regions of an MBR disk, their diagnostic rows and the bar view.

#include "disk/disk_layout.h"

#include <algorithm>
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

std::int64_t GeometrySize(const DiskGeometry& g) {
  std::int64_t size = g.Cylinders;
  if (size <= 0 || g.BytesPerSector == 0 || g.SectorsPerTrack == 0 || g.TracksPerCylinder == 0 ||
      __builtin_mul_overflow(size, static_cast<std::int64_t>(g.TracksPerCylinder), &size) ||
      __builtin_mul_overflow(size, static_cast<std::int64_t>(g.SectorsPerTrack), &size) ||
      __builtin_mul_overflow(size, static_cast<std::int64_t>(g.BytesPerSector), &size)) {
    return 0;
  }
  return size;
}


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
  // Numbers a driver could report beyond every real layout are no partition of ours.
  constexpr std::uint32_t kLargestNumber = 255;
  std::vector<DiskRegion> regions;
  for (std::size_t i = 0; i < layout.entries.size(); ++i) {
    const PartitionEntry& e = layout.entries[i];
    if (e.PartitionNumber >= 1 && e.PartitionNumber <= kLargestNumber && ValidSpan(e)) {
      regions.push_back(DiskRegion{static_cast<std::int32_t>(e.PartitionNumber), e.StartingOffset, e.PartitionLength,
                                   e.StartingOffset + e.PartitionLength, i >= kPrimaryEntries});
    }
  }
  SortRegionsByStart(regions);
  // The gaps are measured between what the MBR's own four entries hold: its primaries and its
  // extended containers, whose space holds logical drives and is never offered as free.
  const std::size_t examined = layout.entries.size() < kPrimaryEntries ? layout.entries.size() : kPrimaryEntries;
  std::vector<DiskRegion> spans;
  for (std::size_t i = 0; i < examined; ++i) {
    const PartitionEntry& e = layout.entries[i];
    const bool container = e.PartitionType == kPartitionExtended || e.PartitionType == kPartitionXint13Extended;
    if (!ValidSpan(e) || e.PartitionLength == 0 || (e.PartitionNumber == 0 && !container)) continue;
    spans.push_back(DiskRegion{0, e.StartingOffset, e.PartitionLength, e.StartingOffset + e.PartitionLength});
  }
  SortRegionsByStart(spans);

  auto addFree = [&](std::int64_t start, std::int64_t end) {
    if (end - start > kMinimumFreeStretchExclusive) regions.push_back(DiskRegion{0, start, end - start, end});
  };

  const std::int64_t reservedEnd = kReservedSectors * static_cast<std::int64_t>(bytesPerSector);
  bool startsAtReserve = false;
  for (std::size_t i = 0; i < examined; ++i) startsAtReserve = startsAtReserve || layout.entries[i].StartingOffset == reservedEnd;
  if (!startsAtReserve) addFree(reservedEnd, spans.empty() ? roundedSize : spans.front().start);
  // Spans that overlap (a damaged table) leave no gap between them.
  std::int64_t reached = spans.empty() ? 0 : spans.front().end;
  for (std::size_t i = 1; i < spans.size(); ++i) {
    addFree(reached, spans[i].start);
    reached = std::max(reached, spans[i].end);
  }
  if (!spans.empty()) addFree(reached, roundedSize);

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

DiskLayoutView UnreadableLayoutView(std::int32_t disk, std::int64_t roundedSize) {
  DiskLayoutView view;
  view.disk = disk;
  view.unreadable = true;
  view.count = 1;
  view.segments[0].length = roundedSize;
  return view;
}

}  // namespace sw::disk
