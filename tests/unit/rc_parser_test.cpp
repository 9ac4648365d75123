// The resource-script parser on small scripts. Expected style values were taken from what windres
// 2.40 writes into the compiled templates for the same lines (scripts/check-resources decodes them).

#include <gtest/gtest.h>

#include <string>

#include "ui/dialog_template.h"
#include "ui/resource_text.h"

namespace sw::ui {
namespace {

constexpr uint32_t kChildVisible = 0x50000000;

ResourceSet MustParse(const std::string& script, const std::string& header = "") {
  ResourceSet set;
  std::string error;
  EXPECT_TRUE(ParseResources(header, script, set, error)) << error;
  return set;
}

std::string ParseError(const std::string& script, const std::string& header = "") {
  ResourceSet set;
  std::string error;
  EXPECT_FALSE(ParseResources(header, script, set, error)) << "accepted:\n" << script;
  return error;
}

// One dialog around the given control lines.
std::string Dialog(const std::string& controls) {
  return "1 DIALOGEX 0, 0, 100, 50\nBEGIN\n" + controls + "END\n";
}

const ControlTemplate& Only(const ResourceSet& set) {
  static const ControlTemplate none;
  auto it = set.dialogs.find(1);
  if (it == set.dialogs.end() || it->second.controls.size() != 1) {
    ADD_FAILURE() << "expected dialog 1 with one control";
    return none;
  }
  return it->second.controls[0];
}

struct StyleCase {
  const char* line;
  const char* className;
  uint32_t style;
};

// A statement's implied bits differ between "no style given" and "style given": LTEXT drops
// WS_GROUP, COMBOBOX drops CBS_SIMPLE | WS_TABSTOP, PUSHBUTTON and EDITTEXT keep theirs.
TEST(RcParserStyles, StatementsImplyTheirClassAndBitsAsWindresDoes) {
  const StyleCase cases[] = {
      {"LTEXT \"t\", -1, 1, 1, 10, 10", "Static", 0x50020000},
      {"LTEXT \"t\", -1, 1, 1, 10, 10, WS_BORDER", "Static", 0x50800000},
      {"RTEXT \"t\", -1, 1, 1, 10, 10", "Static", 0x50020002},
      {"CTEXT \"t\", -1, 1, 1, 10, 10, SS_NOPREFIX", "Static", 0x50000081},
      {"PUSHBUTTON \"p\", 1, 1, 1, 10, 10", "Button", 0x50010000},
      {"PUSHBUTTON \"p\", 1, 1, 1, 10, 10, WS_DISABLED", "Button", 0x58010000},
      {"DEFPUSHBUTTON \"d\", 1, 1, 1, 10, 10, WS_GROUP", "Button", 0x50030001},
      {"EDITTEXT 5, 1, 1, 10, 10", "Edit", 0x50810000},
      {"EDITTEXT 5, 1, 1, 10, 10, ES_PASSWORD | ES_AUTOHSCROLL", "Edit", 0x508100a0},
      {"COMBOBOX 7, 1, 1, 10, 10", "ComboBox", 0x50010001},
      {"COMBOBOX 7, 1, 1, 10, 10, CBS_DROPDOWNLIST", "ComboBox", 0x50000003},
      {"COMBOBOX 7, 1, 1, 10, 10, CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP", "ComboBox", 0x50210103},
      {"GROUPBOX \"g\", 9, 1, 1, 10, 10", "Button", 0x50000007},
      {"GROUPBOX \"g\", 9, 1, 1, 10, 10, BS_CENTER", "Button", 0x50000307},
      {"AUTOCHECKBOX \"a\", 11, 1, 1, 10, 10", "Button", 0x50010003},
      {"AUTOCHECKBOX \"a\", 11, 1, 1, 10, 10, WS_GROUP", "Button", 0x50030003},
      {"AUTORADIOBUTTON \"r\", 22, 1, 1, 10, 10", "Button", 0x50010009},
      {"AUTORADIOBUTTON \"r\", 22, 1, 1, 10, 10, WS_GROUP", "Button", 0x50020009},
      {"LISTBOX 20, 1, 1, 10, 10, LBS_SORT", "ListBox", 0x50800003},
      {"SCROLLBAR 29, 1, 1, 10, 10, SBS_VERT", "ScrollBar", 0x50000001},
      {"CONTROL \"\", 15, \"SysListView32\", LVS_REPORT | LVS_SINGLESEL | WS_BORDER | WS_TABSTOP, 1, 1, 10, 10",
       "SysListView32", 0x50810005},
      {"CONTROL \"\", 16, \"SysIPAddress32\", WS_TABSTOP, 1, 1, 10, 10", "SysIPAddress32", 0x50010000},
      {"CONTROL \"x\", 18, \"button\", BS_AUTOCHECKBOX | WS_TABSTOP, 1, 1, 10, 10", "Button", 0x50010003},
  };
  for (const StyleCase& c : cases) {
    SCOPED_TRACE(c.line);
    ResourceSet set = MustParse(Dialog(std::string(c.line) + "\n"));
    EXPECT_EQ(Only(set).className, c.className);
    EXPECT_EQ(Only(set).style, c.style) << std::hex << Only(set).style;
  }
}

TEST(RcParserStyles, NotClearsBitsInTheOrderWritten) {
  const StyleCase cases[] = {
      {"PUSHBUTTON \"p\", 3, 1, 1, 10, 10, NOT WS_TABSTOP", "Button", kChildVisible},
      {"PUSHBUTTON \"p\", 3, 1, 1, 10, 10, NOT WS_TABSTOP | WS_GROUP", "Button", 0x50020000},
      {"PUSHBUTTON \"p\", 3, 1, 1, 10, 10, WS_TABSTOP | NOT WS_VISIBLE", "Button", 0x40010000},
      {"EDITTEXT 28, 1, 1, 10, 10, ES_READONLY | NOT WS_TABSTOP | NOT WS_BORDER", "Edit", 0x50000800},
      {"CONTROL \"\", 23, \"SysListView32\", NOT WS_VISIBLE | LVS_REPORT, 1, 1, 10, 10", "SysListView32", 0x40000001},
      {"LTEXT \"\", 26, 1, 1, 10, 10, NOT WS_VISIBLE", "Static", 0x40000000},
      // NOT takes one operand, so the OR after it still applies.
      {"CONTROL \"\", 30, \"Static\", NOT (WS_VISIBLE | WS_CHILD) | SS_RIGHT, 1, 1, 10, 10", "Static", 0x2},
  };
  for (const StyleCase& c : cases) {
    SCOPED_TRACE(c.line);
    ResourceSet set = MustParse(Dialog(std::string(c.line) + "\n"));
    EXPECT_EQ(Only(set).style, c.style) << std::hex << Only(set).style;
  }
}

TEST(RcParserStyles, ExtendedStyleAndIconControl) {
  ResourceSet set = MustParse(Dialog(
      "PUSHBUTTON \"p\", 3, 1, 1, 10, 10, WS_TABSTOP, WS_EX_CLIENTEDGE | WS_EX_STATICEDGE\n"
      "ICON 128, 13, 4, 5, 20, 20, SS_CENTERIMAGE\n"));
  const auto& controls = set.dialogs.at(1).controls;
  ASSERT_EQ(controls.size(), 2u);
  EXPECT_EQ(controls[0].exStyle, 0x20200u);
  // windres writes an ICON control with zero size whatever the script says; the icon sizes it.
  EXPECT_EQ(controls[1].className, "Static");
  EXPECT_EQ(controls[1].text, "128");
  EXPECT_EQ(controls[1].style, 0x50000203u);
  EXPECT_EQ(controls[1].x, 4);
  EXPECT_EQ(controls[1].cx, 0);
  EXPECT_EQ(controls[1].cy, 0);
}

TEST(RcParserDialogs, DialogStyleDefaultsCaptionAndFontBits) {
  ResourceSet set = MustParse(
      "1 DIALOGEX 0, 0, 100, 50\nBEGIN\nEND\n"
      "2 DIALOGEX 0, 0, 100, 50\nCAPTION \"c\"\nSTYLE WS_POPUP\nBEGIN\nEND\n"
      "3 DIALOGEX 10, 20, 100, 50\nSTYLE WS_POPUP | NOT WS_VISIBLE\nEXSTYLE WS_EX_APPWINDOW\n"
      "FONT 9, \"Arial\", 700, 1, 0\nMENU 7\nBEGIN\nEND\n"
      "4 DIALOG 0, 0, 100, 50\nFONT 8, \"MS Shell Dlg\"\nBEGIN\nEND\n");
  EXPECT_EQ(set.dialogs.at(1).style, 0x80880000u);  // WS_POPUP | WS_BORDER | WS_SYSMENU
  EXPECT_EQ(set.dialogs.at(2).style, 0x80c00000u);  // CAPTION adds WS_CAPTION even before STYLE
  const DialogTemplate& d = set.dialogs.at(3);
  EXPECT_EQ(d.style, 0x80000040u);                  // FONT adds DS_SETFONT
  EXPECT_EQ(d.exStyle, 0x40000u);
  EXPECT_EQ(d.fontName, "Arial");
  EXPECT_EQ(d.fontPointSize, 9);
  EXPECT_EQ(d.fontWeight, 700);
  EXPECT_EQ(d.fontItalic, 1);
  EXPECT_EQ(d.fontCharset, 0);
  EXPECT_EQ(d.menuId, 7);
  EXPECT_EQ(d.x, 10);
  EXPECT_EQ(d.y, 20);
  EXPECT_EQ(set.dialogs.at(4).fontCharset, 1);      // unnamed: DEFAULT_CHARSET
  EXPECT_EQ(set.dialogs.at(4).style, 0x80880040u);
}

TEST(RcParserIds, NamesFromTheHeaderExpressionsAndNegativeIds) {
  const std::string header =
      "// ids\n#define IDC_STATIC -1\n#define IDC_BASE 0x3E8\n#define IDC_NEXT (IDC_BASE + 1)\n"
      "#define GUARD_ONLY\n#pragma once\n";
  ResourceSet set = MustParse(Dialog("LTEXT \"a\", IDC_STATIC, 1, 1, 10, 10\n"
                                     "PUSHBUTTON \"b\", IDC_NEXT, 1, 1, 10, 10\n"
                                     "PUSHBUTTON \"c\", IDOK, 2*3, -1 + 4, 10, 10\n"),
                              header);
  const auto& c = set.dialogs.at(1).controls;
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].id, -1);
  EXPECT_EQ(c[1].id, 1001);
  EXPECT_EQ(c[2].id, 1);
  EXPECT_EQ(c[2].x, 6);
  EXPECT_EQ(c[2].y, 3);
  EXPECT_EQ(set.defines.at("IDC_BASE"), 1000);
  EXPECT_EQ(set.defines.count("GUARD_ONLY"), 0u);
  EXPECT_EQ(set.dialogs.at(1).FindControl(1001), &c[1]);
  EXPECT_EQ(set.dialogs.at(1).FindControl(42), nullptr);
}

