// Target login (see target_login.h).

#include "iscsi/target_login.h"

#include <tuple>
#include <utility>

#include "fabric/fabric.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/target_logout.h"
#include "iscsi/wql_queries.h"

namespace sw::iscsi {

namespace {

// `text` split at the first `separator`: before it and after it; without one, nothing before and
// the whole text after.
std::pair<std::string, std::string> SplitAt(const std::string& text, char separator) {
  const std::size_t at = text.find(separator);
  if (at == std::string::npos) return {std::string(), text};
  return {text.substr(0, at), text.substr(at + 1)};
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsTrue(const std::string& value) { return LowerAscii(value) == "true"; }

ChapCheck Refusal(ChapVerdict verdict, const char* message, bool inStatic, bool clearUser, bool clearPassword) {
  return ChapCheck{verdict, message, inStatic, clearUser, clearPassword};
}

// A name from the device or the initiator that fails the grammar could not be put in a query or a
// command line: the user is told instead of being shown a login that never ran.
bool UsableTarget(const std::string& target, const LoginRequest& request, TargetLoginActions& actions) {
  if (IsValidIscsiName(target)) return true;
  actions.ShowMessage(kInvalidTargetNameMessage, request.productCaption, kMessageExclamation);
  return false;
}

std::optional<std::string> InitiatorOrMessage(CWmiWrapper& wmi, const LoginRequest& request,
                                              TargetLoginActions& actions) {
  std::optional<std::string> initiator = FirstInitiatorName(wmi);
  if (!initiator) actions.ShowMessage(kNoInitiatorNameMessage, request.productCaption, kMessageExclamation);
  return initiator;
}

// Steps 3 to 5. False when the login could not be attempted (no initiator name): the check that
// would judge it is skipped and the list stays as it is.
bool LoginPart(const std::string& target, std::optional<std::string> initiator, const LoginRequest& request,
               LoginState& state, CWmiWrapper& wmi, TargetLoginActions& actions) {
  const std::optional<TargetEntryPieces> entry = FindTargetEntry(actions.RefreshTargetEntries(), target);
  if (entry) state.ChapRequired = fabric::AuthAsksForChap(entry->authentication) ? 1 : 0;
  if (state.ChapRequired == 1) {
    actions.RunChapDialog(entry ? entry->user : std::string(), entry ? entry->secretBase64 : std::string());
    return true;
  }
  if (!initiator) initiator = InitiatorOrMessage(wmi, request, actions);
  if (!initiator) return false;
  RunLoginCommands(target, *initiator);
  return true;
}

void CheckPart(const std::string& target, const LoginRequest& request, LoginState& state, CWmiWrapper& wmi,
               TargetLoginActions& actions) {
  const TextList active = ReadActive(wmi, target);
  if (active.empty()) {
    if (state.ChapRequired == 0) {
      // The initiator may report the connection a moment late: one more look before giving up.
      if (!ReadActive(wmi, target).empty()) return;
      actions.ShowMessage(kLoginFailedMessage, kLoginFailedCaption, kMessageExclamation);
      RemovePersistentLogins(target, wmi, request.selectedDeviceIp);
      actions.StartRefreshTimer(true);
    } else if (state.ChapLoginResult == 1) {
      actions.ShowMessage(kLoginFailedMessage, kLoginFailedCaption, kMessageExclamation);
      actions.StartRefreshTimer(true);
    }
    return;
  }
  actions.Sleep(kLoginSettleMs);
  if (actions.CheckTargetDisk(target) == 1) {
    const bool finished = actions.RunPartitionWizard(target);
    actions.StartRefreshTimer(false);
    if (finished) actions.OpenDiskManager();
  } else if (request.deferred == 0) {
    actions.StartRefreshTimer(true);
    RunCommand(BindPersistentVolumesCommand());
  } else if (IsTrue(active.front())) {
    actions.StartRefreshTimer(true);
  }
}

}  // namespace

TargetEntryPieces SplitTargetEntry(const std::string& entry) {
  TargetEntryPieces pieces;
  std::string rest, credentials;
  std::tie(pieces.name, rest) = SplitAt(entry, '|');
  std::tie(pieces.authentication, credentials) = SplitAt(rest, '@');
  std::tie(pieces.user, pieces.secretBase64) = SplitAt(credentials, '$');
  return pieces;
}

std::string DecodeBase64(const std::string& text) {
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    const int value = Base64Value(c);
    if (value < 0) continue;
    bits = (bits << 6) | static_cast<unsigned>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xffu);
    }
  }
  return out;
}

