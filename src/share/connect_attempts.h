#pragma once
// How Connect tries to map a share, by Windows version name: six silent attempts with what the
// credentials hold, and what comes before and after them.

#include <cstdint>
#include <functional>
#include <string>

#include "protocol/protocol_state.h"

namespace sw::share {

constexpr int kSilentConnectAttempts = 6;

enum class FinalConnectAttempt {
  None,              // "NT": the login dialog came first; six attempts are all
  AfterLoginDialog,  // show the login dialog, then one attempt with the credentials, flags 1
  Interactive,       // one attempt with empty user and password, flags 9: Windows prompts itself
};

struct ConnectPlan {
  bool loginDialogFirst = false;  // show the login dialog before the first attempt
  int silentAttempts = kSilentConnectAttempts;  // each with the credentials, flags 1
  FinalConnectAttempt finalAttempt = FinalConnectAttempt::AfterLoginDialog;
};

// "NT" anywhere in the name (NT 3.51, NT 4): login dialog first, no final attempt. Otherwise
// "Vista" anywhere: an interactive final attempt; else the login dialog and one more attempt.
ConnectPlan ConnectPlanFor(const std::string& windowsVersionName);

// Follows `plan`: every attempt is WNetAddConnection2A(remoteName, localName, password, user,
// flags) with the texts of `credentials` as they are at that moment (empty strings, never null
// pointers), one right after the other; `showLoginDialog` is called where the plan shows the login
// dialog (it may change `credentials`). Stops at the first success. Returns the last result code
// (kNoError on success).
std::uint32_t RunConnectAttempts(const ConnectPlan& plan, const char* remoteName, const char* localName,
                                 const protocol::LoginCredentials& credentials,
                                 const std::function<void()>& showLoginDialog);

}  // namespace sw::share
