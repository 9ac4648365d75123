// The real res/seekwell.rc as the program sees it: the dialogs, controls, menu and strings the
// dialog code relies on, the layouts of the dialogs we designed, and (with scripts/check-resources)
// a line-by-line comparison with what windres compiled.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "base/ascii_case.h"
#include "resource.h"
#include "ui/dialog_template.h"
#include "ui/rc_names.h"

namespace sw::ui {
namespace {

// Style bits checked below.
constexpr uint32_t kLvsReport = 0x1, kLvsSingleSel = 0x4, kLvsShowSelAlways = 0x8, kLvsTypeMask = 0x3;
constexpr uint32_t kCbsDropDownList = 0x3, kCbsTypeMask = 0x3, kCbsSort = 0x100;
constexpr uint32_t kBsTypeMask = 0xF, kBsDefPushButton = 0x1, kBsAutoCheckBox = 0x3, kBsGroupBox = 0x7;
constexpr uint32_t kBsAlignMask = 0x300, kBsCenter = 0x300;
constexpr uint32_t kEsPassword = 0x20, kEsReadOnly = 0x800;
constexpr uint32_t kDsCenter = 0x800, kWsMinimizeBox = 0x20000, kWsExAppWindow = 0x40000;

const DialogTemplate& Dlg(int id) {
  const auto& dialogs = BuiltInResources().dialogs;
  auto it = dialogs.find(id);
  if (it == dialogs.end()) {
    static const DialogTemplate none;
    ADD_FAILURE() << "no dialog " << id;
    return none;
  }
  return it->second;
}

const ControlTemplate& Ctl(int dialogId, int controlId) {
  const ControlTemplate* c = Dlg(dialogId).FindControl(controlId);
  if (!c) {
    static const ControlTemplate none;
    ADD_FAILURE() << "dialog " << dialogId << " has no control " << controlId;
    return none;
  }
  return *c;
}

const ControlTemplate* StaticWithText(const DialogTemplate& d, const std::string& text) {
  for (const ControlTemplate& c : d.controls) {
    if (c.text == text && c.id == IDC_STATIC) return &c;
  }
  return nullptr;
}

struct Row {
  int id;
  const char* className;
  const char* text;
  int x, y, cx, cy;
};

TEST(ResourcesMainDialog, FrameCaptionFontAndSize) {
  const DialogTemplate& d = Dlg(IDD_SEEKWELL_DIALOG);
  EXPECT_EQ(d.caption, "Corvane's Halden Seekwell");
  EXPECT_EQ(d.fontName, "MS Shell Dlg");
  EXPECT_EQ(d.fontPointSize, 8);
  EXPECT_EQ(d.cx, 283);
  EXPECT_EQ(d.cy, 327);
  EXPECT_TRUE(d.style & kWsMinimizeBox);
  EXPECT_TRUE(d.style & rc::kWsSysMenu);
  EXPECT_TRUE(d.style & kDsCenter);
  EXPECT_TRUE(d.exStyle & kWsExAppWindow);
  EXPECT_EQ(d.menuId, 0);
}

TEST(ResourcesMainDialog, EveryControlOfTheTableWithClassTextAndPlace) {
  const Row rows[] = {
      {IDC_DEVICE_LIST, "SysListView32", "", 8, 13, 216, 68},
      {IDC_REFRESH, "Button", "Refresh", 230, 25, 47, 14},
      {IDC_CONFIGURATION, "Button", "Configuration", 230, 46, 47, 15},
      {IDC_DEVICE_IP, "SysIPAddress32", "", 55, 98, 100, 13},
      {IDC_DEVICE_NETMASK, "SysIPAddress32", "", 55, 116, 100, 13},
      {IDC_DEVICE_GATEWAY, "SysIPAddress32", "", 55, 135, 100, 13},
      {IDC_DHCP, "ComboBox", "", 213, 100, 59, 49},
      {IDC_APPLY, "Button", "Apply", 222, 129, 50, 14},
      {IDC_TARGET_LIST, "SysListView32", "", 7, 169, 214, 61},
      {IDC_TARGET_CONNECT, "Button", "Connect", 227, 182, 50, 14},
      {IDC_MANAGEMENT, "Button", "Management", 227, 206, 50, 14},
      {IDC_VOLUME_LIST, "SysListView32", "", 7, 246, 164, 51},
      {IDC_DRIVE_LETTERS, "ComboBox", "", 179, 259, 91, 110},
      {IDC_DRIVE_CONNECT, "Button", "Connect", 178, 279, 43, 14},
      {IDC_DRIVE_DISCONNECT, "Button", "Disconnect", 228, 279, 43, 14},
      {IDC_ABOUT, "Button", "About", 4, 305, 45, 15},
      {IDC_EXIT, "Button", "Exit", 234, 305, 43, 15},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    const ControlTemplate& c = Ctl(IDD_SEEKWELL_DIALOG, r.id);
    EXPECT_EQ(c.className, r.className);
    EXPECT_EQ(c.text, r.text);
    EXPECT_EQ(c.x, r.x);
    EXPECT_EQ(c.y, r.y);
    EXPECT_EQ(c.cx, r.cx);
    EXPECT_EQ(c.cy, r.cy);
    EXPECT_EQ(c.style & (rc::kWsChild | rc::kWsVisible | rc::kWsDisabled), rc::kWsChild | rc::kWsVisible);
    EXPECT_TRUE(c.style & rc::kWsTabStop);
  }
}

TEST(ResourcesMainDialog, GroupBoxesAndLabels) {
  const DialogTemplate& d = Dlg(IDD_SEEKWELL_DIALOG);
  const Row groups[] = {
      {IDC_DEVICE_GROUP, "Button", "Network Storage Device", 3, 2, 277, 84},
      {IDC_LAN_GROUP, "Button", "LAN", 3, 89, 277, 64},
      {IDC_ISCSI_GROUP, "Button", "iSCSI Drive Mapping", 3, 158, 277, 77},
      {IDC_SHARE_GROUP, "Button", "Drive Mapping", 3, 237, 277, 64},
  };
  for (const Row& g : groups) {
    SCOPED_TRACE(g.text);
    const ControlTemplate* c = d.FindControl(g.id);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->text, g.text);
    EXPECT_EQ(c->className, "Button");
    EXPECT_EQ(c->style & kBsTypeMask, kBsGroupBox);
    EXPECT_EQ(c->x, g.x);
    EXPECT_EQ(c->y, g.y);
    EXPECT_EQ(c->cx, g.cx);
    EXPECT_EQ(c->cy, g.cy);
  }
  const Row labels[] = {
      {IDC_STATIC, "Static", "I P :", 13, 102, 0, 0},
      {IDC_STATIC, "Static", "Netmask :", 13, 120, 0, 0},
      {IDC_STATIC, "Static", "Gateway :", 13, 138, 0, 0},
      {IDC_STATIC, "Static", "Receive DHCP :", 162, 102, 0, 0},
      {IDC_STATIC, "Static", "Available Drive Letters :", 181, 247, 0, 0},
  };
  for (const Row& l : labels) {
    SCOPED_TRACE(l.text);
    const ControlTemplate* c = StaticWithText(d, l.text);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->className, "Static");
    EXPECT_EQ(c->x, l.x);
    EXPECT_EQ(c->y, l.y);
  }
}

