// Geometry of the custom group box: where the caption goes, that the etched frame stays open exactly
// over it (also for an empty caption), the border adjustments of the extended styles, and the
// disabled look.

#include <set>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "host/group_box_geometry.h"

namespace sw::host {
namespace {

// Points a path covers, treating each LineTo as the closed segment between its ends.
std::set<std::pair<int, int>> Covered(const GbPath& path) {
  std::set<std::pair<int, int>> points;
  GbPoint at;
  for (const auto& step : path) {
    if (!step.move) {
      EXPECT_TRUE(at.x == step.to.x || at.y == step.to.y) << "frame segments are horizontal or vertical";
      int dx = (step.to.x > at.x) - (step.to.x < at.x);
      int dy = (step.to.y > at.y) - (step.to.y < at.y);
      for (GbPoint p = at;; p.x += dx, p.y += dy) {
        points.insert({p.x, p.y});
        if (p == step.to) break;
      }
    }
    at = step.to;
  }
  return points;
}

// Caption widths as a fixed-pitch font would measure them.
int MeasureWidth(const std::string& text, int charWidth) { return static_cast<int>(text.size()) * charWidth; }

TEST(GroupBoxPaint, CaptionSpanForEachAlignment) {
  const GbRect frame{0, 0, 300, 120};
  GroupBoxPaint centre = ComputeGroupBoxPaint(frame, 1, 13, 100, 13, kGroupBoxAlignCentre, 8, 0);
  EXPECT_EQ(100, centre.captionStart);
  EXPECT_EQ(200, centre.captionEnd);

  GroupBoxPaint left = ComputeGroupBoxPaint(frame, 1, 13, 100, 13, kGroupBoxAlignLeft, 8, 0);
  EXPECT_EQ(8, left.captionStart);
  EXPECT_EQ(108, left.captionEnd);

  GroupBoxPaint right = ComputeGroupBoxPaint(frame, 1, 13, 100, 13, kGroupBoxAlignRight, 8, 0);
  EXPECT_EQ(192, right.captionStart);
  EXPECT_EQ(292, right.captionEnd);
}

TEST(GroupBoxPaint, CentredCaptionStaysCentredWhenTheFrameDoesNotStartAtZero) {
  GroupBoxPaint shifted = ComputeGroupBoxPaint(GbRect{10, 0, 310, 120}, 1, 13, 100, 13, kGroupBoxAlignCentre, 8, 0);
  EXPECT_EQ(110, shifted.captionStart);
  EXPECT_EQ(210, shifted.captionEnd);
  // Equal margins on both sides.
  EXPECT_EQ(shifted.captionStart - 10, 310 - shifted.captionEnd);

  GroupBoxPaint negative = ComputeGroupBoxPaint(GbRect{-1, 0, 299, 120}, 1, 13, 100, 13, kGroupBoxAlignCentre, 8, 0);
  EXPECT_EQ(99, negative.captionStart);
}

TEST(GroupBoxPaint, LineSitsAtHalfTheInitialFontHeight) {
  EXPECT_EQ(5, ComputeGroupBoxPaint(GbRect{0, 0, 100, 50}, 1, 13, 10, 13, kGroupBoxAlignLeft, 8, 0).lineY);
  EXPECT_EQ(7, ComputeGroupBoxPaint(GbRect{0, 0, 100, 50}, 1, 16, 10, 20, kGroupBoxAlignLeft, 8, 0).lineY);
  EXPECT_EQ(11, ComputeGroupBoxPaint(GbRect{0, 4, 100, 50}, 1, 16, 10, 20, kGroupBoxAlignLeft, 8, 0).lineY);
}

TEST(GroupBoxPaint, EtchedFrameWithWideLines) {
  // w = 2 tells the one-width and two-width offsets apart.
  GroupBoxPaint paint = ComputeGroupBoxPaint(GbRect{0, 0, 200, 100}, 2, 14, 40, 14, kGroupBoxAlignLeft, 8, 0);
  ASSERT_EQ(6, paint.lineY);
  const GbPath dark = {
      {true, {8, 6}}, {false, {0, 6}}, {false, {0, 98}}, {false, {198, 98}}, {false, {198, 6}}, {false, {48, 6}},
  };
  const GbPath light = {
      {true, {8, 8}},    {false, {2, 8}},   {false, {2, 96}},   {true, {2, 100}},
      {false, {200, 100}}, {false, {200, 8}}, {true, {196, 8}}, {false, {48, 8}},
  };
  EXPECT_EQ(dark, paint.dark);
  EXPECT_EQ(light, paint.light);
}

TEST(GroupBoxPaint, FrameIsOpenExactlyOverTheCaptionAndClosedElsewhere) {
  for (std::uint32_t alignment : {kGroupBoxAlignLeft, kGroupBoxAlignRight, kGroupBoxAlignCentre}) {
    for (int w : {1, 2}) {
      const GbRect frame{0, 0, 240, 90};
      GroupBoxPaint paint = ComputeGroupBoxPaint(frame, w, 13, 60, 13, alignment, 8, 0);
      auto dark = Covered(paint.dark);
      auto light = Covered(paint.light);
      const int y = paint.lineY;
      for (int x = frame.left; x < frame.right; ++x) {
        bool inGap = x > paint.captionStart && x < paint.captionEnd;
        if (x <= frame.right - w) {
          EXPECT_EQ(!inGap, dark.count({x, y}) == 1) << "dark top, x=" << x << " alignment " << alignment;
          EXPECT_EQ(1u, dark.count({x, frame.bottom - w})) << "dark bottom, x=" << x;
        }
        if (inGap) {
          EXPECT_EQ(0u, light.count({x, y + w})) << "light line crosses the caption, x=" << x;
        }
      }
      for (int yy = y; yy <= frame.bottom - w; ++yy) {
        EXPECT_EQ(1u, dark.count({frame.left, yy}));
        EXPECT_EQ(1u, dark.count({frame.right - w, yy}));
      }
    }
  }
}

TEST(GroupBoxPaint, CaptionlessBoxStillLeavesAGapOfTwoBlanks) {
  const int blank = 3;
  const std::string text = GroupBoxCaptionText("");
  EXPECT_EQ("  ", text);
  GroupBoxPaint paint =
      ComputeGroupBoxPaint(GbRect{0, 0, 150, 60}, 1, 13, MeasureWidth(text, blank), 13, kGroupBoxAlignLeft, 8, 0);
  EXPECT_EQ(2 * blank, paint.captionEnd - paint.captionStart);
  auto dark = Covered(paint.dark);
  EXPECT_EQ(0u, dark.count({paint.captionStart + 1, paint.lineY}));
  EXPECT_EQ(1u, dark.count({paint.captionStart - 1, paint.lineY}));
  // With its blanks, the caption text is never empty, so it is drawn (as blanks) unless hidden.
  EXPECT_EQ(GroupBoxCaptionMode::Normal, SelectGroupBoxCaptionMode(text, false, true));
  EXPECT_EQ(" Wizard Option ", GroupBoxCaptionText("Wizard Option"));
}

TEST(GroupBoxPaint, CaptionRectangleAndDisabledOrigin) {
  GroupBoxPaint flat = ComputeGroupBoxPaint(GbRect{0, 0, 300, 100}, 1, 13, 100, 16, kGroupBoxAlignCentre, 8, 0);
  EXPECT_EQ((GbRect{100, 5, 200, 5}), flat.captionRect);
  EXPECT_EQ((GbPoint{100, 5 - 8}), flat.disabledOrigin);
  EXPECT_EQ(100, flat.disabledWidth);
  EXPECT_EQ(16, flat.disabledHeight);

  GroupBoxPaint raised = ComputeGroupBoxPaint(GbRect{0, 0, 300, 100}, 1, 13, 100, 16, kGroupBoxAlignLeft, 8, 6);
  EXPECT_EQ((GbRect{8, -1, 108, 5}), raised.captionRect);
}

TEST(GroupBoxAppearance, DisabledBoxUsesDisabledPairAndEmbossedCaption) {
  GroupBoxColours colours = DefaultGroupBoxColours(0x808080, 0xFFFFFF);
  EXPECT_EQ(0x808080u, colours.dark);
  EXPECT_EQ(0x808080u, colours.disabledDark);
  EXPECT_EQ(0xFFFFFFu, colours.light);
  EXPECT_EQ(0xFFFFFFu, colours.disabledLight);

  colours.disabledDark = 0x111111;
  colours.disabledLight = 0x222222;
  GroupBoxPens enabled = SelectGroupBoxPens(colours, true);
  GroupBoxPens disabled = SelectGroupBoxPens(colours, false);
  EXPECT_EQ(0x808080u, enabled.dark);
  EXPECT_EQ(0xFFFFFFu, enabled.light);
  EXPECT_EQ(0x111111u, disabled.dark);
  EXPECT_EQ(0x222222u, disabled.light);

  EXPECT_EQ(GroupBoxCaptionMode::Embossed, SelectGroupBoxCaptionMode(" Disk Management ", false, false));
  EXPECT_EQ(GroupBoxCaptionMode::Normal, SelectGroupBoxCaptionMode(" Disk Management ", false, true));
  EXPECT_EQ(GroupBoxCaptionMode::None, SelectGroupBoxCaptionMode(" Disk Management ", true, false));
  EXPECT_EQ(GroupBoxCaptionMode::None, SelectGroupBoxCaptionMode("", false, true));
}

TEST(GroupBoxLayoutTest, AlignmentFlatBitAndHiddenCaptionFromStyles) {
  const GbRect rect{0, 0, 100, 50};
  const std::uint32_t groupBox = 0x50000007;  // WS_CHILD | WS_VISIBLE | BS_GROUPBOX
  EXPECT_EQ(kGroupBoxAlignLeft, ComputeGroupBoxLayout(groupBox, 0, rect, 2, 2, 1, 1).alignment);
  EXPECT_EQ(kGroupBoxAlignLeft, ComputeGroupBoxLayout(groupBox | 0x100, 0, rect, 2, 2, 1, 1).alignment);
  EXPECT_EQ(kGroupBoxAlignRight, ComputeGroupBoxLayout(groupBox | 0x200, 0, rect, 2, 2, 1, 1).alignment);
  EXPECT_EQ(kGroupBoxAlignCentre, ComputeGroupBoxLayout(groupBox | 0x300, 0, rect, 2, 2, 1, 1).alignment);

  EXPECT_EQ(1, ComputeGroupBoxLayout(groupBox, 0, rect, 2, 2, 1, 1).frameStyle);
  EXPECT_EQ(0, ComputeGroupBoxLayout(groupBox | kButtonFlat, 0, rect, 2, 2, 1, 1).frameStyle);

  EXPECT_FALSE(ComputeGroupBoxLayout(groupBox, 0x4, rect, 2, 2, 1, 1).hideCaption);  // WS_EX_NOPARENTNOTIFY
  EXPECT_TRUE(ComputeGroupBoxLayout(groupBox, 0x40, rect, 2, 2, 1, 1).hideCaption);
  EXPECT_TRUE(ComputeGroupBoxLayout(groupBox, 0x80, rect, 2, 2, 1, 1).hideCaption);
}

TEST(GroupBoxLayoutTest, FrameRectangleInsideExtendedStyleBorders) {
  // Distinct x and y sizes catch a metric used on the wrong axis.
  const GbRect rect{0, 0, 100, 50};
  const int edgeX = 2, edgeY = 3, borderX = 1, borderY = 4;
  auto frame = [&](std::uint32_t exStyle) {
    return ComputeGroupBoxLayout(0x50000007, exStyle, rect, edgeX, edgeY, borderX, borderY).frameRect;
  };
  EXPECT_EQ(rect, frame(0));
  EXPECT_EQ((GbRect{3, 6, 96, 44}), frame(kExDialogModalFrame));
  EXPECT_EQ((GbRect{2, 4, 97, 46}), frame(kExClientEdge));
  EXPECT_EQ((GbRect{5, 10, 94, 40}), frame(kExDialogModalFrame | kExClientEdge));
  EXPECT_EQ((GbRect{1, 8, 98, 42}), frame(kExStaticEdge));
  EXPECT_EQ((GbRect{4, 14, 94, 36}), frame(kExDialogModalFrame | kExStaticEdge));
}

}  // namespace
}  // namespace sw::host
