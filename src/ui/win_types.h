#pragma once
// Plain types and message/style numbers of the window system, with the values Windows gives them, so
// that dialogs and the headless backend speak Windows without including its headers. Names carry a k
// prefix because windows.h defines the bare names as macros.

#include <cstdint>

namespace sw::ui {

using Wparam = std::uintptr_t;
using Lparam = std::intptr_t;
using Lresult = std::intptr_t;
using ModalResult = std::intptr_t;
using Colour = std::uint32_t;          // 0x00BBGGRR, as COLORREF
using NativeHandle = void*;            // HWND, HBRUSH, HICON, HCURSOR, HMENU behind the backends

constexpr Colour Rgb(unsigned r, unsigned g, unsigned b) {
  return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

constexpr unsigned LoWord(Wparam v) { return static_cast<unsigned>(v & 0xFFFF); }
constexpr unsigned HiWord(Wparam v) { return static_cast<unsigned>((v >> 16) & 0xFFFF); }
constexpr Wparam MakeWparam(unsigned lo, unsigned hi) {
  return static_cast<Wparam>((lo & 0xFFFF) | ((hi & 0xFFFFu) << 16));
}

// Window messages.
constexpr unsigned kWmSize = 0x0005;
constexpr unsigned kWmPaint = 0x000F;
constexpr unsigned kWmClose = 0x0010;
constexpr unsigned kWmQueryDragIcon = 0x0037;
constexpr unsigned kWmIconEraseBkgnd = 0x0027;
constexpr unsigned kWmNotify = 0x004E;
constexpr unsigned kWmInitDialog = 0x0110;
constexpr unsigned kWmCommand = 0x0111;
constexpr unsigned kWmSysCommand = 0x0112;
constexpr unsigned kWmTimer = 0x0113;
constexpr unsigned kWmCtlColor = 0x0019;  // stands for the whole WM_CTLCOLOR* family
constexpr unsigned kWmUser = 0x0400;
constexpr unsigned kWmEraseBkgnd = 0x0014;
constexpr unsigned kWmVscroll = 0x0115;
constexpr unsigned kWmMouseMove = 0x0200;
constexpr unsigned kWmLButtonDown = 0x0201;
constexpr unsigned kWmLButtonUp = 0x0202;
constexpr unsigned kWmRButtonDown = 0x0204;
constexpr unsigned kWmRButtonUp = 0x0205;
constexpr unsigned kWmMouseWheel = 0x020A;
constexpr unsigned kWmMouseHover = 0x02A1;
constexpr unsigned kWmMouseLeave = 0x02A3;

// Mouse message parameters: client coordinates as signed 16-bit halves of lParam.
constexpr int PointX(Lparam v) { return static_cast<short>(v & 0xFFFF); }
constexpr int PointY(Lparam v) { return static_cast<short>((v >> 16) & 0xFFFF); }
constexpr Lparam MakePoint(int x, int y) {
  return static_cast<Lparam>((static_cast<unsigned>(x) & 0xFFFF) | ((static_cast<unsigned>(y) & 0xFFFF) << 16));
}
constexpr int WheelDelta(Wparam v) { return static_cast<short>((v >> 16) & 0xFFFF); }

// WM_VSCROLL request codes (low word of wParam; the high word holds the thumb position).
constexpr unsigned kSbLineUp = 0;
constexpr unsigned kSbLineDown = 1;
constexpr unsigned kSbPageUp = 2;
constexpr unsigned kSbPageDown = 3;
constexpr unsigned kSbThumbPosition = 4;
constexpr unsigned kSbThumbTrack = 5;

// Custom draw (NM_CUSTOMDRAW) stages and answers.
constexpr std::uint32_t kCddsPrePaint = 0x1;
constexpr std::uint32_t kCddsItem = 0x10000;
constexpr std::uint32_t kCddsSubItem = 0x20000;
constexpr std::uint32_t kCddsItemPrePaint = kCddsItem | kCddsPrePaint;
constexpr Lresult kCdrfDoDefault = 0x0;
constexpr Lresult kCdrfNewFont = 0x2;
constexpr Lresult kCdrfNotifyItemDraw = 0x20;
constexpr Lresult kCdrfNotifySubItemDraw = 0x20;

// Notifications.
constexpr unsigned kBnClicked = 0;
constexpr unsigned kCbnSelChange = 1;
constexpr unsigned kEnChange = 0x0300;
constexpr unsigned kNmClick = static_cast<unsigned>(-2);
constexpr unsigned kNmRClick = static_cast<unsigned>(-5);
constexpr unsigned kLvnItemChanged = static_cast<unsigned>(-101);
constexpr unsigned kNmCustomDraw = static_cast<unsigned>(-12);

// Dialog results and command ids.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
// DoModal's result when the dialog could not be created (DialogBoxParam's -1).
constexpr std::intptr_t kDialogFailed = -1;

// Message box flags.
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbOkCancel = 0x1;
constexpr unsigned kMbYesNo = 0x4;
constexpr unsigned kMbIconStop = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;

// ShowWindow commands and size types.
constexpr int kSwHide = 0;
constexpr int kSwShowNormal = 1;
constexpr int kSwShowMinimized = 2;
constexpr int kSwShow = 5;
constexpr int kSwMinimize = 6;
constexpr int kSwRestore = 9;
constexpr unsigned kSizeRestored = 0;
constexpr unsigned kSizeMinimized = 1;

// System commands.
constexpr unsigned kScClose = 0xF060;

// Menu flags.
constexpr unsigned kMfString = 0x0;
constexpr unsigned kMfSeparator = 0x800;

// List view.
constexpr unsigned kLvcfmtLeft = 0x0;
constexpr int kLvniSelected = 0x0002;
constexpr int kLvniAll = 0x0000;
constexpr unsigned kLvisFocused = 0x0001;
constexpr unsigned kLvisSelected = 0x0002;
constexpr unsigned kLvsExGridLines = 0x0001;
constexpr unsigned kLvsExFullRowSelect = 0x0020;

// Window styles.
constexpr std::uint32_t kWsDisabled = 0x08000000;
constexpr std::uint32_t kWsVisible = 0x10000000;
constexpr std::uint32_t kWsVscroll = 0x00200000;
constexpr std::uint32_t kWsChild = 0x40000000;
constexpr std::uint32_t kEsPassword = 0x0020;
constexpr std::uint32_t kCbsSort = 0x0100;

// Which control asks for its colours in WM_CTLCOLOR*.
enum class CtlColorKind { MsgBox, Edit, ListBox, Button, Dialog, ScrollBar, Static };

// Background mode for text.
constexpr int kTransparent = 1;
constexpr int kOpaque = 2;

}  // namespace sw::ui
