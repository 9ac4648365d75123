#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "share/ansi_text.h"
#include "share/connect_attempts.h"
#include "share/drive_connection_table.h"
#include "share/network_drives.h"
#include "simulated_machine.h"
#include "share/share_names.h"

namespace sw::share {
namespace {

const char kFabric[] = R"({"devices": [
  {"name": "NAS1", "address": "10.77.0.10",
   "shares": ["Volume_1", {"name": "Secure", "user": "bob", "password": "s3cret"},
              "\u0424\u043e\u0442\u043e"]}]})";

using Kind = winsim::NetworkCall::Kind;

class ConnectTest : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    std::string error;
    ASSERT_TRUE(machine.SetFabricText(kFabric, &error)) << error;
  }

  // Runs the plan for `version`, the login dialog typing `typed` (user, password) when shown.
  std::uint32_t Connect(const std::string& version, const char* remote, const char* typedUser,
                        const char* typedPassword) {
    credentials_ = {};
    return RunConnectAttempts(ConnectPlanFor(version), remote, "Q:", credentials_, [&] {
      ++loginDialogs_;
      loginShownAfterAttempts_ = static_cast<int>(winsim::TheMachine().letters.Calls().size());
      std::strcpy(credentials_.userName, typedUser);
      std::strcpy(credentials_.password, typedPassword);
    });
  }

  protocol::LoginCredentials credentials_;
  int loginDialogs_ = 0;
  int loginShownAfterAttempts_ = -1;
};

TEST(ConnectPlan, ByVersionName) {
  for (const char* nt : {"Windows NT 4", "Windows NT 3.51"}) {
    ConnectPlan p = ConnectPlanFor(nt);
    EXPECT_TRUE(p.loginDialogFirst) << nt;
    EXPECT_EQ(p.finalAttempt, FinalConnectAttempt::None) << nt;
  }
  for (const char* older : {"Windows 2000", "Windows XP", "Windows 98 SE", "unknown Windows version"}) {
    ConnectPlan p = ConnectPlanFor(older);
    EXPECT_FALSE(p.loginDialogFirst) << older;
    EXPECT_EQ(p.finalAttempt, FinalConnectAttempt::AfterLoginDialog) << older;
  }
  ConnectPlan vista = ConnectPlanFor("Vista");
  EXPECT_FALSE(vista.loginDialogFirst);
  EXPECT_EQ(vista.finalAttempt, FinalConnectAttempt::Interactive);
  EXPECT_EQ(vista.silentAttempts, 6);
}

TEST_F(ConnectTest, OpenShareMapsAtTheFirstAttemptWithEmptyCredentials) {
  EXPECT_EQ(Connect("Windows XP", "\\\\NAS1\\volume_1", "x", "y"), kNoError);
  ASSERT_EQ(winsim::TheMachine().letters.Calls().size(), 1u);
  const auto call = winsim::TheMachine().letters.Calls()[0];
  EXPECT_EQ(call.kind, Kind::Add);
  EXPECT_EQ(call.remoteName, "\\\\NAS1\\volume_1");
  EXPECT_EQ(call.localName, "Q:");
  EXPECT_EQ(call.userName, "") << "empty strings, never null pointers";
  EXPECT_EQ(call.password, "");
  EXPECT_EQ(call.flags, kConnectUpdateProfile);
  EXPECT_EQ(loginDialogs_, 0);
  EXPECT_EQ(machine.letters.Connection('Q'), "\\\\NAS1\\volume_1");
  EXPECT_EQ(GetDriveTypeA("Q:"), kDriveRemote);
}