TEST(RcParserText, EscapesQuotesAndComments) {
  ResourceSet set = MustParse(
      "/* a block comment\n   over two lines */\n"
      "1 DIALOGEX 0, 0, 100, 50 // trailing comment\n"
      "CAPTION \"It\"\"s \\\"on\\\"\"\n"
      "BEGIN\n  LTEXT \"a\\tb\\nc\\\\d\\x41\\101\", -1, 1, 1, 10, 10\nEND\n");
  EXPECT_EQ(set.dialogs.at(1).caption, "It\"s \"on\"");
  EXPECT_EQ(Only(set).text, "a\tb\nc\\dAA");
}

TEST(RcParserMenus, PopupsItemsSeparatorsAndOptions) {
  ResourceSet set = MustParse(
      "5 MENU\nBEGIN\n"
      "  POPUP \"&File\"\n  BEGIN\n    MENUITEM \"&Open\", 100\n    MENUITEM SEPARATOR\n"
      "    POPUP \"Recent\"\n    BEGIN\n      MENUITEM \"One\", 101, GRAYED\n    END\n  END\n"
      "  POPUP \"Help\"\n  {\n    MENUITEM \"About\", 102, CHECKED, HELP\n  }\n"
      "END\n");
  const MenuTemplate& m = set.menus.at(5);
  ASSERT_EQ(m.items.size(), 2u);
  const MenuItemTemplate& file = m.items[0];
  EXPECT_EQ(file.text, "&File");
  ASSERT_EQ(file.children.size(), 3u);
  EXPECT_EQ(file.children[0].id, 100);
  EXPECT_TRUE(file.children[1].separator);
  EXPECT_EQ(file.children[1].text, "");
  ASSERT_EQ(file.children[2].children.size(), 1u);
  EXPECT_EQ(file.children[2].children[0].id, 101);
  EXPECT_EQ(m.items[1].children.at(0).text, "About");
  EXPECT_EQ(m.items[1].children.at(0).id, 102);
}

