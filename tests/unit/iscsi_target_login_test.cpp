#include "fabric/fabric.h"
#include "iscsi/target_login.h"

#include <gtest/gtest.h>

#include "fabric/fabric.h"
#include "iscsi_sim_fixture.h"
#include "iscsi/wql_queries.h"

namespace sw::iscsi {
namespace {

// Each separator missing on its own and together: the device's entry may be malformed, and a piece
// read from the wrong side would put the secret in the user or match the wrong target.
TEST(TargetEntry, SplitsAtTheFirstOfEachSeparator) {
  struct Case {
    const char* entry;
    TargetEntryPieces want;
  };
  const Case cases[] = {
      {"iqn.a:t|chap@user$c2VjcmV0", {"iqn.a:t", "chap", "user", "c2VjcmV0"}},
      {"iqn.a:t|chap@u$s$t@x|y", {"iqn.a:t", "chap", "u", "s$t@x|y"}},
      {"iqn.a:t|chap@c2VjcmV0", {"iqn.a:t", "chap", "", "c2VjcmV0"}},
      {"iqn.a:t|user$secret", {"iqn.a:t", "", "user", "secret"}},
      {"chap@user$secret", {"", "chap", "user", "secret"}},
      {"iqn.a:t|", {"iqn.a:t", "", "", ""}},
      {"", {"", "", "", ""}},
  };
  for (const Case& c : cases) {
    const TargetEntryPieces got = SplitTargetEntry(c.entry);
    EXPECT_EQ(c.want.name, got.name) << c.entry;
    EXPECT_EQ(c.want.authentication, got.authentication) << c.entry;
    EXPECT_EQ(c.want.user, got.user) << c.entry;
    EXPECT_EQ(c.want.secretBase64, got.secretBase64) << c.entry;
  }
  EXPECT_TRUE(fabric::AuthAsksForChap("CHAP"));
  EXPECT_FALSE(fabric::AuthAsksForChap("chap "));

  // Matching ignores case; an entry without '|' matches nothing, not even an empty name.
  const std::vector<std::string> entries = {"chap@u$s", "IQN.A:T|none@$", "iqn.a:t|chap@u$s"};
  ASSERT_TRUE(FindTargetEntry(entries, "iqn.a:t"));
  EXPECT_EQ("none", FindTargetEntry(entries, "iqn.a:t")->authentication);
  EXPECT_FALSE(FindTargetEntry(entries, ""));
}

// The device encodes with the standard alphabet; the decoder must give back every byte, skip what
// is not in the alphabet (line breaks, blanks) and stop at the padding.
TEST(TargetEntry, Base64DecodesWhatTheDeviceEncodes) {
  const std::vector<std::string> plains = {"", "a", "ab", "abc", "chapsecret12", "sixteen-chars!!!",
                                          std::string("\0\xff\x7f", 3)};
  for (const std::string& plain : plains) {
    EXPECT_EQ(plain, DecodeBase64(fabric::EncodeBase64(plain))) << plain;
  }
  EXPECT_EQ("chapsecret12", DecodeBase64("Y2hh\r\ncHNl Y3Jl*dDEy"));
  EXPECT_EQ("ab", DecodeBase64("YWI=YWJj"));
  EXPECT_EQ("", DecodeBase64("Y"));
}

// The dialog's checks in their order: the first that fails decides what the user is told and which
// edit is emptied.
TEST(ChapInput, ChecksInOrder) {
  const std::string user = "nas2chap", secret = "chapsecret12";
  struct Case {
    std::string user, password;
    ChapVerdict verdict;
    bool inStatic, clearUser, clearPassword;
  };
  const Case cases[] = {
      {"", "short", ChapVerdict::PasswordLength, false, false, true},
      {user, "chapsecret1", ChapVerdict::PasswordLength, false, false, true},
      {"", "", ChapVerdict::UserEmpty, true, false, true},
      {user, "", ChapVerdict::PasswordEmpty, true, false, false},
      {"wrong", "chapsecret12", ChapVerdict::UserError, false, true, false},
      {user, "chapsecret13", ChapVerdict::PasswordError, false, false, true},
      // What could not stand in a command line differs from the device's values, known to be usable.
      {"nas\"2", secret, ChapVerdict::UserError, false, true, false},
      {user, "chapsecret1\xe9", ChapVerdict::PasswordError, false, false, true},
      {user, secret, ChapVerdict::Accept, false, false, false},
  };
  for (const Case& c : cases) {
    const ChapCheck check = CheckChapInput(c.user, c.password, user, secret);
    SCOPED_TRACE(c.user + " / " + c.password);
    EXPECT_EQ(c.verdict, check.verdict);
    EXPECT_EQ(c.inStatic, check.inStatic);
    EXPECT_EQ(c.clearUser, check.clearUser);
    EXPECT_EQ(c.clearPassword, check.clearPassword);
    EXPECT_EQ(c.verdict == ChapVerdict::Accept, check.message == nullptr);
  }

  // The device's own values decide whether the dialog is worth showing at all.
  EXPECT_EQ(nullptr, ChapDeviceValueRefusal("o'neil", "it's-a-secret"));
  EXPECT_STREQ(kChapDeviceValueNonAsciiMessage, ChapDeviceValueRefusal("nas2chap", "caf\xe9-secret12"));
  EXPECT_STREQ(kChapDeviceValueRefusedMessage, ChapDeviceValueRefusal("nas\"2", secret));
  EXPECT_STREQ(kChapDeviceValueRefusedMessage, ChapDeviceValueRefusal(user, "chapsecret12\\"));
}

}  // namespace
}  // namespace sw::iscsi

