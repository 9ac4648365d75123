// The initiator tool's command lines (see command_lines.h).

#include "iscsi/command_lines.h"

#include "iscsi/iscsi_name.h"

namespace sw::iscsi {

namespace {

bool HasControlByteOrQuote(const std::string& value) {
  for (char ch : value) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7f || c == '"') return true;
  }
  return false;
}

bool HasForbiddenByte(const std::string& value) {
  return HasControlByteOrQuote(value) || value.find('\'') != std::string::npos;
}

bool SafeTarget(const std::string& target) { return IsValidIscsiName(target) && IsSafeUnquotedValue(target); }

std::string Quoted(const std::string& value) { return "\"" + value + "\""; }

// The twelve '*' and the mapping count of a login without CHAP; the eight '*', the quoted
// credentials, the authentication type, key and mapping count of one with CHAP.
constexpr const char* kNoChapTail = " * * * * * * * * * * * * 0";

std::optional<std::string> Login(const char* word, const std::string& target, const std::string& initiator) {
  if (!SafeTarget(target) || !IsSafeUnquotedValue(initiator)) return std::nullopt;
  return std::string("iscsicli ") + word + " " + target + " t * * " + initiator + kNoChapTail;
}

std::optional<std::string> ChapLogin(const char* word, const std::string& target, const std::string& initiator,
                                     const std::string& user, const std::string& secret) {
  if (!SafeTarget(target) || !IsSafeUnquotedValue(initiator) || !IsSafeChapValue(user) ||
      !IsSafeChapValue(secret)) {
    return std::nullopt;
  }
  return std::string("iscsicli ") + word + " " + target + " t * * " + initiator + " * * * * * * * * " +
         Quoted(user) + " " + Quoted(secret) + " 1 * 0";
}

}  // namespace

bool IsSafeUnquotedValue(const std::string& value) {
  if (value.empty() || HasForbiddenByte(value)) return false;
  return value.find(' ') == std::string::npos;
}

bool IsSafeQuotedValue(const std::string& value) {
  if (HasForbiddenByte(value)) return false;
  return value.empty() || value.back() != '\\';
}

bool IsSafeChapValue(const std::string& value) {
  for (char ch : value) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c > 0x7e) return false;
  }
  if (HasControlByteOrQuote(value)) return false;
  return value.empty() || value.back() != '\\';
}

std::string ListTargetsCommand() { return "iscsicli ListTargets t"; }

std::optional<std::string> RemoveTargetPortalCommand(const std::string& portalAddress) {
  if (!IsSafeUnquotedValue(portalAddress)) return std::nullopt;
  return "iscsicli RemoveTargetPortal " + portalAddress + " " + kPortalSocket;
}

std::string ClearPersistentDevicesCommand() { return "iscsicli ClearPersistentDevices "; }

std::optional<std::string> LoginTargetCommand(const std::string& target, const std::string& initiator) {
  return Login("logintarget", target, initiator);
}

std::optional<std::string> PersistentLoginTargetCommand(const std::string& target, const std::string& initiator) {
  return Login("persistentlogintarget", target, initiator);
}

std::optional<std::string> ChapLoginTargetCommand(const std::string& target, const std::string& initiator,
                                                  const std::string& user, const std::string& secret) {
  return ChapLogin("logintarget", target, initiator, user, secret);
}

std::optional<std::string> ChapPersistentLoginTargetCommand(const std::string& target, const std::string& initiator,
                                                            const std::string& user, const std::string& secret) {
  return ChapLogin("persistentlogintarget", target, initiator, user, secret);
}

std::string BindPersistentVolumesCommand() { return "iscsicli BindPersistentVolumes "; }

std::optional<std::string> LogoutTargetCommand(const std::string& sessionId) {
  if (!IsSafeUnquotedValue(sessionId)) return std::nullopt;
  return "iscsicli logouttarget " + sessionId;
}

std::optional<std::string> RemovePersistentTargetCommand(const std::string& initiatorInstance,
                                                         const std::string& target,
                                                         const std::string& portalAddress) {
  // The target is quoted here, but it is still a target name and must pass the grammar.
  if (!IsSafeQuotedValue(initiatorInstance) || initiatorInstance.empty() || !SafeTarget(target) ||
      !IsSafeQuotedValue(portalAddress) || portalAddress.empty()) {
    return std::nullopt;
  }
  return std::string("iscsicli removepersistenttarget ") + " " + Quoted(initiatorInstance) + " " + Quoted(target) +
         " * " + Quoted(portalAddress) + " " + kPortalSocket;
}

std::optional<std::string> RemovePersistentDeviceCommand(const std::string& volumePath) {
  if (!IsSafeUnquotedValue(volumePath)) return std::nullopt;
  return "iscsicli RemovePersistentDevice " + volumePath;
}

std::optional<std::string> AddPersistentDeviceCommand(const std::string& volumePath) {
  if (!IsSafeUnquotedValue(volumePath)) return std::nullopt;
  return "iscsicli AddPersistentDevice " + volumePath;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> args;
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  while (true) {
    while (i < n && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    if (i >= n) break;
    std::string arg;
    bool inQuotes = false;
    while (i < n) {
      char c = commandLine[i];
      if (!inQuotes && (c == ' ' || c == '\t')) break;
      if (c == '\\') {
        std::size_t backslashes = 0;
        while (i < n && commandLine[i] == '\\') {
          ++backslashes;
          ++i;
        }
        if (i < n && commandLine[i] == '"') {
          arg.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(backslashes, '\\');
        }
        continue;
      }
      if (c == '"') {
        // Inside quotes, a doubled quote stands for one literal quote (later C runtimes).
        if (inQuotes && i + 1 < n && commandLine[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        inQuotes = !inQuotes;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

}  // namespace sw::iscsi