TEST(ResourcesMainDialog, ListAndComboStylesTheDialogCodeRelies) {
  const ControlTemplate& devices = Ctl(IDD_SEEKWELL_DIALOG, IDC_DEVICE_LIST);
  EXPECT_EQ(devices.style & kLvsTypeMask, kLvsReport);
  EXPECT_TRUE(devices.style & kLvsSingleSel);
  EXPECT_TRUE(devices.style & kLvsShowSelAlways);
  for (int id : {IDC_TARGET_LIST, IDC_VOLUME_LIST}) {
    SCOPED_TRACE(id);
    const ControlTemplate& list = Ctl(IDD_SEEKWELL_DIALOG, id);
    EXPECT_EQ(list.style & kLvsTypeMask, kLvsReport);
    EXPECT_TRUE(list.style & kLvsSingleSel);
  }
  const ControlTemplate& dhcp = Ctl(IDD_SEEKWELL_DIALOG, IDC_DHCP);
  EXPECT_EQ(dhcp.style & kCbsTypeMask, kCbsDropDownList);
  EXPECT_TRUE(dhcp.style & kCbsSort);
  // Sorted, "Disable" is index 0 and "Enable" index 1, as the selection code assumes.
  EXPECT_EQ(dhcp.items, (std::vector<std::string>{"Disable", "Enable"}));
  const ControlTemplate& letters = Ctl(IDD_SEEKWELL_DIALOG, IDC_DRIVE_LETTERS);
  EXPECT_EQ(letters.style & kCbsTypeMask, kCbsDropDownList);
  EXPECT_FALSE(letters.style & kCbsSort);
  EXPECT_TRUE(letters.items.empty());
}