TEST_F(ConnectTest, XpFailsSixSilentAttemptsThenAsksThenTriesWhatWasTyped) {
  EXPECT_EQ(Connect("Windows XP", "\\\\NAS1\\Secure", "BOB", "s3cret"), kNoError);
  const auto calls = winsim::TheMachine().letters.Calls();
  ASSERT_EQ(calls.size(), 7u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(calls[i].userName, "");
    EXPECT_EQ(calls[i].flags, kConnectUpdateProfile);
    EXPECT_EQ(calls[i].result, kErrorInvalidPassword);
  }
  EXPECT_EQ(loginDialogs_, 1);
  EXPECT_EQ(loginShownAfterAttempts_, 6);
  EXPECT_EQ(calls[6].userName, "BOB");
  EXPECT_EQ(calls[6].password, "s3cret");
  EXPECT_EQ(calls[6].flags, kConnectUpdateProfile);
  EXPECT_EQ(calls[6].result, kNoError);

  // A wrong password typed: seven failures and the mapping is not made.
  machine.letters.SetConnection('Q', "");
  machine.letters.ClearCalls();
  EXPECT_EQ(Connect("Windows 2000", "\\\\NAS1\\Secure", "bob", "wrong"), kErrorInvalidPassword);
  EXPECT_EQ(winsim::TheMachine().letters.Calls().size(), 7u);
  EXPECT_EQ(machine.letters.Connection('Q'), "");
}

TEST_F(ConnectTest, VistaLetsWindowsPromptAndNeverShowsTheLoginDialog) {
  std::vector<std::string> prompted;
  machine.letters.SetCredentialPrompt([&](const std::string& remote, std::string& user, std::string& password) {
    prompted.push_back(remote);
    user = "bob";
    password = "s3cret";
    return true;
  });
  EXPECT_EQ(Connect("Vista", "\\\\NAS1\\Secure", "never", "used"), kNoError);
  const auto calls = winsim::TheMachine().letters.Calls();
  ASSERT_EQ(calls.size(), 7u);
  EXPECT_EQ(calls[5].flags, kConnectUpdateProfile);
  EXPECT_EQ(calls[6].flags, 9u);
  EXPECT_EQ(calls[6].userName, "");
  EXPECT_EQ(calls[6].password, "");
  EXPECT_EQ(loginDialogs_, 0);
  EXPECT_EQ(prompted, std::vector<std::string>{"\\\\NAS1\\Secure"});

  // The user cancels Windows' prompt: the mapping fails.
  machine.letters.SetConnection('Q', "");
  machine.letters.SetCredentialPrompt(nullptr);
  EXPECT_EQ(Connect("Vista", "\\\\NAS1\\Secure", "never", "used"), kErrorCancelled);
}

TEST_F(ConnectTest, Nt4ShowsTheLoginDialogFirstAndMakesSixAttemptsOnly) {
  EXPECT_EQ(Connect("Windows NT 4", "\\\\NAS1\\Secure", "bob", "s3cret"), kNoError);
  EXPECT_EQ(loginShownAfterAttempts_, 0);
  ASSERT_EQ(winsim::TheMachine().letters.Calls().size(), 1u);
  EXPECT_EQ(winsim::TheMachine().letters.Calls()[0].userName, "bob");

  machine.letters.SetConnection('Q', "");
  machine.letters.ClearCalls();
  EXPECT_EQ(Connect("Windows NT 4", "\\\\NAS1\\Secure", "bob", "bad"), kErrorInvalidPassword);
  EXPECT_EQ(winsim::TheMachine().letters.Calls().size(), 6u);
  EXPECT_EQ(loginDialogs_, 2);
}

TEST_F(ConnectTest, SimulatedNetworkRefusesWhatWindowsRefuses) {
  EXPECT_EQ(WNetAddConnection2A("\\\\NAS9\\Volume_1", "Q:", "", "", 1), kErrorBadNetPath);
  EXPECT_EQ(WNetAddConnection2A("\\\\NAS1\\Nope", "Q:", "", "", 1), kErrorBadNetName);
  EXPECT_EQ(WNetAddConnection2A("\\\\10.77.0.10\\Volume_1", "C:", "", "", 1), kErrorAlreadyAssigned)
      << "C: is the simulated local disk";
  EXPECT_EQ(WNetAddConnection2A("\\\\10.77.0.10\\Volume_1", "Q", "", "", 1), kErrorBadDevice);
  EXPECT_EQ(WNetAddConnection2A("\\\\10.77.0.10\\Volume_1", "q:", "", "", 1), kNoError);
  EXPECT_EQ(WNetAddConnection2A("\\\\NAS1\\Volume_1", "Q:", "", "", 1), kErrorAlreadyAssigned);

  char remote[8];
  std::uint32_t length = sizeof remote;
  EXPECT_EQ(WNetGetConnectionA("Q:", remote, length), kErrorMoreData);
  EXPECT_EQ(length, std::strlen("\\\\10.77.0.10\\Volume_1") + 1);
  EXPECT_EQ(WNetGetConnectionA("R:", remote, length), kErrorNotConnected);

  EXPECT_EQ(WNetCancelConnection2A("R:", 1, true), kErrorNotConnected);
  EXPECT_EQ(WNetCancelConnection2A("Q:", 1, true), kNoError);
  EXPECT_EQ(GetDriveTypeA("Q:"), kDriveNoRootDir);
  const auto last = winsim::TheMachine().letters.Calls().back();
  EXPECT_EQ(last.kind, Kind::Cancel);
  EXPECT_EQ(last.localName, "Q:");
  EXPECT_TRUE(last.force);
}

