// seekwell-cli: the device protocol from a terminal. Each command is one entry of the table below
// and runs over the same sockets, engine and device table as the dialogs.
//
// Exit status of discover: 0 done (also when no device answered), 1 the sockets could not be
// started. Of the commands for one device: 0 done (login: accepted), 1 login refused, 2 the
// device did not answer, was not found by the discovery pass, or the sockets could not be started.
// A command line we do not understand: 2. The iSCSI commands are described in iscsi_commands.h.

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "iscsi/target_login.h"
#include "iscsi_commands.h"
#include "protocol/device_report.h"
#include "protocol/device_text.h"
#include "protocol/discovery.h"
#include "protocol/exchanges.h"
#include "protocol/protocol_state.h"
#include "secret_input.h"

namespace sw::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitSockets = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 1;
constexpr int kExitNoAnswer = 2;

struct Options {
  bool json = false;
  bool verbose = false;
  bool showSecrets = false;  // targets: the CHAP secrets as the device sends them
  std::string device;  // --device IP, for commands that talk to one device
  std::string user;
  bool passwordGiven = false;
  bool passwordFromStdin = false;
  std::string password;
  std::string ip;
  std::string netmask;
  std::string gateway;
  IscsiOptions iscsi;
};

struct Command {
  const char* name;
  bool needsDevice;
  int (*run)(const Options&);
};

const char kUsage[] =
    "usage: seekwell-cli [--json] [--verbose] discover\n"
    "       seekwell-cli [--verbose] --device IP login --user U [--password-stdin]\n"
    "       seekwell-cli [--json] [--verbose] --device IP shares\n"
    "       seekwell-cli [--json] [--verbose] --device IP targets [--show-secrets]\n"
    "       seekwell-cli [--verbose] --device IP set-static --ip A --netmask M --gateway G\n"
    "       seekwell-cli [--verbose] --device IP set-dhcp\n"
    "%s"
    "Each command for one device starts with a discovery pass.\n"
    "Secrets stay off the command line, where every user of the computer can read them: login\n"
    "asks for the password at a terminal (Enter alone: none) and --password-stdin reads it from\n"
    "standard input; --password P and --chap-secret S still work, with a warning. targets shows\n"
    "whether an entry has a CHAP secret, and the secret itself only with --show-secrets.\n"
    "Exit status: 0 done (login: accepted), 1 refused (login, or an iSCSI step), 2 no answer,\n"
    "device not found, a failure, "
    "or bad command line; discover: 1 when the sockets cannot be started.\n";

void PrintReport(const protocol::DiscoveryReport& r) {
  std::fprintf(stderr,
               "polls %d, datagrams %d, read errors %d, devices %d, duplicates %d, "
               "other clients %d, filtered %d, other opcodes %d, names cut %d\n",
               r.polls, r.datagramsRead, r.readErrors, r.devicesAdded, r.duplicates,
               r.otherClients, r.filteredOut, r.otherOpcodes, r.namesClamped);
}

int RunDiscover(const Options& options) {
  protocol::ProtocolState& state = protocol::GetProtocolState();
  if (!protocol::InitDeviceSockets(state, protocol::SystemDeviceSocketPort())) {
    std::fputs("seekwell-cli: the socket library could not be started\n", stderr);
    return kExitSockets;
  }
  if (options.verbose) {
    if (state.localInterfaces.count == 0) {
      std::fputs("the host name does not resolve to an IPv4 address: no interface to search\n",
                 stderr);
    } else {
      std::fprintf(stderr, "interface %s\n", state.localInterfaces.address[0]);
    }
  }
  for (int i = 0; i < state.localInterfaces.count; ++i) {
    if (!state.receiveSocketsComplete[i]) {
      std::fprintf(stderr,
                   "seekwell-cli: warning: could not listen on UDP port %u of %s; "
                   "answers may be missed\n",
                   static_cast<unsigned>(protocol::kDevicePort), state.localInterfaces.address[i]);
    }
  }

  const protocol::DiscoveryReport report =
      protocol::DiscoverDevices(state, protocol::SystemDeviceSocketPort(), protocol::kDefaultFilterA,
                                protocol::kDefaultFilterB);
  if (options.verbose) PrintReport(report);

  const std::string text = options.json ? protocol::FormatDeviceTableJson(state.deviceList)
                                        : protocol::FormatDeviceTableText(state.deviceList);
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);

  protocol::FreeDeviceList(state.deviceList);
  protocol::FreeNames(state.shareNameList);
  protocol::FreeNames(state.targetEntryList);
  protocol::CloseDeviceSockets(state, protocol::SystemDeviceSocketPort());
  return kExitOk;
}

