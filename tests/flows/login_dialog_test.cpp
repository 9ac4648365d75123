// The login dialog over the headless UI: what its user field shows for each caller and Windows
// version, the 16-character limits, and what OK and Cancel leave in LoginCredentials.

#include <gtest/gtest.h>

#include "app/login_dlg.h"
#include "simulated_machine.h"
#include "protocol/protocol_state.h"
#include "resource.h"
#include "share/user_name.h"
#include "ui/headless.h"

namespace sw::app {
namespace {

namespace hl = ui::headless;

class LoginDialogFlow : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    hl::Reset();
    UseWindows("xp");
    machine.SetUserName("alice");
    protocol::LoginCredentials& c = protocol::GetProtocolState().loginCredentials;
    protocol::CopyText(c.userName, sizeof c.userName, "before");
    protocol::CopyText(c.password, sizeof c.password, "old-secret");
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    AdminLoginMode = 0;
    machine.SetUserName("User");
    protocol::GetProtocolState().loginCredentials = protocol::LoginCredentials{};
  }

  static void UseWindows(const char* name) {
    winsim::WindowsVersion windows;
    ASSERT_TRUE(winsim::ParseWindowsVersion(name, windows)) << name;
    winsim::TheMachine().SetVersion(windows);
  }

  // Opens the dialog for `mode`, runs `script` in it; the modal result.
  ui::ModalResult Run(int mode, std::function<void(ui::CDialog&)> script) {
    AdminLoginMode = mode;
    hl::ScriptModal(IDD_LOGIN, std::move(script));
    login dialog;
    return dialog.DoModal();
  }

  static const protocol::LoginCredentials& Credentials() { return protocol::GetProtocolState().loginCredentials; }
};

TEST_F(LoginDialogFlow, OpenedByApplyTheUserIsAdminAndLocked) {
  ui::ModalResult result = Run(1, [](ui::CDialog& d) {
    EXPECT_EQ(hl::WindowOf(d.GetSafeHwnd())->text, "Login");
    EXPECT_EQ(hl::Text(d, IDC_LOGIN_USER), "admin");
    EXPECT_FALSE(hl::Enabled(d, IDC_LOGIN_USER));
    EXPECT_FALSE(hl::TypeText(d, IDC_LOGIN_USER, "root"));
    EXPECT_EQ(hl::Text(d, IDC_LOGIN_PASSWORD), "");
    EXPECT_TRUE(hl::QueryColours(d, 0, ui::CtlColorKind::Dialog).hasBrush);
    EXPECT_EQ(hl::QueryColours(d, -1, ui::CtlColorKind::Static).textColour, ui::Rgb(255, 255, 255));
    hl::TypeText(d, IDC_LOGIN_PASSWORD, "nas2admin");
    hl::Click(d, ui::kIdOk);
  });
  EXPECT_STREQ(Credentials().userName, "admin");
  EXPECT_STREQ(Credentials().password, "nas2admin");
  // OK ends the dialog the way Cancel does; callers look at the credentials only.
  EXPECT_EQ(result, ui::kIdCancel);
}

TEST_F(LoginDialogFlow, ForSharesTheUserFieldDependsOnTheWindowsVersion) {
  for (const char* version : {"98", "98se", "me"}) {
    UseWindows(version);
    Run(0, [version](ui::CDialog& d) {
      EXPECT_EQ(hl::Text(d, IDC_LOGIN_USER), "alice") << version;
      EXPECT_FALSE(hl::Enabled(d, IDC_LOGIN_USER)) << version;
      hl::TypeText(d, IDC_LOGIN_PASSWORD, "pw");
      hl::Click(d, ui::kIdOk);
    });
    EXPECT_STREQ(Credentials().userName, "alice") << version;
  }
  for (const char* version : {"2000", "xp", "vista", "nt4"}) {
    UseWindows(version);
    Run(0, [version](ui::CDialog& d) {
      EXPECT_EQ(hl::Text(d, IDC_LOGIN_USER), "") << version;
      EXPECT_TRUE(hl::Enabled(d, IDC_LOGIN_USER)) << version;
      hl::Click(d, ui::kIdCancel);
    });
  }
}

TEST_F(LoginDialogFlow, AWindowsUserNameTheCredentialsCannotHoldStaysEditable) {
  // Locked and too long, the dialog could never be confirmed; unreadable, it would be locked empty.
  UseWindows("98");
  for (const char* name : {"a-very-long-user-name", ""}) {
    machine.SetUserName(name);
    Run(0, [name](ui::CDialog& d) {
      EXPECT_EQ(hl::Text(d, IDC_LOGIN_USER), "") << name;
      EXPECT_TRUE(hl::Enabled(d, IDC_LOGIN_USER)) << name;
      hl::TypeText(d, IDC_LOGIN_USER, "bob");
      hl::Click(d, ui::kIdOk);
    });
    EXPECT_STREQ(Credentials().userName, "bob");
  }
}

TEST_F(LoginDialogFlow, NoTextOverSixteenCharactersCanBeEntered) {
  Run(0, [](ui::CDialog& d) {
    hl::TypeText(d, IDC_LOGIN_USER, "user-name-of-twenty");
    hl::TypeText(d, IDC_LOGIN_PASSWORD, "password-of-twenty-two");
    EXPECT_EQ(hl::Text(d, IDC_LOGIN_USER), "user-name-of-twe");
    EXPECT_EQ(hl::Text(d, IDC_LOGIN_PASSWORD), "password-of-twen");
    hl::Click(d, ui::kIdOk);
  });
  EXPECT_STREQ(Credentials().userName, "user-name-of-twe");
  EXPECT_STREQ(Credentials().password, "password-of-twen");
  EXPECT_TRUE(hl::MessageBoxes().empty());
}

TEST_F(LoginDialogFlow, WhatCanBeTypedIsWhatTheCredentialsHold) {
  // Sixteen characters of two bytes each pass the edit's character limit; the fields hold 16 bytes.
  std::string umlauts;
  for (int i = 0; i < 16; ++i) umlauts += "\xC3\xA4";
  Run(0, [&umlauts](ui::CDialog& d) {
    hl::TypeText(d, IDC_LOGIN_USER, umlauts);
    hl::TypeText(d, IDC_LOGIN_PASSWORD, "pw\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC");
    EXPECT_EQ(hl::Text(d, IDC_LOGIN_USER), umlauts.substr(0, 16));
    hl::Click(d, ui::kIdOk);
  });
  EXPECT_TRUE(hl::MessageBoxes().empty()) << "OK refused what could be typed";
  EXPECT_EQ(std::string(Credentials().userName), umlauts.substr(0, 16));
  // 2 + 4 * 3 bytes fit; the fifth euro sign would end inside its own bytes.
  EXPECT_EQ(std::string(Credentials().password), "pw\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC");
}

TEST_F(LoginDialogFlow, CancelLeavesTheCredentialsAsTheyWere) {
  for (bool closeBox : {false, true}) {
    Run(0, [closeBox](ui::CDialog& d) {
      hl::TypeText(d, IDC_LOGIN_USER, "mallory");
      hl::TypeText(d, IDC_LOGIN_PASSWORD, "guess");
      if (closeBox) {
        hl::CloseBox(d);
      } else {
        hl::Click(d, ui::kIdCancel);
      }
    });
    EXPECT_STREQ(Credentials().userName, "before");
    EXPECT_STREQ(Credentials().password, "old-secret");
  }
}

}  // namespace
}  // namespace sw::app
