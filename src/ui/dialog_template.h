#pragma once
// Dialog, menu and string resources as plain data, parsed from the subset of the resource-script
// language that res/seekwell.rc is written in. The headless UI builds its controls from these, so
// a test sees exactly the controls, texts, styles and positions that windres compiles.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sw::ui {

struct ControlTemplate {
  int id = -1;               // -1 for IDC_STATIC
  std::string className;     // Win32 class name: "Button", "Edit", "Static", "ComboBox",
                             // "SysListView32", "SysIPAddress32", "msctls_progress32", or custom
  std::string text;          // caption; for ICON controls the icon's resource name or number
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  uint32_t style = 0;        // full style as windres computes it (WS_CHILD | WS_VISIBLE | defaults)
  uint32_t exStyle = 0;
  std::vector<std::string> items;  // initial combo-box strings from the dialog's DLGINIT data,
                                   // in order; the Win32 dialog manager ignores DLGINIT, so the
                                   // framework adds them after creating the controls
};

struct DialogTemplate {
  int id = 0;
  std::string caption;
  std::string fontName;
  int fontPointSize = 0;
  int fontWeight = 0;
  int fontItalic = 0;
  int fontCharset = 1;               // DEFAULT_CHARSET unless the FONT statement names one
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int menuId = 0;                    // 0: no menu
  std::vector<ControlTemplate> controls;

  const ControlTemplate* FindControl(int controlId) const;
};

struct MenuItemTemplate {
  std::string text;                  // empty for a separator
  int id = 0;                        // command id; 0 for popups and separators
  bool separator = false;
  std::vector<MenuItemTemplate> children;  // non-empty for a POPUP
};

struct MenuTemplate {
  int id = 0;
  std::vector<MenuItemTemplate> items;  // top-level items (sub-menus by index)
};

// A resource windres reads from a file of its own (icon, cursor, manifest, ...): only its name.
struct FileResource {
  std::string type;                  // statement keyword ("ICON", "ANICURSOR") or the type number
  int id = 0;
  std::string fileName;
};

struct ResourceSet {
  std::map<int, DialogTemplate> dialogs;
  std::map<int, MenuTemplate> menus;
  std::map<int, std::string> strings;   // STRINGTABLE entries
  std::map<std::string, int> defines;   // #define NAME number from the identifier header
  std::vector<FileResource> files;
  int versionInfoId = 0;                // id of the VERSIONINFO resource; 0 when there is none
  std::vector<int> fileVersion;         // its FILEVERSION
  std::map<std::string, std::string> versionStrings;  // its StringFileInfo values

  const FileResource* FindFile(const std::string& type, int id) const;
};

// Parses the identifier header (#define lines) and then the script. Returns false with a message
// naming the line ("script line 12: ...") on any construct outside the subset; `out` is then
// incomplete. Style names are resolved by a table of the Win32 values; #include lines are skipped
// (the header arrives as its own text).
bool ParseResources(const std::string& headerText, const std::string& scriptText,
                    ResourceSet& out, std::string& error);

// The embedded script of this build, parsed once; aborts with the parser's message if it fails
// (a build whose own resources do not parse is broken).
const ResourceSet& BuiltInResources();

}  // namespace sw::ui