TEST(ResourcesSmallDialogs, AboutBox) {
  const DialogTemplate& d = Dlg(IDD_ABOUTBOX);
  EXPECT_EQ(d.caption, "Corvane's Halden Seekwell");
  EXPECT_EQ(d.fontName, "Arial");
  EXPECT_EQ(d.fontPointSize, 9);
  EXPECT_EQ(d.cx, 201);
  EXPECT_EQ(d.cy, 59);
  bool icon = false;
  for (const ControlTemplate& c : d.controls) icon = icon || (c.className == "Static" && (c.style & 0x1F) == 0x3 && c.text == "128");
  EXPECT_TRUE(icon) << "icon 128 missing";
  EXPECT_NE(StaticWithText(d, "Corvane's Halden Seekwell"), nullptr);
  EXPECT_NE(StaticWithText(d, "Version : 1.0.0.0"), nullptr);
  bool copyright = false;
  for (const ControlTemplate& c : d.controls) copyright = copyright || c.text.rfind("Copyright", 0) == 0;
  EXPECT_TRUE(copyright);
  const ControlTemplate& ok = Ctl(IDD_ABOUTBOX, 1);
  EXPECT_EQ(ok.text, "OK");
  EXPECT_EQ(ok.style & kBsTypeMask, kBsDefPushButton);
}

TEST(ResourcesSmallDialogs, Login) {
  const DialogTemplate& d = Dlg(IDD_LOGIN);
  EXPECT_EQ(d.caption, "Login");
  EXPECT_EQ(d.fontName, "Arial");
  EXPECT_EQ(d.fontPointSize, 8);
  EXPECT_EQ(d.cx, 199);
  EXPECT_EQ(d.cy, 75);
  const Row rows[] = {
      {IDC_LOGIN_USER, "Edit", "", 60, 18, 69, 14},
      {IDC_LOGIN_PASSWORD, "Edit", "", 60, 39, 68, 14},
      {1, "Button", "OK", 135, 21, 50, 14},
      {2, "Button", "Cancel", 135, 38, 50, 14},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    const ControlTemplate& c = Ctl(IDD_LOGIN, r.id);
    EXPECT_EQ(c.className, r.className);
    EXPECT_EQ(c.text, r.text);
    EXPECT_EQ(c.x, r.x);
    EXPECT_EQ(c.y, r.y);
    EXPECT_EQ(c.cx, r.cx);
    EXPECT_EQ(c.cy, r.cy);
  }
  EXPECT_TRUE(Ctl(IDD_LOGIN, IDC_LOGIN_PASSWORD).style & kEsPassword);
  EXPECT_FALSE(Ctl(IDD_LOGIN, IDC_LOGIN_USER).style & kEsPassword);
  const ControlTemplate* user = StaticWithText(d, "User name :");
  const ControlTemplate* password = StaticWithText(d, "Password :");
  ASSERT_NE(user, nullptr);
  ASSERT_NE(password, nullptr);
  EXPECT_EQ(user->x, 13);
  EXPECT_EQ(user->y, 21);
  EXPECT_EQ(password->x, 13);
  EXPECT_EQ(password->y, 42);
}