std::optional<TargetEntryPieces> FindTargetEntry(const std::vector<std::string>& entries, const std::string& target) {
  const std::string wanted = LowerAscii(target);
  for (const std::string& entry : entries) {
    TargetEntryPieces pieces = SplitTargetEntry(entry);
    // An entry without '|' names no target, even when the target name is empty.
    if (entry.find('|') != std::string::npos && LowerAscii(pieces.name) == wanted) return pieces;
  }
  return std::nullopt;
}

ChapCheck CheckChapInput(const std::string& user, const std::string& password, const std::string& expectedUser,
                         const std::string& expectedSecret) {
  if (!password.empty() && password.size() < kChapPasswordMinimum) {
    return Refusal(ChapVerdict::PasswordLength, kChapPasswordLengthMessage, false, false, true);
  }
  if (user.empty()) return Refusal(ChapVerdict::UserEmpty, kChapUserEmptyMessage, true, false, true);
  if (password.empty()) return Refusal(ChapVerdict::PasswordEmpty, kChapPasswordEmptyMessage, true, false, false);
  if (user != expectedUser) return Refusal(ChapVerdict::UserError, kChapUserErrorMessage, false, true, false);
  if (password != expectedSecret) {
    return Refusal(ChapVerdict::PasswordError, kChapPasswordErrorMessage, false, false, true);
  }
  return ChapCheck{};
}

const char* ChapDeviceValueRefusal(const std::string& user, const std::string& secret) {
  for (const std::string* value : {&user, &secret}) {
    for (char c : *value) {
      if (static_cast<unsigned char>(c) >= 0x80) return kChapDeviceValueNonAsciiMessage;
    }
  }
  if (!IsSafeChapValue(user) || !IsSafeChapValue(secret)) return kChapDeviceValueRefusedMessage;
  return nullptr;
}

std::optional<std::string> FirstInitiatorName(CWmiWrapper& wmi) {
  TextList names;
  wmi.QueryPropertyList(kInitiatorClass, "InitiatorName", names);
  if (names.empty() || names.front().empty()) return std::nullopt;
  return names.front();
}

TextList ReadActive(CWmiWrapper& wmi, const std::string& target) {
  TextList active;
  if (auto condition = ConnectionStatisticsCondition(target)) wmi.QueryPropertyList(*condition, "Active", active);
  return active;
}

bool RunLoginCommands(const std::string& target, const std::string& initiator) {
  auto login = LoginTargetCommand(target, initiator);
  auto persistent = PersistentLoginTargetCommand(target, initiator);
  if (!login || !persistent) return false;
  RunCommand(*login);
  RunCommand(*persistent);
  return true;
}

bool RunChapLoginCommands(const std::string& target, const std::string& initiator, const std::string& user,
                          const std::string& secret) {
  auto login = ChapLoginTargetCommand(target, initiator, user, secret);
  auto persistent = ChapPersistentLoginTargetCommand(target, initiator, user, secret);
  if (!login || !persistent) return false;
  RunCommand(*login);
  RunCommand(*persistent);
  return true;
}

void LoginTargets(const LoginRequest& request, const TargetListState& targets, LoginState& state, CWmiWrapper& wmi,
                  TargetLoginActions& actions) {
  std::string target;
  if (request.deferred == 1) {
    target = targets.CurrentTarget;
    if (!UsableTarget(target, request, actions)) return;
    const TextList active = ReadActive(wmi, target);
    if (!active.empty() && IsTrue(active.front())) {
      // Already connected: the initiator only has to bind its volumes again.
      actions.StartRefreshTimer(false);
      actions.EnableManagement();
      RunCommand(BindPersistentVolumesCommand());
      return;
    }
    if (active.empty() && !LoginPart(target, std::nullopt, request, state, wmi, actions)) return;
  } else {
    std::optional<std::string> initiator = InitiatorOrMessage(wmi, request, actions);
    if (!initiator) return;
    if (request.selectedRow < 0 || static_cast<std::size_t>(request.selectedRow) >= targets.TargetNames.size()) return;
    target = targets.TargetNames[static_cast<std::size_t>(request.selectedRow)];
    if (!UsableTarget(target, request, actions)) return;
    if (!LoginPart(target, initiator, request, state, wmi, actions)) return;
  }
  CheckPart(target, request, state, wmi, actions);
}

}  // namespace sw::iscsi
