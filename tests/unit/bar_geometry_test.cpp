// Partition bar: segment rectangles, hit testing, captions.

#include <gtest/gtest.h>

#include "disk/bar_geometry.h"

namespace sw::disk {
namespace {

constexpr BarRect kClient{0, 0, 415, 80};  // the disk manager's bar: 20..435 by 80

DiskLayoutView ViewOf(std::vector<std::int64_t> mib) {
  DiskLayoutView view;
  view.count = static_cast<std::int32_t>(mib.size());
  for (std::size_t i = 0; i < mib.size(); ++i) {
    view.segments[i].length = mib[i] * kMiB;
    view.segments[i].number = static_cast<std::int32_t>(i + 1);
    view.segments[i].occupied = 1;
  }
  return view;
}

void ExpectInsideAndOrdered(const std::vector<BarRect>& rects, const BarRect& client) {
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const BarRect& r = rects[i];
    EXPECT_GE(r.left, client.left + 1) << i;
    EXPECT_LE(r.right, client.right - 1) << i;
    EXPECT_LE(r.left, r.right) << i;
    EXPECT_EQ(r.top, client.top + 10);
    EXPECT_EQ(r.bottom, client.bottom - 10);
    if (i > 0) {
      EXPECT_GE(r.left, rects[i - 1].right) << i;
    }
  }
  if (!rects.empty()) {
    EXPECT_EQ(rects.back().right, client.right - 1);
  }
}

TEST(BarLayout, OneTwoAndThreeSegmentsFillTheBarWithGapsOfFour) {
  auto one = LayoutBarSegments(ViewOf({10240}), kClient);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].left, 1);
  EXPECT_EQ(one[0].right, 414);

  auto two = LayoutBarSegments(ViewOf({3000, 1000}), kClient);
  ASSERT_EQ(two.size(), 2u);
  ExpectInsideAndOrdered(two, kClient);
  EXPECT_EQ(two[0].right, static_cast<int>(0.75 * (415 - 42)) + 20);
  EXPECT_EQ(two[1].left, two[0].right + 4);

  auto three = LayoutBarSegments(ViewOf({100, 100, 200}), kClient);
  ASSERT_EQ(three.size(), 3u);
  ExpectInsideAndOrdered(three, kClient);
  EXPECT_EQ(three[0].left, 1);
  EXPECT_EQ(three[1].left, three[0].right + 4);
  EXPECT_EQ(three[2].left, three[1].right + 4);
  EXPECT_EQ(three[1].right - three[1].left, three[0].right - three[0].left);  // equal sizes, equal widths
}

TEST(BarLayout, SixteenSegmentsStayInsideEvenOnANarrowBar) {
  std::vector<std::int64_t> sizes(16, 8);
  sizes[3] = 100000;  // one huge segment among tiny ones
  ExpectInsideAndOrdered(LayoutBarSegments(ViewOf(sizes), kClient), kClient);
  const BarRect narrow{0, 0, 200, 60};  // R - 21c is negative here
  auto rects = LayoutBarSegments(ViewOf(sizes), narrow);
  ASSERT_EQ(rects.size(), 16u);
  ExpectInsideAndOrdered(rects, narrow);
  EXPECT_TRUE(LayoutBarSegments(ViewOf({}), kClient).empty());
}

TEST(BarHitTest, BoundariesBelongToTheRightSegmentAndTheLastWins) {
  auto rects = LayoutBarSegments(ViewOf({100, 100, 200}), kClient);
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const BarRect& r = rects[i];
    const int y = 40;
    EXPECT_EQ(HitTestBarSegments(rects, r.left, y), static_cast<int>(i));
    EXPECT_EQ(HitTestBarSegments(rects, r.right - 1, y), static_cast<int>(i));
    EXPECT_EQ(HitTestBarSegments(rects, r.right, y), -1);  // in the gap
    EXPECT_EQ(HitTestBarSegments(rects, r.left, r.top), static_cast<int>(i));
    EXPECT_EQ(HitTestBarSegments(rects, r.left, r.top - 1), -1);
    EXPECT_EQ(HitTestBarSegments(rects, r.left, r.bottom), -1);
  }
  EXPECT_EQ(HitTestBarSegments(rects, 0, 40), -1);
  std::vector<BarRect> overlapping{{0, 0, 50, 10}, {40, 0, 90, 10}};
  EXPECT_EQ(HitTestBarSegments(overlapping, 45, 5), 1);
}

TEST(BarText, PartitionAndFreeCaptions) {
  BarSegment ntfs;
  ntfs.number = 1;
  ntfs.occupied = 1;
  ntfs.volumePath = "E:\\";
  ntfs.fileSystem = "NTFS";
  ntfs.length = 10LL << 30;
  EXPECT_EQ(BarSegmentText(ntfs), " (E:\\)\n 10.00GB\n NTFS\n");
  BarSegment free;
  free.length = 1536LL << 20;
  EXPECT_EQ(BarSegmentText(free), " \n 1.50GB\n Unallocated\n");
}

}  // namespace
}  // namespace sw::disk