TEST(ResourcesOtherDialogs, CaptionsAndTheControlsTheirCodeBinds) {
  struct Expect {
    int dialog;
    const char* caption;
    std::vector<int> controls;
  };
  const Expect expected[] = {
      {IDD_CHAP, "Enter Password", {IDC_CHAP_GROUP, IDC_CHAP_USER, IDC_CHAP_SECRET, IDC_CHAP_MESSAGE, 1, 2}},
      {IDD_WIZARD, "Format", {1, 2, IDC_MAX_SPACE, IDC_NTFS, IDC_FAT32, IDC_PARTITION_SIZE, IDC_SIZE_LABEL, IDC_NEW_DRIVE,
                              IDC_PROGRESS, IDC_STATUS, IDC_OPTION_GROUP, IDC_TARGET_TEXT}},
      {IDD_PARTITION, "Partition Manager", {1, 2, IDC_MAX_SPACE, IDC_NTFS, IDC_FAT32, IDC_PARTITION_SIZE, IDC_SIZE_LABEL,
                                            IDC_NEW_DRIVE, IDC_PROGRESS, IDC_STATUS, IDC_OPTION_GROUP}},
      {IDD_SERVICE_START, "Corvane's Halden Seekwell", {}},
      {IDD_INSTALL, "Corvane's Halden Seekwell", {1}},
      {IDD_DISK_MANAGER, "Management", {IDC_DISK_VOLUMES, IDC_REGION_LIST, IDC_FREE_LETTERS, IDC_DISK_GROUP}},
      {IDD_DRIVE_SELECT, "Drive Select", {IDC_FREE_LETTERS, IDC_SELECT_DRIVE_GROUP, 1, 2}},
  };
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.dialog);
    EXPECT_EQ(Dlg(e.dialog).caption, e.caption);
    for (int id : e.controls) EXPECT_NE(Dlg(e.dialog).FindControl(id), nullptr) << "control " << id;
  }
  EXPECT_EQ(Ctl(IDD_PARTITION, 1).text, "Format");
  EXPECT_EQ(Ctl(IDD_WIZARD, 1).text, "Format");
  EXPECT_EQ(Ctl(IDD_WIZARD, 1).style & kBsTypeMask, kBsDefPushButton);
  EXPECT_EQ(Dlg(IDD_PARTITION).FindControl(IDC_TARGET_TEXT), nullptr);
  EXPECT_TRUE(Ctl(IDD_WIZARD, IDC_TARGET_TEXT).style & kEsReadOnly);
  EXPECT_TRUE(Ctl(IDD_CHAP, IDC_CHAP_SECRET).style & kEsPassword);
  for (int dialog : {IDD_WIZARD, IDD_PARTITION}) {
    for (int id : {IDC_MAX_SPACE, IDC_NTFS, IDC_FAT32}) {
      EXPECT_EQ(Ctl(dialog, id).style & kBsTypeMask, kBsAutoCheckBox) << dialog << "/" << id;
    }
    EXPECT_EQ(Ctl(dialog, IDC_SIZE_LABEL).text, "MB (Available: 0.0 GB)");
    EXPECT_EQ(Ctl(dialog, IDC_PROGRESS).className, "msctls_progress32");
    EXPECT_EQ(Ctl(dialog, IDC_NEW_DRIVE).style & kCbsTypeMask, kCbsDropDownList);
  }
  EXPECT_EQ(Ctl(IDD_DISK_MANAGER, IDC_DISK_VOLUMES).style & kLvsTypeMask, kLvsReport);
  EXPECT_FALSE(Ctl(IDD_DISK_MANAGER, IDC_REGION_LIST).style & rc::kWsVisible);
  EXPECT_FALSE(Ctl(IDD_DISK_MANAGER, IDC_FREE_LETTERS).style & rc::kWsVisible);
  EXPECT_TRUE(Ctl(IDD_DISK_MANAGER, IDC_DISK_VOLUMES).style & rc::kWsVisible);
  // The service window has no buttons and no system menu: the program closes it.
  EXPECT_FALSE(Dlg(IDD_SERVICE_START).style & rc::kWsSysMenu);
  EXPECT_NE(StaticWithText(Dlg(IDD_SERVICE_START), "Windows is trying to start the following service..."), nullptr);
  EXPECT_NE(StaticWithText(Dlg(IDD_SERVICE_START), "Microsoft iSCSI Initiator Service"), nullptr);
  for (const ControlTemplate& c : Dlg(IDD_SERVICE_START).controls) EXPECT_NE(c.className, "Button");
  EXPECT_NE(StaticWithText(Dlg(IDD_INSTALL),
                           "This application requires the use of a full install of Microsofts ISCSI initiator in "
                           "order to function.\nYour system does not install Microsofts ISCSI initiator and we "
                           "recommend you to install.\n"),
            nullptr);
}

