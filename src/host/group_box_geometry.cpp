// Geometry of the custom group box: layout from the styles, caption span and etched frame.

#include "host/group_box_geometry.h"

namespace sw::host {

GroupBoxLayout ComputeGroupBoxLayout(std::uint32_t style, std::uint32_t exStyle, const GbRect& windowRectInClient,
                                     int edgeX, int edgeY, int borderX, int borderY) {
  GroupBoxLayout layout;
  switch (style & kButtonAlignMask) {
    case 0x200: layout.alignment = kGroupBoxAlignRight; break;
    case 0x300: layout.alignment = kGroupBoxAlignCentre; break;
    default: layout.alignment = kGroupBoxAlignLeft; break;
  }

  // The frame sits inside whatever border the extended style draws around the window.
  GbRect r = windowRectInClient;
  auto shrink = [&r](int dx, int dy) {
    r.left += dx;
    r.right -= dx;
    r.top += dy;
    r.bottom -= dy;
  };
  if (exStyle & kExDialogModalFrame) {
    shrink(2 * edgeX, 2 * edgeY);
    r.left -= 1;
  }
  if (exStyle & kExClientEdge) {
    shrink(edgeX + 1, edgeY + 1);
    r.left -= 1;
    if (exStyle & kExDialogModalFrame) r.right += 1;
  }
  if (exStyle & kExStaticEdge) {
    shrink(2 * borderX, 2 * borderY);
    r.left -= 1;
  }
  layout.frameRect = r;

  // Flat or not, both values select the same etched drawing.
  layout.frameStyle = (style & kButtonFlat) ? 0 : 1;
  layout.hideCaption = (exStyle & kExHideCaptionBits) != 0;
  return layout;
}

std::string GroupBoxCaptionText(const std::string& caption) { return " " + caption + " "; }

GroupBoxPaint ComputeGroupBoxPaint(const GbRect& frame, int lineWidth, int initialFontHeight, int captionWidth,
                                   int captionHeight, std::uint32_t alignment, int offset, int verticalOffset) {
  const int L = frame.left;
  const int T0 = frame.top;
  const int R = frame.right;
  const int B = frame.bottom;
  const int w = lineWidth;
  const int W = captionWidth;

  GroupBoxPaint paint;
  const int y = T0 + initialFontHeight / 2 - 1;
  paint.lineY = y;

  int xs = 0;
  if (alignment == kGroupBoxAlignRight) {
    xs = R - offset - W;
  } else if (alignment == kGroupBoxAlignCentre) {
    // Centred within the frame, wherever the frame's left edge is.
    xs = L + (R - L - W) / 2;
  } else {
    xs = L + offset;
  }
  const int xe = xs + W;
  paint.captionStart = xs;
  paint.captionEnd = xe;

  paint.dark = {
      {true, {xs, y}},        {false, {L, y}},     {false, {L, B - w}},
      {false, {R - w, B - w}}, {false, {R - w, y}}, {false, {xe, y}},
  };
  paint.light = {
      {true, {xs, y + w}},        {false, {L + w, y + w}}, {false, {L + w, B - 2 * w}},
      {true, {L + w, B}},         {false, {R, B}},         {false, {R, y + w}},
      {true, {R - 2 * w, y + w}}, {false, {xe, y + w}},
  };

  paint.captionRect = GbRect{xs, y - verticalOffset, xe, y};
  paint.disabledOrigin = GbPoint{xs, y - captionHeight / 2};
  paint.disabledWidth = W;
  paint.disabledHeight = captionHeight;
  return paint;
}

GroupBoxColours DefaultGroupBoxColours(std::uint32_t buttonShadow, std::uint32_t buttonHighlight) {
  return GroupBoxColours{buttonShadow, buttonHighlight, buttonShadow, buttonHighlight};
}

GroupBoxPens SelectGroupBoxPens(const GroupBoxColours& colours, bool enabled) {
  if (enabled) return GroupBoxPens{colours.dark, colours.light};
  return GroupBoxPens{colours.disabledDark, colours.disabledLight};
}

GroupBoxCaptionMode SelectGroupBoxCaptionMode(const std::string& captionText, bool hideCaption, bool enabled) {
  if (captionText.empty() || hideCaption) return GroupBoxCaptionMode::None;
  return enabled ? GroupBoxCaptionMode::Normal : GroupBoxCaptionMode::Embossed;
}

}  // namespace sw::host