TEST(RcParserOther, StringTableDlgInitAndSkippedResources) {
  ResourceSet set = MustParse(
      "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n"
      "1 ICON \"app.ico\"\n2 ANICURSOR DISCARDABLE \"busy.ani\"\n1 24 \"app.manifest\"\n"
      "3 RCDATA\nBEGIN\n  1, 2, \"three\", 4L\nEND\n"
      "STRINGTABLE\nBEGIN\n  101 \"About(&A)...\"\n  102, \"Second\"\nEND\n"
      "1 VERSIONINFO\n FILEVERSION 1,2,3,4\n FILEOS 0x40004L\nBEGIN\n"
      "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904b0\"\n    BEGIN\n"
      "      VALUE \"FileVersion\", \"1.2.3.4\"\n    END\n  END\n"
      "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1200\n  END\nEND\n"
      // The init data may come before its dialog. "Go" has an odd byte count, so the entry for
      // "Stop" starts mid-word and a zero word inside it must not end the list.
      "1 DLGINIT\nBEGIN\n  7, 0x403, 3, 0, 0x6f47, 0x0700, 0x0300, 0x0504, 0x0000, 0x5300, 0x6f74, "
      "0x0070, 0x0000\nEND\n" +
      Dialog("COMBOBOX 7, 1, 1, 10, 10, CBS_DROPDOWNLIST\n"));
  EXPECT_EQ(set.strings.at(101), "About(&A)...");
  EXPECT_EQ(set.strings.at(102), "Second");
  ASSERT_NE(set.FindFile("ICON", 1), nullptr);
  EXPECT_EQ(set.FindFile("ICON", 1)->fileName, "app.ico");
  ASSERT_NE(set.FindFile("ANICURSOR", 2), nullptr);
  ASSERT_NE(set.FindFile("24", 1), nullptr);
  EXPECT_EQ(set.FindFile("CURSOR", 2), nullptr);
  EXPECT_EQ(set.versionInfoId, 1);
  EXPECT_EQ(set.fileVersion, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(set.versionStrings.at("FileVersion"), "1.2.3.4");
  EXPECT_EQ(Only(set).items, (std::vector<std::string>{"Go", "Stop"}));
}

struct ErrorCase {
  const char* script;
  const char* expected;  // substring of the message, line number included
};

TEST(RcParserErrors, EveryRejectionNamesItsLine) {
  const ErrorCase cases[] = {
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", IDC_NOPE, 1, 1, 1, 1\nEND\n", "script line 3: unknown name 'IDC_NOPE'"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", -1, 1, 1, 1, 1\n", "script line 3: missing END of dialog"},
      {"1 DIALOGEX 0, 0, 10, 10\nCAPTION \"open\nBEGIN\nEND\n", "script line 2: unterminated string"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  SLIDER 5, 1, 1, 1, 1\nEND\n", "script line 3: unsupported control statement SLIDER"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\\q\", -1, 1, 1, 1, 1\nEND\n", "script line 3: unknown escape"},
      {"/* one\ntwo */\n#ifdef X\n", "script line 3: unsupported directive #ifdef"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  PUSHBUTTON \"a\" 1, 1, 1, 1, 1\nEND\n", "script line 3: expected ','"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  CONTROL \"\", 1, Button, 0, 1, 1, 1, 1\nEND\n", "script line 3: the control class must be a quoted string"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\nEND\n\n1 DIALOGEX 0, 0, 10, 10\nBEGIN\nEND\n", "script line 5: dialog 1 defined twice"},
      {"STRINGTABLE\nBEGIN\n 1 \"a\"\n 1 \"b\"\nEND\n", "script line 4: string 1 defined twice"},
      {"1 MENU\nBEGIN\n  MENUITEM \"a\" 5\nEND\n", "script line 3: expected ','"},
      {"1 DLGINIT\nBEGIN\n  7, 0x403, 3, 0, 0x6f47, 0\nEND\n" "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  EDITTEXT 7, 1, 1, 1, 1\nEND\n",
       "script line 1: DLGINIT names control 7, which is not a combo box"},
      {"1 DLGINIT\nBEGIN\n  7, 0x403, 30, 0, 0x6f47, 0\nEND\n", "script line 1: DLGINIT for missing dialog 1"},
      {"APP ICON \"a.ico\"\n", "script line 1: unknown resource id 'APP'"},
      {"1 TOOLBAR 16, 15\n", "script line 1: unsupported resource type TOOLBAR"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", -1, 1, 1, 1, 1 @\nEND\n", "script line 3: unexpected character '@'"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.script);
    std::string error = ParseError(c.script);
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST(RcParserErrors, HeaderHoldsOnlyDefines) {
  std::string error = ParseError("", "#define A 1\n#define A 2\n");
  EXPECT_NE(error.find("header line 2: #define A redefined"), std::string::npos) << error;
  error = ParseError("", "#define A 1\nint x\n");
  EXPECT_NE(error.find("header line 2: only #define lines"), std::string::npos) << error;
  error = ParseError("", "#define A B\n");
  EXPECT_NE(error.find("header line 1: unknown name 'B'"), std::string::npos) << error;
}

// A script cut anywhere (an editor mid-save, a bad merge) must give an error, never a crash or a
// silent half result.
TEST(RcParserErrors, EveryTruncationOfTheRealScriptFailsCleanly) {
  const std::string header = EmbeddedResourceHeader();
  const std::string script = EmbeddedResourceScript();
  const ResourceSet& full = BuiltInResources();
  for (size_t cut = 0; cut < script.size(); cut += 23) {
    SCOPED_TRACE(cut);
    ResourceSet set;
    std::string error;
    if (!ParseResources(header, script.substr(0, cut), set, error)) {
      EXPECT_EQ(error.rfind("script line ", 0), 0u) << error;
      continue;
    }
    // Only a cut between whole resources parses; every dialog it holds is complete.
    for (const auto& [id, d] : set.dialogs) {
      EXPECT_EQ(d.controls.size(), full.dialogs.at(id).controls.size()) << "dialog " << id;
    }
  }
}

}  // namespace
}  // namespace sw::ui