// The program subclasses these group boxes and draws their captions itself.
TEST(ResourcesOtherDialogs, CustomGroupBoxesArePlainGroupBoxesWithTheirAlignment) {
  struct Group {
    int dialog, id;
    const char* caption;
    bool centred;
  };
  const Group groups[] = {
      {IDD_CHAP, IDC_CHAP_GROUP, "CHAP Authentication", false},
      {IDD_WIZARD, IDC_OPTION_GROUP, "Wizard Option", false},
      {IDD_DISK_MANAGER, IDC_DISK_GROUP, "Disk Management", true},
      {IDD_DRIVE_SELECT, IDC_SELECT_DRIVE_GROUP, "Select Drive Letter", true},
      {IDD_PARTITION, IDC_OPTION_GROUP, "Partition Option", false},
  };
  for (const Group& g : groups) {
    SCOPED_TRACE(g.caption);
    const ControlTemplate& c = Ctl(g.dialog, g.id);
    EXPECT_EQ(c.className, "Button");
    EXPECT_EQ(c.text, g.caption);
    EXPECT_EQ(c.style & kBsTypeMask, kBsGroupBox);
    EXPECT_EQ((c.style & kBsAlignMask) == kBsCenter, g.centred);
  }
}

bool Inside(const ControlTemplate& inner, const ControlTemplate& outer) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.cx <= outer.x + outer.cx &&
         inner.y + inner.cy <= outer.y + outer.cy;
}