const char* OutcomeText(protocol::ExchangeOutcome outcome) {
  switch (outcome) {
    case protocol::ExchangeOutcome::Answered:
      return "answered";
    case protocol::ExchangeOutcome::DeviceNotFound:
      return "the device is not in the device table";
    case protocol::ExchangeOutcome::NotBuilt:
      return "the request could not be built";
    case protocol::ExchangeOutcome::NoInterface:
      return "no socket for the device's interface";
    case protocol::ExchangeOutcome::SendFailed:
      return "the request could not be sent";
    case protocol::ExchangeOutcome::AttemptsSpent:
      return "no answer";
    case protocol::ExchangeOutcome::TimeCapReached:
      return "no answer in time";
  }
  return "unknown";
}

void PrintExchangeReport(const protocol::ExchangeReport& r) {
  std::fprintf(stderr,
               "%s: attempts %d, flushed %d, datagrams %d, read errors %d, other opcodes %d, "
               "other clients %d, other addresses %d, items skipped %d, %lld ms\n",
               OutcomeText(r.outcome), r.attempts, r.flushed, r.datagramsRead, r.readErrors,
               r.foreignOpcodes, r.otherClients, r.otherAddresses, r.itemsSkipped,
               static_cast<long long>(r.elapsedMs));
}

// Runs one discovery pass and selects the device. Returns false (after saying why) when the
// sockets cannot be started or the device did not announce itself.
bool SelectDevice(const Options& options) {
  protocol::ProtocolState& state = protocol::GetProtocolState();
  if (!protocol::InitDeviceSockets(state, protocol::SystemDeviceSocketPort())) {
    std::fputs("seekwell-cli: the socket library could not be started\n", stderr);
    return false;
  }
  if (state.localInterfaces.count == 0) {
    std::fputs("seekwell-cli: the host name does not resolve to an IPv4 address: no interface\n",
               stderr);
    return false;
  }
  const protocol::DiscoveryReport report =
      protocol::DiscoverDevices(state, protocol::SystemDeviceSocketPort(), protocol::kDefaultFilterA,
                                protocol::kDefaultFilterB);
  if (options.verbose) PrintReport(report);
  protocol::SetSelectedDeviceIp(state, options.device.c_str());
  if (!protocol::HasDevice(state.deviceList, state.SelectedDeviceIp)) {
    std::fprintf(stderr, "seekwell-cli: device %s did not answer the discovery\n",
                 options.device.c_str());
    return false;
  }
  return true;
}

const Options* g_iscsiOptions = nullptr;
bool SelectDeviceForIscsi() { return g_iscsiOptions != nullptr && SelectDevice(*g_iscsiOptions); }

void Shutdown() {
  protocol::ProtocolState& state = protocol::GetProtocolState();
  protocol::FreeDeviceList(state.deviceList);
  protocol::FreeNames(state.shareNameList);
  protocol::FreeNames(state.targetEntryList);
  protocol::CloseDeviceSockets(state, protocol::SystemDeviceSocketPort());
}

int FailExchange(const char* what, const Options& options, const protocol::ExchangeReport& r) {
  if (options.verbose) PrintExchangeReport(r);
  std::fprintf(stderr, "seekwell-cli: %s %s: %s\n", what, options.device.c_str(),
               OutcomeText(r.outcome));
  Shutdown();
  return kExitNoAnswer;
}

int RunLogin(const Options& given) {
  Options options = given;
  if (!options.passwordGiven && InputIsInteractive()) {
    std::optional<std::string> typed = PromptSecret("Password of " + options.user + " on " + options.device + ": ");
    if (!typed) return kExitUsage;
    options.password = *typed;
  }
  protocol::ProtocolState& state = protocol::GetProtocolState();
  if (!protocol::CopyText(state.loginCredentials.userName, sizeof state.loginCredentials.userName,
                          options.user.c_str()) ||
      !protocol::CopyText(state.loginCredentials.password, sizeof state.loginCredentials.password,
                          options.password.c_str())) {
    std::fputs("seekwell-cli: user name and password hold at most 16 characters each\n", stderr);
    return kExitUsage;
  }
  if (!SelectDevice(options)) {
    Shutdown();
    return kExitNoAnswer;
  }
  protocol::ExchangeReport r;
  const bool accepted = protocol::CheckAdminLogin(state, protocol::SystemDeviceSocketPort(), &r);
  if (r.outcome != protocol::ExchangeOutcome::Answered) return FailExchange("login at", options, r);
  if (options.verbose) PrintExchangeReport(r);
  std::puts(accepted ? "accepted" : "refused");
  Shutdown();
  return accepted ? kExitOk : kExitRefused;
}