TEST_F(ConnectTest, NonLatinShareNameMapsEndToEnd) {
  // The device sends the name in UTF-8; the simulated ANSI page is UTF-8, so nothing becomes '?'.
  const std::string utf8 = "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE";
  std::string ansi;
  ASSERT_TRUE(Utf8ToAnsi(utf8, ansi));
  EXPECT_EQ(ansi, utf8);
  std::string remote;
  ASSERT_TRUE(BuildRemoteName("NAS1", ansi, remote));
  EXPECT_EQ(Connect("Windows XP", remote.c_str(), "", ""), kNoError);

  RefreshDriveConnections();
  EXPECT_EQ(LocationOfVolume(DriveConnectionTable, "NAS1", "10.77.0.10", ansi.c_str(), true), "Q:");

  // Text that is not UTF-8 is reported as lossy, so it is never used to name a share.
  EXPECT_FALSE(Utf8ToAnsi("Vol\xFF", ansi));
  EXPECT_EQ(ansi, "Vol?");
  EXPECT_FALSE(Utf8ToAnsi("\xED\xA0\x80", ansi)) << "an encoded surrogate is not UTF-8";
}

TEST(ShareNames, DeviceSuppliedNamesCannotLeaveTheShare) {
  // Also the invisible and reordering ones: C1 CSI as UTF-8, RIGHT-TO-LEFT OVERRIDE, an isolate.
  for (const char* bad : {"", ".", "..", "a\\b", "..\\..\\C$", "a/b", "tab\there", "nl\n", "del\x7F",
                          "csi\xC2\x9B", "txt.\xE2\x80\xAE" "exe", "iso\xE2\x81\xA6" "x"}) {
    EXPECT_FALSE(IsSafeNetworkName(bad)) << bad;
    std::string out = "untouched";
    EXPECT_FALSE(BuildRemoteName("NAS1", bad, out)) << bad;
    EXPECT_EQ(out, "untouched");
  }
  for (const char* good : {"Volume_1", "My Music", "a.b", "C$", "\xC3\xA4"}) EXPECT_TRUE(IsSafeNetworkName(good)) << good;

  std::string out;
  EXPECT_FALSE(BuildRemoteName("NAS\\X", "Volume_1", out)) << "the device name is checked too";
  // '@' and ':' would give the connection to another provider or port of another host.
  for (const char* bad : {"host@SSL@443", "host@8080", "host:80", "a b", "50%", "\"q\"", "'q'", "a*b", "a|b",
                          "nbsp\xC2\xA0" "x", "NAS\xE2\x80\x8F" "x"}) {
    EXPECT_FALSE(IsSafeServerName(bad)) << bad;
    EXPECT_FALSE(BuildRemoteName(bad, "Volume_1", out)) << bad;
  }
  for (const char* good : {"NAS1", "HALDEN-NAS2", "nas.local", "my_nas", "B\xC3\xBCro"}) {
    EXPECT_TRUE(IsSafeServerName(good)) << good;
  }
  ASSERT_TRUE(BuildRemoteName("NAS1", "Volume_1", out));
  EXPECT_EQ(out, "\\\\NAS1\\Volume_1");
  // 255 characters fit the 256-byte remote name; 256 do not.
  EXPECT_TRUE(BuildRemoteName("N", std::string(251, 's'), out));
  EXPECT_EQ(out.size(), 255u);
  EXPECT_FALSE(BuildRemoteName("N", std::string(252, 's'), out));
}

}  // namespace
}  // namespace sw::share