bool Overlap(const ControlTemplate& a, const ControlTemplate& b) {
  return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

bool IsGroupBox(const ControlTemplate& c) { return c.className == "Button" && (c.style & kBsTypeMask) == kBsGroupBox; }

// Combo boxes are given with their drop-down height; closed they are one line (about 12 units).
ControlTemplate Visible(ControlTemplate c) {
  if (c.className == "ComboBox") c.cy = 12;
  return c;
}

TEST(ResourcesLayout, VisibleControlsStayInsideTheirDialogAndNeverOverlap) {
  for (const auto& [id, d] : BuiltInResources().dialogs) {
    SCOPED_TRACE(id);
    std::vector<ControlTemplate> shown;
    for (const ControlTemplate& c : d.controls) {
      if (c.style & rc::kWsVisible) shown.push_back(Visible(c));
    }
    for (size_t i = 0; i < shown.size(); ++i) {
      const ControlTemplate& a = shown[i];
      EXPECT_GE(a.x, 0) << a.text << " " << a.id;
      EXPECT_GE(a.y, 0) << a.text << " " << a.id;
      EXPECT_LE(a.x + a.cx, d.cx) << a.text << " " << a.id;
      EXPECT_LE(a.y + a.cy, d.cy) << a.text << " " << a.id;
      for (size_t j = i + 1; j < shown.size(); ++j) {
        const ControlTemplate& b = shown[j];
        // A group box may frame other controls, but must not cut through them.
        if (IsGroupBox(a) && Inside(b, a)) continue;
        if (IsGroupBox(b) && Inside(a, b)) continue;
        EXPECT_FALSE(Overlap(a, b)) << "'" << a.text << "' (" << a.id << ") and '" << b.text << "' (" << b.id << ")";
      }
    }
  }
}

// The partition bars are created from y = 235 pixels; at 96 dpi with the dialog font a vertical
// dialog unit is 13/8 pixel, so the template must end by unit 144.
TEST(ResourcesLayout, DiskManagerLeavesTheBarAreaFree) {
  const DialogTemplate& d = Dlg(IDD_DISK_MANAGER);
  for (const ControlTemplate& c : d.controls) {
    EXPECT_LE((c.y + Visible(c).cy) * 13 / 8, 235) << c.id;
  }
}

// Dialogs the user answers need a way out where users expect it: OK as the default button and a
// Cancel beside it, both in the bottom row.
TEST(ResourcesLayout, AnswerableDialogsHaveDefaultOkAndCancelBottomRight) {
  for (int id : {IDD_CHAP, IDD_WIZARD, IDD_PARTITION, IDD_DRIVE_SELECT}) {
    SCOPED_TRACE(id);
    const ControlTemplate& ok = Ctl(id, 1);
    const ControlTemplate& cancel = Ctl(id, 2);
    EXPECT_EQ(ok.style & kBsTypeMask, kBsDefPushButton);
    EXPECT_EQ(cancel.text, "Cancel");
    EXPECT_EQ(ok.y, cancel.y);
    EXPECT_LT(ok.x, cancel.x);
    for (const ControlTemplate& c : Dlg(id).controls) EXPECT_LE(c.y, ok.y) << c.id;
    // Tab order: OK and Cancel come last.
    const auto& controls = Dlg(id).controls;
    EXPECT_EQ(controls[controls.size() - 2].id, 1);
    EXPECT_EQ(controls.back().id, 2);
  }
}

TEST(ResourcesOther, MenuStringsAndFileResources) {
  const ResourceSet& r = BuiltInResources();
  const MenuTemplate& menu = r.menus.at(IDR_DISK_MENU);
  ASSERT_EQ(menu.items.size(), 2u);
  EXPECT_EQ(menu.items[0].text, "Connect");
  ASSERT_EQ(menu.items[0].children.size(), 1u);
  EXPECT_EQ(menu.items[0].children[0].text, "Add");
  EXPECT_EQ(menu.items[0].children[0].id, ID_DISK_ADD);
  EXPECT_EQ(menu.items[1].text, "Disconnect");
  ASSERT_EQ(menu.items[1].children.size(), 3u);
  EXPECT_EQ(menu.items[1].children[0].text, "Delete");
  EXPECT_EQ(menu.items[1].children[0].id, ID_DISK_DELETE);
  EXPECT_EQ(menu.items[1].children[1].text, "UnMount");
  EXPECT_EQ(menu.items[1].children[1].id, ID_DISK_UNMOUNT);
  EXPECT_EQ(menu.items[1].children[2].text, "Mount");
  EXPECT_EQ(menu.items[1].children[2].id, ID_DISK_MOUNT);

  EXPECT_EQ(r.strings.at(IDS_ABOUTBOX), "About Varezed Averaru Vozuraz(&A)...");
  ASSERT_NE(r.FindFile("ICON", IDR_MAINFRAME), nullptr);
  ASSERT_NE(r.FindFile("ANICURSOR", IDR_BUSY_CURSOR), nullptr);
  ASSERT_NE(r.FindFile("24", 1), nullptr);  // the process manifest
  EXPECT_EQ(r.fileVersion, (std::vector<int>{1, 0, 0, 0}));
  EXPECT_EQ(r.versionStrings.at("FileVersion"), "1.0.0.0");
  EXPECT_EQ(r.versionStrings.at("ProductName"), "Corvane's Halden Seekwell");
  EXPECT_EQ(r.defines.at("IDM_ABOUTBOX"), 16);
  EXPECT_EQ(r.defines.at("IDC_STATIC"), -1);
}

// ---- Comparison with windres (scripts/check-resources sets SW_WINDRES_DUMP) ----------------------

std::string Esc(const std::string& text) {
  std::string out;
  char buf[8];
  for (unsigned char b : text) {
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      out += static_cast<char>(b);
    } else {
      std::snprintf(buf, sizeof buf, "\\x%02x", b);
      out += buf;
    }
  }
  return out;
}

