// The Win32 constants of the resource-script subset, by name. Values are those of the Windows
// SDK headers; the parser must agree with windres bit for bit, so add names here, never guess.

#include "ui/rc_names.h"

#include <map>

namespace sw::ui {

namespace {

const std::map<std::string, int64_t>& Names() {
  static const std::map<std::string, int64_t> names = {
      // Window styles.
      {"WS_OVERLAPPED", 0x00000000}, {"WS_POPUP", 0x80000000}, {"WS_CHILD", 0x40000000},
      {"WS_CHILDWINDOW", 0x40000000}, {"WS_MINIMIZE", 0x20000000}, {"WS_ICONIC", 0x20000000},
      {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000}, {"WS_CLIPSIBLINGS", 0x04000000},
      {"WS_CLIPCHILDREN", 0x02000000}, {"WS_MAXIMIZE", 0x01000000}, {"WS_CAPTION", 0x00C00000},
      {"WS_BORDER", 0x00800000}, {"WS_DLGFRAME", 0x00400000}, {"WS_VSCROLL", 0x00200000},
      {"WS_HSCROLL", 0x00100000}, {"WS_SYSMENU", 0x00080000}, {"WS_THICKFRAME", 0x00040000},
      {"WS_SIZEBOX", 0x00040000}, {"WS_GROUP", 0x00020000}, {"WS_TABSTOP", 0x00010000},
      {"WS_MINIMIZEBOX", 0x00020000}, {"WS_MAXIMIZEBOX", 0x00010000},
      {"WS_OVERLAPPEDWINDOW", 0x00CF0000}, {"WS_POPUPWINDOW", 0x80880000},
      // Extended window styles.
      {"WS_EX_DLGMODALFRAME", 0x00000001}, {"WS_EX_NOPARENTNOTIFY", 0x00000004},
      {"WS_EX_TOPMOST", 0x00000008}, {"WS_EX_ACCEPTFILES", 0x00000010},
      {"WS_EX_TRANSPARENT", 0x00000020}, {"WS_EX_MDICHILD", 0x00000040},
      {"WS_EX_TOOLWINDOW", 0x00000080}, {"WS_EX_WINDOWEDGE", 0x00000100},
      {"WS_EX_CLIENTEDGE", 0x00000200}, {"WS_EX_CONTEXTHELP", 0x00000400},
      {"WS_EX_RIGHT", 0x00001000}, {"WS_EX_LEFT", 0x00000000}, {"WS_EX_RTLREADING", 0x00002000},
      {"WS_EX_LTRREADING", 0x00000000}, {"WS_EX_LEFTSCROLLBAR", 0x00004000},
      {"WS_EX_RIGHTSCROLLBAR", 0x00000000}, {"WS_EX_CONTROLPARENT", 0x00010000},
      {"WS_EX_STATICEDGE", 0x00020000}, {"WS_EX_APPWINDOW", 0x00040000},
      {"WS_EX_LAYERED", 0x00080000}, {"WS_EX_NOINHERITLAYOUT", 0x00100000},
      {"WS_EX_LAYOUTRTL", 0x00400000}, {"WS_EX_COMPOSITED", 0x02000000},
      {"WS_EX_NOACTIVATE", 0x08000000},
      // Dialog styles.
      {"DS_ABSALIGN", 0x0001}, {"DS_SYSMODAL", 0x0002}, {"DS_3DLOOK", 0x0004},
      {"DS_FIXEDSYS", 0x0008}, {"DS_NOFAILCREATE", 0x0010}, {"DS_LOCALEDIT", 0x0020},
      {"DS_SETFONT", 0x0040}, {"DS_MODALFRAME", 0x0080}, {"DS_NOIDLEMSG", 0x0100},
      {"DS_SETFOREGROUND", 0x0200}, {"DS_CONTROL", 0x0400}, {"DS_CENTER", 0x0800},
      {"DS_CENTERMOUSE", 0x1000}, {"DS_CONTEXTHELP", 0x2000}, {"DS_SHELLFONT", 0x0048},
      // Buttons.
      {"BS_PUSHBUTTON", 0x0}, {"BS_DEFPUSHBUTTON", 0x1}, {"BS_CHECKBOX", 0x2},
      {"BS_AUTOCHECKBOX", 0x3}, {"BS_RADIOBUTTON", 0x4}, {"BS_3STATE", 0x5},
      {"BS_AUTO3STATE", 0x6}, {"BS_GROUPBOX", 0x7}, {"BS_USERBUTTON", 0x8},
      {"BS_AUTORADIOBUTTON", 0x9}, {"BS_PUSHBOX", 0xA}, {"BS_OWNERDRAW", 0xB},
      {"BS_TYPEMASK", 0xF}, {"BS_LEFTTEXT", 0x20}, {"BS_RIGHTBUTTON", 0x20}, {"BS_TEXT", 0x0},
      {"BS_ICON", 0x40}, {"BS_BITMAP", 0x80}, {"BS_LEFT", 0x100}, {"BS_RIGHT", 0x200},
      {"BS_CENTER", 0x300}, {"BS_TOP", 0x400}, {"BS_BOTTOM", 0x800}, {"BS_VCENTER", 0xC00},
      {"BS_PUSHLIKE", 0x1000}, {"BS_MULTILINE", 0x2000}, {"BS_NOTIFY", 0x4000},
      {"BS_FLAT", 0x8000},
      // Edit controls.
      {"ES_LEFT", 0x0}, {"ES_CENTER", 0x1}, {"ES_RIGHT", 0x2}, {"ES_MULTILINE", 0x4},
      {"ES_UPPERCASE", 0x8}, {"ES_LOWERCASE", 0x10}, {"ES_PASSWORD", 0x20},
      {"ES_AUTOVSCROLL", 0x40}, {"ES_AUTOHSCROLL", 0x80}, {"ES_NOHIDESEL", 0x100},
      {"ES_OEMCONVERT", 0x400}, {"ES_READONLY", 0x800}, {"ES_WANTRETURN", 0x1000},
      {"ES_NUMBER", 0x2000},
      // Static controls.
      {"SS_LEFT", 0x0}, {"SS_CENTER", 0x1}, {"SS_RIGHT", 0x2}, {"SS_ICON", 0x3},
      {"SS_BLACKRECT", 0x4}, {"SS_GRAYRECT", 0x5}, {"SS_WHITERECT", 0x6},
      {"SS_BLACKFRAME", 0x7}, {"SS_GRAYFRAME", 0x8}, {"SS_WHITEFRAME", 0x9},
      {"SS_USERITEM", 0xA}, {"SS_SIMPLE", 0xB}, {"SS_LEFTNOWORDWRAP", 0xC},
      {"SS_OWNERDRAW", 0xD}, {"SS_BITMAP", 0xE}, {"SS_ENHMETAFILE", 0xF},
      {"SS_ETCHEDHORZ", 0x10}, {"SS_ETCHEDVERT", 0x11}, {"SS_ETCHEDFRAME", 0x12},
      {"SS_TYPEMASK", 0x1F}, {"SS_REALSIZECONTROL", 0x40}, {"SS_NOPREFIX", 0x80},
      {"SS_NOTIFY", 0x100}, {"SS_CENTERIMAGE", 0x200}, {"SS_RIGHTJUST", 0x400},
      {"SS_REALSIZEIMAGE", 0x800}, {"SS_SUNKEN", 0x1000}, {"SS_EDITCONTROL", 0x2000},
      {"SS_ENDELLIPSIS", 0x4000}, {"SS_PATHELLIPSIS", 0x8000}, {"SS_WORDELLIPSIS", 0xC000},
      // Combo boxes.
      {"CBS_SIMPLE", 0x1}, {"CBS_DROPDOWN", 0x2}, {"CBS_DROPDOWNLIST", 0x3},
      {"CBS_OWNERDRAWFIXED", 0x10}, {"CBS_OWNERDRAWVARIABLE", 0x20}, {"CBS_AUTOHSCROLL", 0x40},
      {"CBS_OEMCONVERT", 0x80}, {"CBS_SORT", 0x100}, {"CBS_HASSTRINGS", 0x200},
      {"CBS_NOINTEGRALHEIGHT", 0x400}, {"CBS_DISABLENOSCROLL", 0x800},
      {"CBS_UPPERCASE", 0x2000}, {"CBS_LOWERCASE", 0x4000},
      // List boxes.
      {"LBS_NOTIFY", 0x1}, {"LBS_SORT", 0x2}, {"LBS_NOREDRAW", 0x4}, {"LBS_MULTIPLESEL", 0x8},
      {"LBS_OWNERDRAWFIXED", 0x10}, {"LBS_OWNERDRAWVARIABLE", 0x20}, {"LBS_HASSTRINGS", 0x40},
      {"LBS_USETABSTOPS", 0x80}, {"LBS_NOINTEGRALHEIGHT", 0x100}, {"LBS_MULTICOLUMN", 0x200},
      {"LBS_WANTKEYBOARDINPUT", 0x400}, {"LBS_EXTENDEDSEL", 0x800},
      {"LBS_DISABLENOSCROLL", 0x1000}, {"LBS_NODATA", 0x2000}, {"LBS_NOSEL", 0x4000},
      {"LBS_STANDARD", 0x00A00003},
      // Scroll bars and progress bars.
      {"SBS_HORZ", 0x0}, {"SBS_VERT", 0x1}, {"PBS_SMOOTH", 0x1}, {"PBS_VERTICAL", 0x4},
      {"PBS_MARQUEE", 0x8},
      // List views.
      {"LVS_ICON", 0x0}, {"LVS_REPORT", 0x1}, {"LVS_SMALLICON", 0x2}, {"LVS_LIST", 0x3},
      {"LVS_TYPEMASK", 0x3}, {"LVS_SINGLESEL", 0x4}, {"LVS_SHOWSELALWAYS", 0x8},
      {"LVS_SORTASCENDING", 0x10}, {"LVS_SORTDESCENDING", 0x20}, {"LVS_SHAREIMAGELISTS", 0x40},
      {"LVS_NOLABELWRAP", 0x80}, {"LVS_AUTOARRANGE", 0x100}, {"LVS_EDITLABELS", 0x200},
      {"LVS_OWNERDRAWFIXED", 0x400}, {"LVS_ALIGNTOP", 0x0}, {"LVS_ALIGNLEFT", 0x800},
      {"LVS_OWNERDATA", 0x1000}, {"LVS_NOSCROLL", 0x2000}, {"LVS_NOCOLUMNHEADER", 0x4000},
      {"LVS_NOSORTHEADER", 0x8000},
      // Dialog command ids.
      {"IDOK", 1}, {"IDCANCEL", 2}, {"IDABORT", 3}, {"IDRETRY", 4}, {"IDIGNORE", 5},
      {"IDYES", 6}, {"IDNO", 7}, {"IDCLOSE", 8}, {"IDHELP", 9},
      // Languages (LANGUAGE statements only).
      {"LANG_NEUTRAL", 0x00}, {"LANG_ENGLISH", 0x09}, {"SUBLANG_NEUTRAL", 0x00},
      {"SUBLANG_DEFAULT", 0x01}, {"SUBLANG_SYS_DEFAULT", 0x02}, {"SUBLANG_ENGLISH_US", 0x01},
      // Version resource.
      {"VS_VERSION_INFO", 1}, {"VS_FF_DEBUG", 0x1}, {"VS_FFI_FILEFLAGSMASK", 0x3F},
      {"VOS_NT_WINDOWS32", 0x40004}, {"VOS__WINDOWS32", 0x4}, {"VFT_APP", 0x1},
      {"VFT2_UNKNOWN", 0x0},
  };
  return names;
}

}  // namespace

bool LookupWin32Name(const std::string& name, int64_t& value) {
  const auto& names = Names();
  auto it = names.find(name);
  if (it == names.end()) return false;
  value = it->second;
  return true;
}

}  // namespace sw::ui
