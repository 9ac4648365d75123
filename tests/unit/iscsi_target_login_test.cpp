#include "iscsi/target_login.h"

#include <gtest/gtest.h>

#include "fabric/fabric.h"

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
  EXPECT_TRUE(IsChapAuthentication("CHAP"));
  EXPECT_FALSE(IsChapAuthentication("chap "));

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
      {"nas\"2", secret, ChapVerdict::TypedRefused, false, true, false},
      {user, "chapsecret1\x01", ChapVerdict::TypedRefused, false, false, true},
      {user, "chapsecret1\xe9", ChapVerdict::TypedRefused, false, false, true},
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
}

}  // namespace
}  // namespace sw::iscsi