void MenuLines(int menuId, const std::vector<MenuItemTemplate>& items, const std::string& path,
               std::set<std::string>& out) {
  char buf[512];
  for (size_t i = 0; i < items.size(); ++i) {
    const MenuItemTemplate& m = items[i];
    std::string here = path.empty() ? std::to_string(i) : path + "." + std::to_string(i);
    const char* kind = !m.children.empty() ? "popup" : (m.separator ? "separator" : "item");
    std::snprintf(buf, sizeof buf, "menu %d %s %s id=%d text=%s", menuId, here.c_str(), kind, m.id, Esc(m.text).c_str());
    out.insert(buf);
    MenuLines(menuId, m.children, here, out);
  }
}

std::set<std::string> ParserLines(const ResourceSet& r) {
  std::set<std::string> out;
  char buf[1024];
  for (const auto& [id, d] : r.dialogs) {
    std::snprintf(buf, sizeof buf, "dialog %d style=%08x ex=%08x rect=%d,%d,%d,%d font=%d,%s,%d,%d,%d menu=%d caption=%s",
                  id, d.style, d.exStyle, d.x, d.y, d.cx, d.cy, d.fontPointSize, Esc(d.fontName).c_str(), d.fontWeight,
                  d.fontItalic, d.fontCharset, d.menuId, Esc(d.caption).c_str());
    out.insert(buf);
    for (size_t i = 0; i < d.controls.size(); ++i) {
      const ControlTemplate& c = d.controls[i];
      std::snprintf(buf, sizeof buf, "control %d %zu id=%d class=%s style=%08x ex=%08x rect=%d,%d,%d,%d text=%s", id, i,
                    c.id, base::UpperAscii(c.className).c_str(), c.style, c.exStyle, c.x, c.y, c.cx, c.cy, Esc(c.text).c_str());
      out.insert(buf);
      for (const std::string& item : c.items) out.insert("item " + std::to_string(id) + " " + std::to_string(c.id) + " msg=403 " + Esc(item));
    }
  }
  for (const auto& [id, m] : r.menus) MenuLines(id, m.items, "", out);
  for (const auto& [id, s] : r.strings) out.insert("string " + std::to_string(id) + " " + Esc(s));
  for (const FileResource& f : r.files) {
    std::string type = f.type == "ICON" ? "14" : f.type == "CURSOR" ? "12" : f.type == "ANICURSOR" ? "21" : f.type;
    out.insert("resource " + type + " " + std::to_string(f.id));
  }
  if (r.versionInfoId) out.insert("resource 16 " + std::to_string(r.versionInfoId));
  return out;
}

TEST(ResourcesWindres, ParserAgreesWithTheCompiledScriptLineByLine) {
  const char* path = std::getenv("SW_WINDRES_DUMP");
  if (!path) GTEST_SKIP() << "run scripts/check-resources to compare with windres";
  std::ifstream in(path);
  ASSERT_TRUE(in) << path;
  std::set<std::string> compiled;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) compiled.insert(line);
  }
  ASSERT_GT(compiled.size(), 50u);
  std::set<std::string> parsed = ParserLines(BuiltInResources());
  for (const std::string& line : compiled) EXPECT_TRUE(parsed.count(line)) << "windres only: " << line;
  for (const std::string& line : parsed) EXPECT_TRUE(compiled.count(line)) << "parser only:  " << line;
}

}  // namespace
}  // namespace sw::ui
