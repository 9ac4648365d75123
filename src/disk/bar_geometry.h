#pragma once
// Geometry and texts of the partition bar (CButtonBarCtrl) as pure functions: the proportional
// segment rectangles, the hit test and the segment captions. The backends only paint them.

#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_layout.h"

namespace sw::disk {

// Segment sizes in MiB; fraction(total, i) = value i / total, 0 when total is 0 or i is out of range.
class CGantt {
 public:
  void Add(std::int32_t valueMiB) { values_.push_back(valueMiB); }
  std::size_t Count() const { return values_.size(); }
  double fraction(std::int32_t total, std::size_t i) const;

 private:
  std::vector<std::int32_t> values_;
};

struct BarRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The rectangles of the view's segments in a client area (L, T, R, B): widths proportional to the
// MiB, 4 pixels apart, the last ending at R - 1, all inside [L + 1, R - 1] (segments that do not
// fit any more shrink to nothing at the right edge rather than leave the bar).
std::vector<BarRect> LayoutBarSegments(const DiskLayoutView& view, const BarRect& client);

// The last segment whose rectangle holds the point (left/top inclusive, right/bottom exclusive),
// -1 when none does.
int HitTestBarSegments(const std::vector<BarRect>& rects, int x, int y);

// " (%s)\n %.2fGB\n %s\n" for a partition, " \n %.2fGB\n Unallocated\n" for free space, with the
// size in GiB as a single-precision value; " \n %.2fGB\n Unreadable\n" for the one segment of a disk
// whose partition table cannot be read.
std::string BarSegmentText(const BarSegment& segment, bool unreadable = false);

}  // namespace sw::disk
