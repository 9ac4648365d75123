// Partition bar geometry and captions.

#include "disk/bar_geometry.h"

#include <algorithm>
#include <cstdio>

namespace sw::disk {

double CGantt::fraction(std::int32_t total, std::size_t i) const {
  if (total == 0 || i >= values_.size()) return 0.0;
  return static_cast<double>(values_[i]) / static_cast<double>(total);
}

std::vector<BarRect> LayoutBarSegments(const DiskLayoutView& view, const BarRect& client) {
  const int c = std::clamp(view.count, 0, static_cast<int>(kMaxBarSegments));
  std::vector<BarRect> rects;
  CGantt gantt;
  std::int32_t total = 0;
  for (int j = 0; j < c; ++j) {
    // Bounded so that sixteen of them cannot overflow the 32-bit total.
    const std::int64_t lengthMiB = std::clamp<std::int64_t>(view.segments[j].length / kMiB, 0, 0x7FFFFFF);
    auto mib = static_cast<std::int32_t>(lengthMiB);
    gantt.Add(mib);
    total += mib;
  }
  const int L = client.left, T = client.top, R = client.right, B = client.bottom;
  for (int j = 0; j < c; ++j) {
    double x = gantt.fraction(total, static_cast<std::size_t>(j));
    BarRect r;
    r.left = L + c - 2;
    r.right = static_cast<int>(x * (R - 21 * c)) + 20;
    if (j > 0) {
      const int prevRight = rects.back().right;
      r.right += (prevRight + 4) - r.left;
      r.left = prevRight + 4;
    }
    r.right = std::min(r.right, R - 1);
    r.left = std::max(r.left, L + 1);
    if (j == c - 1) r.right = R - 1;
    // Many segments on a narrow bar run past its end; keep them inside, empty, at the edge.
    r.left = std::min(r.left, R - 1);
    r.right = std::max(r.right, r.left);
    r.top = T + 10;
    r.bottom = B - 10;
    rects.push_back(r);
  }
  return rects;
}

int HitTestBarSegments(const std::vector<BarRect>& rects, int x, int y) {
  int hit = -1;
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const BarRect& r = rects[i];
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) hit = static_cast<int>(i);
  }
  return hit;
}

std::string BarSegmentText(const BarSegment& segment, bool unreadable) {
  const float gib = static_cast<float>(segment.length) * (1.0f / 1073741824.0f);
  char text[320];
  if (segment.occupied != 0) {
    std::snprintf(text, sizeof text, " (%s)\n %.2fGB\n %s\n", segment.volumePath.c_str(), static_cast<double>(gib),
                  segment.fileSystem.c_str());
  } else {
    std::snprintf(text, sizeof text, unreadable ? " \n %.2fGB\n Unreadable\n" : " \n %.2fGB\n Unallocated\n",
                  static_cast<double>(gib));
  }
  return text;
}

}  // namespace sw::disk