int PrintList(const Options& options, const protocol::NameList& list) {
  std::string out;
  if (options.json) {
    out = "[";
    for (const protocol::NameEntry* e = list.head; e != nullptr; e = e->next) {
      if (e != list.head) out += ",";
      out += protocol::JsonString(e->text);
    }
    out += "]\n";
  } else {
    for (const protocol::NameEntry* e = list.head; e != nullptr; e = e->next) {
      out += protocol::EscapeDeviceText(e->text) + "\n";
    }
  }
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
  return kExitOk;
}

// The device's target entries, each "name|auth@user$secret" with the secret in Base64 after the
// first '$': the secret is shown as set or not unless asked for (it opens the target to whoever
// reads the screen); the rest of the entry as the device sent it.
int PrintTargetEntries(const Options& options, const protocol::NameList& list) {
  std::string out = options.json ? "[" : "";
  for (const protocol::NameEntry* e = list.head; e != nullptr; e = e->next) {
    const std::string entry = e->text;
    const std::size_t dollar = entry.find('$');
    const std::string open = entry.substr(0, dollar);
    const std::string secret = dollar == std::string::npos ? "" : entry.substr(dollar + 1);
    const char* presence = dollar == std::string::npos ? "" : secret.empty() ? "(none)" : "(set)";
    if (options.json) {
      const iscsi::TargetEntryPieces pieces = iscsi::SplitTargetEntry(open + "$");
      out += std::string(e != list.head ? "," : "") + "\n  {\"target\": " + protocol::JsonString(pieces.name) +
             ", \"auth\": " + protocol::JsonString(pieces.authentication) +
             ", \"user\": " + protocol::JsonString(pieces.user) + ", \"secret\": " +
             protocol::JsonString(options.showSecrets ? iscsi::DecodeBase64(secret) : presence);
      if (options.showSecrets) out += ", \"entry\": " + protocol::JsonString(entry);
      out += "}";
    } else if (options.showSecrets || dollar == std::string::npos) {
      out += protocol::EscapeDeviceText(entry) + "\n";
    } else {
      out += protocol::EscapeDeviceText(open) + "  secret: " + presence + "\n";
    }
  }
  if (options.json) out += list.head != nullptr ? "\n]\n" : "]\n";
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
  return kExitOk;
}

int RunList(const Options& options, bool targets) {
  if (!SelectDevice(options)) {
    Shutdown();
    return kExitNoAnswer;
  }
  protocol::ProtocolState& state = protocol::GetProtocolState();
  protocol::ExchangeReport r;
  const bool answered =
      targets ? protocol::QueryTargetEntries(state, protocol::SystemDeviceSocketPort(), &r)
              : protocol::QueryShareNames(state, protocol::SystemDeviceSocketPort(), &r);
  if (!answered) return FailExchange(targets ? "targets of" : "shares of", options, r);
  if (options.verbose) PrintExchangeReport(r);
  if (r.itemsSkipped > 0) {
    std::fprintf(stderr, "seekwell-cli: warning: %d item(s) over 255 characters skipped\n",
                 r.itemsSkipped);
  }
  if (targets) {
    PrintTargetEntries(options, state.targetEntryList);
  } else {
    PrintList(options, state.shareNameList);
  }
  Shutdown();
  return kExitOk;
}

int RunShares(const Options& options) { return RunList(options, false); }
int RunTargets(const Options& options) { return RunList(options, true); }