namespace sw::iscsi {
namespace {

// Counts the connection-statistics reads of the real query path.
class CountingServices : public WmiServices {
 public:
  explicit CountingServices(int& activeReads) : inner_(ConnectWmiServices("wmi", "")), activeReads_(activeReads) {}
  std::int32_t ExecQuery(const std::string& wql, std::unique_ptr<WmiEnumerator>& results) override {
    if (wql.find(kConnectionStatisticsClass) != std::string::npos) ++activeReads_;
    return inner_->ExecQuery(wql, results);
  }
  std::int32_t CreateInstanceWithProperty(const std::string& c, const std::string& p, const std::string& v) override {
    return inner_->CreateInstanceWithProperty(c, p, v);
  }

 private:
  std::unique_ptr<WmiServices> inner_;
  int& activeReads_;
};

class RecordingActions : public TargetLoginActions {
 public:
  std::vector<std::string> entries;
  int chapDialogResult = 0;  // what the scripted CHAP dialog leaves in ChapLoginResult
  LoginState* state = nullptr;
  std::vector<std::string> messages;
  int timers = 0, chapDialogs = 0;

  std::vector<std::string> RefreshTargetEntries() override { return entries; }
  void RunChapDialog(const std::string&, const std::string&) override {
    ++chapDialogs;
    state->ChapLoginResult = chapDialogResult;
  }
  void ShowMessage(const std::string& text, const std::string& caption, unsigned) override {
    messages.push_back(caption + ": " + text);
  }
  void StartRefreshTimer(bool) override { ++timers; }
  void EnableManagement() override {}
  int CheckTargetDisk(const std::string&) override { return 0; }
  bool RunPartitionWizard(const std::string&) override { return false; }
  void OpenDiskManager() override {}
  void Sleep(unsigned) override {}
};

class LoginJudgement : public IscsiSim {};

// A login the initiator refused is judged by the connection statistics alone: without CHAP it is
// read twice and the persistent login the attempt left is removed; with CHAP it is read once, and
// a cancelled dialog ends silently. Without an initiator name nothing is run at all.
TEST_F(LoginJudgement, FailedLoginsAndTheirCleanUp) {
  struct Case {
    const char* name;
    const char* target;
    int chapDialogResult;
    bool initiatorNamed;
    int activeReads;
    std::vector<std::string> messages;
    int timers;
  };
  const std::string failed = std::string("Warning: ") + kLoginFailedMessage;
  const Case cases[] = {
      {"plain, target unknown to the initiator", kPlain, 0, true, 2, {failed}, 1},
      {"chap, dialog done but no connection", kChap, 1, true, 1, {failed}, 1},
      {"chap, dialog cancelled", kChap, 0, true, 1, {}, 0},
      {"no initiator name", kPlain, 0, false, 0, {std::string("Seekwell: ") + kNoInitiatorNameMessage}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    if (!c.initiatorNamed) machine.initiator.SetInitiatorNames({});
    int activeReads = 0;
    CWmiWrapper wmi(std::make_unique<CountingServices>(activeReads));
    LoginState state;
    RecordingActions actions;
    actions.state = &state;
    actions.chapDialogResult = c.chapDialogResult;
    const fabric::Fabric f = machine.Fabric();
    for (const auto& t : f.FindByAddress(kDevice)->targets) actions.entries.push_back(fabric::TargetEntryText(t));
    TargetListState targets;
    targets.TargetNames = {c.target};
    LoginRequest request{0, 0, kDevice, "Seekwell"};

    LoginTargets(request, targets, state, wmi, actions);
    EXPECT_EQ(c.activeReads, activeReads);
    EXPECT_EQ(c.messages, actions.messages);
    EXPECT_EQ(c.timers, actions.timers);
    EXPECT_TRUE(machine.initiator.Snapshot().persistentLogins.empty()) << "none left behind";
    EXPECT_EQ(c.target == kPlain && c.initiatorNamed, !machine.initiator.ToolRuns().empty()) << "only the plain login runs here";
    EXPECT_EQ(c.target == kChap ? 1 : 0, actions.chapDialogs);
  }
}

}  // namespace
}  // namespace sw::iscsi
