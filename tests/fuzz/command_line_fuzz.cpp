// The initiator's command lines as a property: whatever values come from a device, WMI or the
// user, a line a builder accepts splits back, by the Windows argument rules, into exactly the
// arguments meant, no more and no fewer; and every WQL condition holds exactly the two quotes
// around its value. The splitter is checked against a second one written here from the rules.

#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <string>
#include <vector>

#include "fuzz_client.h"
#include "iscsi/command_lines.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/wql_queries.h"

namespace {

using sw::protocol::fuzz::Require;
using Args = std::vector<std::string>;
using namespace sw::iscsi;

// The Microsoft C start-up code's rules for the arguments after the program name: blanks and tabs
// separate outside quotes; 2n backslashes and a quote give n backslashes and toggle quoting, 2n+1
// give n backslashes and a literal quote; inside quotes "" is a literal quote; other backslashes
// stand for themselves.
Args ReferenceSplit(const std::string& line) {
  Args args;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  std::size_t slashes = 0;
  auto flushSlashes = [&] {
    current.append(slashes, '\\');
    slashes = 0;
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\\') {
      ++slashes;
      inArgument = true;
      continue;
    }
    if (c == '"') {
      current.append(slashes / 2, '\\');
      const bool literal = slashes % 2 == 1;
      slashes = 0;
      inArgument = true;
      if (literal) {
        current += '"';
      } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        current += '"';
        ++i;
      } else {
        quoted = !quoted;
      }
      continue;
    }
    flushSlashes();
    if ((c == ' ' || c == '\t') && !quoted) {
      if (inArgument) args.push_back(current);
      current.clear();
      inArgument = false;
      continue;
    }
    current += c;
    inArgument = true;
  }
  flushSlashes();
  if (inArgument) args.push_back(current);
  return args;
}

void CheckLine(const std::optional<std::string>& line, const Args& meant) {
  if (!line) return;
  Require(SplitCommandLine(*line) == meant);
  Require(ReferenceSplit(*line) == meant);
}

Args Stars(std::size_t n) { return Args(n, "*"); }

Args Concat(std::initializer_list<Args> parts) {
  Args out;
  for (const Args& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

void CheckCondition(const std::optional<std::string>& condition, const std::string& head, const std::string& value) {
  if (!condition) return;
  Require(*condition == head + " = '" + value + "'");
  std::size_t quotes = 0;
  for (char c : *condition) quotes += c == '\'' ? 1 : 0;
  Require(quotes == 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string target = in.ConsumeRandomLengthString(240);
  const std::string initiator = in.ConsumeRandomLengthString(80);
  const std::string user = in.ConsumeRandomLengthString(20);
  const std::string secret = in.ConsumeRandomLengthString(20);
  const std::string value = in.ConsumeRandomLengthString(80);  // portal, session id, instance, volume
  const std::string other = in.ConsumeRemainingBytesAsString();

  // The splitter itself, on any text: the two readings agree.
  Require(SplitCommandLine(other) == ReferenceSplit(other));

  const Args noChap = Concat({{"t", "*", "*", initiator}, Stars(12), {"0"}});
  CheckLine(LoginTargetCommand(target, initiator), Concat({{"iscsicli", "logintarget", target}, noChap}));
  CheckLine(PersistentLoginTargetCommand(target, initiator),
            Concat({{"iscsicli", "persistentlogintarget", target}, noChap}));
  const Args chap = Concat({{"t", "*", "*", initiator}, Stars(8), {user, secret, "1", "*", "0"}});
  CheckLine(ChapLoginTargetCommand(target, initiator, user, secret), Concat({{"iscsicli", "logintarget", target}, chap}));
  CheckLine(ChapPersistentLoginTargetCommand(target, initiator, user, secret),
            Concat({{"iscsicli", "persistentlogintarget", target}, chap}));
  CheckLine(RemoveTargetPortalCommand(value), {"iscsicli", "RemoveTargetPortal", value, kPortalSocket});
  CheckLine(LogoutTargetCommand(value), {"iscsicli", "logouttarget", value});
  CheckLine(RemovePersistentTargetCommand(value, target, initiator),
            {"iscsicli", "removepersistenttarget", value, target, "*", initiator, kPortalSocket});
  CheckLine(RemovePersistentDeviceCommand(value), {"iscsicli", "RemovePersistentDevice", value});
  CheckLine(AddPersistentDeviceCommand(value), {"iscsicli", "AddPersistentDevice", value});
  // A line that names a target names a valid one.
  if (LoginTargetCommand(target, initiator) || RemovePersistentTargetCommand(value, target, initiator)) {
    Require(IsValidIscsiName(target));
  }

  CheckCondition(TargetByNameCondition(target), std::string(kTargetClass) + " WHERE TargetName", target);
  CheckCondition(ConnectionStatisticsCondition(target), std::string(kConnectionStatisticsClass) + " WHERE InstanceName",
                 target);
  CheckCondition(SessionsOfTargetCondition(target), std::string(kSessionClass) + " WHERE TargetName", target);
  CheckCondition(PersistentLoginsOfTargetCondition(target), std::string(kPersistentLoginClass) + " WHERE TargetName",
                 target);
  if (const auto query = TargetPortalsQuery(target)) {
    Require(*query == kSelectAllFrom + *TargetByNameCondition(target));
  }
  return 0;
}
