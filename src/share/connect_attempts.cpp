#include "share/connect_attempts.h"

#include "share/network_drives.h"

namespace sw::share {

ConnectPlan ConnectPlanFor(const std::string& windowsVersionName) {
  ConnectPlan plan;
  if (windowsVersionName.find("NT") != std::string::npos) {
    plan.loginDialogFirst = true;
    plan.finalAttempt = FinalConnectAttempt::None;
  } else if (windowsVersionName.find("Vista") != std::string::npos) {
    plan.finalAttempt = FinalConnectAttempt::Interactive;
  } else {
    plan.finalAttempt = FinalConnectAttempt::AfterLoginDialog;
  }
  return plan;
}

std::uint32_t RunConnectAttempts(const ConnectPlan& plan, const char* remoteName, const char* localName,
                                 const protocol::LoginCredentials& credentials,
                                 const std::function<void()>& showLoginDialog) {
  auto attempt = [&](const char* password, const char* userName, std::uint32_t flags) {
    return WNetAddConnection2A(remoteName, localName, password, userName, flags);
  };
  if (plan.loginDialogFirst && showLoginDialog) showLoginDialog();
  std::uint32_t result = kErrorNotConnected;
  for (int i = 0; i < plan.silentAttempts; ++i) {
    result = attempt(credentials.password, credentials.userName, kConnectUpdateProfile);
    if (result == kNoError) return result;
  }
  switch (plan.finalAttempt) {
    case FinalConnectAttempt::None:
      break;
    case FinalConnectAttempt::AfterLoginDialog:
      if (showLoginDialog) showLoginDialog();
      result = attempt(credentials.password, credentials.userName, kConnectUpdateProfile);
      break;
    case FinalConnectAttempt::Interactive:
      result = attempt("", "", kConnectInteractive | kConnectUpdateProfile);
      break;
  }
  return result;
}

}  // namespace sw::share