int RunSetStatic(const Options& options) {
  std::uint8_t bytes[4];
  const struct {
    const char* flag;
    const std::string& value;
  } fields[] = {{"--ip", options.ip}, {"--netmask", options.netmask}, {"--gateway", options.gateway}};
  for (const auto& field : fields) {
    if (!protocol::ParseIpv4(field.value.c_str(), bytes)) {
      std::fprintf(stderr, "seekwell-cli: %s needs a dotted IPv4 address\n", field.flag);
      return kExitUsage;
    }
  }
  protocol::ParseIpv4(options.ip.c_str(), bytes);
  if (!protocol::IsDeviceUnicastAddress(bytes)) {
    std::fputs("seekwell-cli: --ip must be an address a device can have (not 0.0.0.0, loopback, "
               "multicast, reserved or broadcast)\n", stderr);
    return kExitUsage;
  }
  protocol::ProtocolState& state = protocol::GetProtocolState();
  protocol::CopyText(state.PendingIp, sizeof state.PendingIp, options.ip.c_str());
  protocol::CopyText(state.PendingNetmask, sizeof state.PendingNetmask, options.netmask.c_str());
  protocol::CopyText(state.PendingGateway, sizeof state.PendingGateway, options.gateway.c_str());
  if (!SelectDevice(options)) {
    Shutdown();
    return kExitNoAnswer;
  }
  protocol::ExchangeReport r;
  if (!protocol::SetDeviceStaticAddress(state, protocol::SystemDeviceSocketPort(), &r)) {
    return FailExchange("static address for", options, r);
  }
  if (options.verbose) PrintExchangeReport(r);
  std::printf("%s\n", r.newAddress);
  Shutdown();
  return kExitOk;
}

int RunSetDhcp(const Options& options) {
  if (!SelectDevice(options)) {
    Shutdown();
    return kExitNoAnswer;
  }
  protocol::ProtocolState& state = protocol::GetProtocolState();
  protocol::ExchangeReport r;
  if (!protocol::EnableDeviceDhcp(state, protocol::SystemDeviceSocketPort(), &r)) {
    return FailExchange("DHCP for", options, r);
  }
  if (options.verbose) PrintExchangeReport(r);
  std::printf("%s\n", r.newAddress);
  Shutdown();
  return kExitOk;
}

const Command kCommands[] = {
    {"discover", false, RunDiscover},    {"login", true, RunLogin},
    {"shares", true, RunShares},         {"targets", true, RunTargets},
    {"set-static", true, RunSetStatic},  {"set-dhcp", true, RunSetDhcp},
};

int Usage(FILE* to, int status) {
  std::fprintf(to, kUsage, kIscsiUsage);
  return status;
}

void ShutdownAfterIscsi() { Shutdown(); }

// "iscsi SUBCOMMAND [TARGET]" with its options checked; the road itself is in iscsi_commands.cpp.
int RunIscsi(Options& options, const std::vector<std::string>& words) {
  IscsiOptions& o = options.iscsi;
  o.json = options.json;
  o.verbose = options.verbose;
  o.device = options.device;
  if (words.size() < 2) return Usage(stderr, kExitUsage);
  o.command = words[1];
  const bool named = o.command == "connect" || o.command == "disconnect" || o.command == "prepare";
  if (!named && o.command != "list") return Usage(stderr, kExitUsage);
  if (words.size() != (named ? 3u : 2u)) return Usage(stderr, kExitUsage);
  if (named) o.target = words[2];
  if (o.command != "connect" && (o.chapUserGiven || o.chapSecretGiven || o.chapSecretFromStdin)) {
    return Usage(stderr, kExitUsage);
  }
  const bool prepareOptions = !o.fileSystem.empty() || !o.size.empty() || o.useMaximum || !o.letter.empty() || o.erase;
  if (o.command != "prepare" && prepareOptions) return Usage(stderr, kExitUsage);
  if (o.command == "prepare") {
    if (o.fileSystem != "ntfs" && o.fileSystem != "fat32") {
      std::fputs("seekwell-cli: prepare needs --fs ntfs or --fs fat32\n", stderr);
      return kExitUsage;
    }
    if (o.useMaximum && !o.size.empty()) {
      std::fputs("seekwell-cli: --size and --max exclude each other\n", stderr);
      return kExitUsage;
    }
  }
  g_iscsiOptions = &options;
  return RunIscsiCommand(o, DeviceHooks{SelectDeviceForIscsi, ShutdownAfterIscsi});
}

void WarnArgument(const char* option, const char* better) {
  std::fprintf(stderr,
               "seekwell-cli: warning: %s on the command line can be read by every user of this computer; "
               "use %s (or type it at the prompt)\n",
               option, better);
}

