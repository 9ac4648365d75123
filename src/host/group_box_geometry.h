#pragma once
// Everything computable about the custom group box: its layout from the button's styles, and the
// caption span and the two polylines of its etched frame. The control (CSxGroupBox) measures the
// caption and paints what these functions return; nothing here touches a device context.

#include <cstdint>
#include <string>
#include <vector>

namespace sw::host {

struct GbPoint {
  int x = 0;
  int y = 0;
  bool operator==(const GbPoint& o) const { return x == o.x && y == o.y; }
};

struct GbRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const GbRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// One step of a polyline: MoveTo or LineTo.
struct GbPathStep {
  bool move = false;
  GbPoint to;
  bool operator==(const GbPathStep& o) const { return move == o.move && to == o.to; }
};
using GbPath = std::vector<GbPathStep>;

// Caption positions, as the control stores them (the button style's alignment bits).
constexpr std::uint32_t kGroupBoxAlignLeft = 0x100;
constexpr std::uint32_t kGroupBoxAlignRight = 0x200;
constexpr std::uint32_t kGroupBoxAlignCentre = 0x300;

// Style bits the layout reads.
constexpr std::uint32_t kButtonAlignMask = 0x300;       // BS_LEFT | BS_RIGHT
constexpr std::uint32_t kButtonFlat = 0x8000;           // BS_FLAT
constexpr std::uint32_t kExDialogModalFrame = 0x1;      // WS_EX_DLGMODALFRAME
constexpr std::uint32_t kExClientEdge = 0x200;          // WS_EX_CLIENTEDGE
constexpr std::uint32_t kExStaticEdge = 0x20000;        // WS_EX_STATICEDGE
constexpr std::uint32_t kExHideCaptionBits = 0x40 | 0x80;

// Defaults of a new control.
constexpr int kGroupBoxLineWidth = 1;
constexpr int kGroupBoxHorizontalOffset = 8;
constexpr int kGroupBoxVerticalOffset = 0;
constexpr int kGroupBoxFrameStyle = 11;
constexpr std::uint32_t kGroupBoxCaptionColour = 0xFFFFFF;

// The caption font, for CreateFont.
struct GroupBoxFontSpec {
  const char* faceName;
  int pointSizeTenths;
  int weight;
  int outputPrecision;
  int clipPrecision;
  int quality;
  int pitchAndFamily;
};
constexpr GroupBoxFontSpec kGroupBoxFont = {"MS Sans Serif", 80, 400, 3, 2, 2, 0};

// What the control computes once, when it takes over the template's group box.
struct GroupBoxLayout {
  std::uint32_t alignment = kGroupBoxAlignLeft;
  int frameStyle = kGroupBoxFrameStyle;
  bool hideCaption = false;
  GbRect frameRect;
};

// `windowRectInClient` is the control's window rectangle in its own client coordinates;
// edge and border sizes are the system metrics (SM_CXEDGE/SM_CYEDGE, SM_CXBORDER/SM_CYBORDER).
GroupBoxLayout ComputeGroupBoxLayout(std::uint32_t style, std::uint32_t exStyle, const GbRect& windowRectInClient,
                                     int edgeX, int edgeY, int borderX, int borderY);

// The caption as drawn: one blank on each side, so an empty caption still opens a gap.
std::string GroupBoxCaptionText(const std::string& caption);

// What one paint draws, in client coordinates.
struct GroupBoxPaint {
  int lineY = 0;           // y of the top frame line
  int captionStart = 0;    // the top line is open from captionStart to captionEnd
  int captionEnd = 0;
  GbPath dark;             // outer line, dark pen
  GbPath light;            // inner line, light pen
  GbRect captionRect;      // enabled caption: single line, vertically centred, not clipped
  GbPoint disabledOrigin;  // disabled caption: embossed text at this origin...
  int disabledWidth = 0;   // ...of this size
  int disabledHeight = 0;
};

// `frame` from the layout; `lineWidth` the pen width; `initialFontHeight` the caption's height in
// the device context's initial font (it places the line); `captionWidth`/`captionHeight` the
// caption's extent in the control's font; `offset` the horizontal and `verticalOffset` the
// vertical caption offsets.
GroupBoxPaint ComputeGroupBoxPaint(const GbRect& frame, int lineWidth, int initialFontHeight, int captionWidth,
                                   int captionHeight, std::uint32_t alignment, int offset, int verticalOffset);

struct GroupBoxColours {
  std::uint32_t dark = 0;
  std::uint32_t light = 0;
  std::uint32_t disabledDark = 0;
  std::uint32_t disabledLight = 0;
};
// New controls take the button-shadow colour for both dark colours and the button-highlight colour
// for both light ones.
GroupBoxColours DefaultGroupBoxColours(std::uint32_t buttonShadow, std::uint32_t buttonHighlight);

struct GroupBoxPens {
  std::uint32_t dark = 0;
  std::uint32_t light = 0;
};
GroupBoxPens SelectGroupBoxPens(const GroupBoxColours& colours, bool enabled);

enum class GroupBoxCaptionMode {
  None,      // hidden caption, or nothing to draw
  Normal,    // DrawText in captionRect
  Embossed,  // disabled: DrawState at disabledOrigin
};
GroupBoxCaptionMode SelectGroupBoxCaptionMode(const std::string& captionText, bool hideCaption, bool enabled);

}  // namespace sw::host