// The secrets from standard input, and the warnings for those given as arguments; false (after
// saying why) when the options contradict each other or the input holds no line.
bool TakeSecrets(Options& options, const std::vector<std::string>& words) {
  IscsiOptions& o = options.iscsi;
  if ((options.passwordGiven && options.passwordFromStdin) || (o.chapSecretGiven && o.chapSecretFromStdin) ||
      (options.passwordFromStdin && o.chapSecretFromStdin)) {
    std::fputs("seekwell-cli: give each secret once, and read at most one from standard input\n", stderr);
    return false;
  }
  if (options.passwordFromStdin && (words.size() != 1 || words[0] != "login")) {
    std::fputs("seekwell-cli: --password-stdin goes with login\n", stderr);
    return false;
  }
  if (options.showSecrets && (words.size() != 1 || words[0] != "targets")) {
    std::fputs("seekwell-cli: --show-secrets goes with targets\n", stderr);
    return false;
  }
  if (options.passwordGiven) WarnArgument("--password", "--password-stdin");
  if (o.chapSecretGiven) WarnArgument("--chap-secret", "--chap-secret-stdin");
  std::string* into = options.passwordFromStdin ? &options.password : o.chapSecretFromStdin ? &o.chapSecret : nullptr;
  if (into == nullptr) return true;
  std::optional<std::string> line = ReadSecretLine();
  if (!line) {
    std::fputs("seekwell-cli: standard input holds no line with the secret\n", stderr);
    return false;
  }
  *into = *line;
  options.passwordGiven = options.passwordGiven || options.passwordFromStdin;
  o.chapSecretGiven = o.chapSecretGiven || o.chapSecretFromStdin;
  return true;
}

int Main(int argc, char** argv) {
  Options options;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      options.json = true;
    } else if (arg == "--verbose" || arg == "-v") {
      options.verbose = true;
    } else if (arg == "--show-secrets") {
      options.showSecrets = true;
    } else if (arg == "--password-stdin") {
      options.passwordFromStdin = true;
    } else if (arg == "--chap-secret-stdin") {
      options.iscsi.chapSecretFromStdin = true;
    } else if (arg == "--device" || arg == "--user" || arg == "--password" || arg == "--ip" ||
               arg == "--netmask" || arg == "--gateway") {
      if (i + 1 >= argc) return Usage(stderr, kExitUsage);
      std::string& value = arg == "--device"     ? options.device
                           : arg == "--user"     ? options.user
                           : arg == "--password" ? options.password
                           : arg == "--ip"       ? options.ip
                           : arg == "--netmask"  ? options.netmask
                                                 : options.gateway;
      value = argv[++i];
      if (arg == "--password") options.passwordGiven = true;
    } else if (arg == "--chap-user" || arg == "--chap-secret" || arg == "--fs" || arg == "--size" ||
               arg == "--letter" || arg == "--state") {
      if (i + 1 >= argc) return Usage(stderr, kExitUsage);
      IscsiOptions& o = options.iscsi;
      std::string& value = arg == "--chap-user"     ? o.chapUser
                           : arg == "--chap-secret" ? o.chapSecret
                           : arg == "--fs"          ? o.fileSystem
                           : arg == "--size"        ? o.size
                           : arg == "--letter"      ? o.letter
                                                    : o.stateFolder;
      value = argv[++i];
      if (arg == "--chap-user") o.chapUserGiven = true;
      if (arg == "--chap-secret") o.chapSecretGiven = true;
    } else if (arg == "--max") {
      options.iscsi.useMaximum = true;
    } else if (arg == "--erase") {
      options.iscsi.erase = true;
    } else if (arg == "--help" || arg == "-h") {
      return Usage(stdout, kExitOk);
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage(stderr, kExitUsage);
    } else {
      words.push_back(arg);
    }
  }
  if (!TakeSecrets(options, words)) return kExitUsage;
  if (!words.empty() && words[0] == "iscsi") {
    std::uint8_t bytes[4];
    if (!protocol::ParseIpv4(options.device.c_str(), bytes)) {
      std::fputs("seekwell-cli: this command needs --device with a dotted IPv4 address\n", stderr);
      return kExitUsage;
    }
    return RunIscsi(options, words);
  }
  if (words.size() != 1) return Usage(stderr, kExitUsage);
  for (const Command& command : kCommands) {
    if (words[0] != command.name) continue;
    if (command.needsDevice) {
      std::uint8_t bytes[4];
      if (!protocol::ParseIpv4(options.device.c_str(), bytes)) {
        std::fputs("seekwell-cli: this command needs --device with a dotted IPv4 address\n",
                   stderr);
        return kExitUsage;
      }
    }
    return command.run(options);
  }
  return Usage(stderr, kExitUsage);
}

}  // namespace

}  // namespace sw::cli

int main(int argc, char** argv) { return sw::cli::Main(argc, argv); }
