// seekwell-cli's iSCSI commands; see iscsi_commands.h. The steps are the dialogs' own, taken from
// the core; what the dialogs show in message boxes and lists goes to the terminal instead.

#include "iscsi_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "console_format_dialog.h"
#include "secret_input.h"
#include "state_folder.h"
#include "base/ascii_case.h"
#include "disk/disk_access.h"
#include "disk/machine_state.h"
#include "disk/partitions.h"
#include "disk/volume_inventory.h"
#include "disk/volume_mounts.h"
#include "disk/partition_sizes.h"
#include "disk/partition_steps.h"
#include "host/clock.h"
#include "host/initiator_presence.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/target_list.h"
#include "iscsi/target_login.h"
#include "iscsi/target_logout.h"
#include "iscsi/wmi_wrapper.h"
#include "protocol/device_report.h"
#include "protocol/device_table.h"
#include "protocol/device_text.h"
#include "protocol/exchanges.h"
#include "protocol/protocol_state.h"
#include "share/drive_connection_table.h"

namespace sw::cli {

const char kIscsiUsage[] =
    "       seekwell-cli [--json] --device IP iscsi list\n"
    "       seekwell-cli [--json] --device IP iscsi connect TARGET [--chap-user U [--chap-secret-stdin]]\n"
    "       seekwell-cli [--json] --device IP iscsi disconnect TARGET\n"
    "       seekwell-cli [--json] --device IP iscsi prepare TARGET --fs ntfs|fat32 [--size MiB|--max]\n"
    "                    [--letter X:] [--erase]\n"
    "TARGET is a target's full name or its name as the list shows it. prepare gives the connected\n"
    "target's disk one partition over the whole disk (or --size MiB), a drive letter and a quick\n"
    "format labelled iSCSI; a disk that holds partitions is refused unless --erase is given.\n"
    "A target that asks for CHAP takes --chap-user and its secret, typed at the prompt or read\n"
    "from standard input with --chap-secret-stdin.\n"
    "On the simulated Windows the machine's state and disk images live in --state DIR (or\n"
    "SEEKWELL_SIM_STATE; default: $XDG_STATE_HOME/seekwell-cli, else ~/.local/state/seekwell-cli),\n"
    "a folder of the user's own that no one else may write; one run at a time uses it (a second\n"
    "waits a few seconds, then gives up). With SEEKWELL_SIM_DISKS set, the disks are the LUN files\n"
    "in that folder (halden-sim's).\n";

namespace {

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kFailed = 2;

constexpr const char* kStateVariable = "SEEKWELL_SIM_STATE";

void Say(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::fputs("seekwell-cli: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  va_end(args);
}

// A text of several lines (a message box's) on one line per line, each with the tool's name.
void SayLines(const std::string& text) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) Say("%s", text.substr(start, end - start).c_str());
    start = end + 1;
  }
}

void Print(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

std::string Shown(const std::string& text) { return protocol::EscapeDeviceText(text); }

// What the initiator check leads to, as a terminal can show it.
class ConsoleInitiatorActions : public host::InitiatorReadyActions {
 public:
  bool fallback = false;
  bool refresh = false;
  bool installMissing = false;
  bool notStarted = false;

  void BeginBusyCursor() override {}
  void RestoreCursor() override {}
  void Sleep(unsigned ms) override { host::SleepMs(ms); }
  std::uint32_t NowMs() override { return host::TickCount(); }
  void ShowServiceStartingWindow() override { Say("starting the Microsoft iSCSI Initiator Service"); }
  void CloseServiceStartingWindow() override {}
  void ShowInstallPrompt() override { installMissing = true; }
  void BuildFallbackTargetList() override { fallback = true; }
  void StartInitiatorRefresh() override { refresh = true; }
  void ReportServiceNotStarted() override { notStarted = true; }
};

std::vector<std::string> Entries(const protocol::NameList& list) {
  std::vector<std::string> entries;
  for (const protocol::NameEntry* e = list.head; e != nullptr; e = e->next) entries.emplace_back(e->text);
  return entries;
}

// The device's target entries, read afresh; nothing when the device did not answer.
std::optional<std::vector<std::string>> QueryEntries() {
  protocol::ProtocolState& state = protocol::GetProtocolState();
  protocol::ExchangeReport report;
  if (!protocol::QueryTargetEntries(state, protocol::SystemDeviceSocketPort(), &report)) return std::nullopt;
  return Entries(state.targetEntryList);
}

// The target list as the main dialog holds it after a click on the device.
struct Road {
  explicit Road(const IscsiOptions& o) : options(o) {}
  const IscsiOptions& options;
  iscsi::CWmiWrapper wmi;
  iscsi::TargetListState targets;
  std::vector<iscsi::TargetRow> rows;
  std::vector<std::string> fullNames;  // parallel to rows
  bool fromDevice = false;             // the initiator's service is stopped: the device's own list

  bool Connected(std::size_t row) const { return iscsi::LowerAscii(rows[row].status) == "yes"; }
};

// The initiator check of the dialogs (a device click for list, Connect otherwise), then the portal
// refresh and the list rebuilt from the initiator. kDone, or the exit status of a failure.
int ReadTargets(Road& road, int mode) {
  ConsoleInitiatorActions actions;
  host::InitiatorFlags flags;
  host::EnsureInitiatorReady(mode, actions, flags);
  if (actions.installMissing) {
    Say("the Microsoft iSCSI Initiator is not installed on this computer");
    return kFailed;
  }
  if (actions.notStarted) {
    Say("%s", host::kServiceNotStartedMessage);
    return kFailed;
  }
  if (actions.fallback) {
    auto entries = QueryEntries();
    if (!entries) {
      Say("targets of %s: no answer", road.options.device.c_str());
      return kFailed;
    }
    road.fromDevice = true;
    road.rows = iscsi::FallbackTargetRows(*entries, road.targets);
    for (const auto& entry : *entries) road.fullNames.push_back(entry.substr(0, entry.find('|')));
    return kDone;
  }
  if (mode == 0 && !actions.refresh) return kDone;  // the service could not be read: an empty list
  const std::string& ip = road.options.device;
  // What the process-terminated message starts in the dialog; "ipconfig /all" only paces it there.
  iscsi::RemoveAllTargetPortals(road.wmi, flags.ServiceJustStarted);
  if (iscsi::AddDevicePortal(road.wmi, ip) != 0) Say("%s", iscsi::kTargetConnectionFailedMessage);
  const iscsi::TargetStatus status = iscsi::RefreshTargetStatus(road.wmi, ip, 0, road.targets);
  road.rows = status.rows;
  road.fullNames = road.targets.TargetNames;
  return kDone;
}

// The row of `name` (a full name, or the name after the prefix), -1 when none.
int FindRow(const Road& road, const std::string& name) {
  const std::string wanted = iscsi::LowerAscii(name);
  for (std::size_t k = 0; k < road.rows.size(); ++k) {
    if (iscsi::LowerAscii(road.fullNames[k]) == wanted) return static_cast<int>(k);
  }
  for (std::size_t k = 0; k < road.rows.size(); ++k) {
    if (iscsi::LowerAscii(road.rows[k].name) == wanted) return static_cast<int>(k);
  }
  return -1;
}

// The row the command acts on, or the exit status of a refusal.
int ResolveTarget(const Road& road, int& row) {
  row = FindRow(road, road.options.target);
  if (row < 0) {
    Say("%s is not a target of %s", Shown(road.options.target).c_str(), road.options.device.c_str());
    return kRefused;
  }
  if (road.fromDevice) {
    Say("the Microsoft iSCSI Initiator Service is not running, so no target can be changed now");
    return kFailed;
  }
  if (!iscsi::IsValidIscsiName(road.fullNames[row])) {
    Say("%s", iscsi::kInvalidTargetNameMessage);
    return kRefused;
  }
  return kDone;
}

// The state of one row after a fresh rebuild of the list.
bool ConnectedNow(Road& road, const std::string& target) {
  iscsi::TargetListState state;
  const iscsi::TargetStatus status = iscsi::RefreshTargetStatus(road.wmi, road.options.device, 0, state);
  for (std::size_t k = 0; k < state.TargetNames.size() && k < status.rows.size(); ++k) {
    if (state.TargetNames[k] == target) return iscsi::LowerAscii(status.rows[k].status) == "yes";
  }
  return false;
}

std::optional<disk::VolumeRecord> TargetVolume(const std::string& target) {
  disk::VolumeTable table;
  disk::BuildVolumeTable(table);
  for (const auto& record : table) {
    if (record.targetName == target) return record;
  }
  return std::nullopt;
}

int RunList(Road& road) {
  if (int status = ReadTargets(road, 0); status != kDone) return status;
  if (road.options.json) {
    std::string out = "[";
    for (std::size_t k = 0; k < road.rows.size(); ++k) {
      out += std::string(k ? "," : "") + "\n  {\"name\": " + protocol::JsonString(road.rows[k].name) +
             ", \"target\": " + protocol::JsonString(road.fullNames[k]) +
             ", \"active\": " + protocol::JsonString(road.rows[k].status) + "}";
    }
    Print(out + (road.rows.empty() ? "]\n" : "\n]\n"));
    return kDone;
  }
  std::size_t width = 4;
  for (const auto& row : road.rows) width = std::max(width, Shown(row.name).size());
  std::string out = "Name" + std::string(width - 4 + 2, ' ') + "Active\n";
  for (const auto& row : road.rows) {
    const std::string name = Shown(row.name);
    out += name + std::string(width - name.size() + 2, ' ') + row.status + "\n";
  }
  Print(out);
  if (road.fromDevice) Say("the initiator's service is not running: the device's own list, all \"NO\"");
  return kDone;
}

// The login's follow-ups for a terminal: messages on standard error, no timer, no dialogs; the
// CHAP dialog's check runs on the values of the command line.
class ConsoleLoginActions : public iscsi::TargetLoginActions {
 public:
  ConsoleLoginActions(Road& road, iscsi::LoginState& state, std::string target)
      : m_road(road), m_state(state), m_target(std::move(target)) {}

  bool chapAsked = false;
  bool chapRefused = false;
  bool loginFailed = false;
  bool newDisk = false;
  bool entriesUnanswered = false;

  std::vector<std::string> RefreshTargetEntries() override {
    auto entries = QueryEntries();
    if (!entries) {
      entriesUnanswered = true;
      return Entries(protocol::GetProtocolState().targetEntryList);
    }
    return *entries;
  }

  void RunChapDialog(const std::string& user, const std::string& secretBase64) override {
    chapAsked = true;
    m_state.ChapLoginResult = 0;
    const IscsiOptions& o = m_road.options;
    if (!o.chapUserGiven && !o.chapSecretGiven) {
      Say("%s asks for CHAP: give --chap-user and its secret (typed at the prompt, or --chap-secret-stdin)",
          Shown(m_target).c_str());
      chapRefused = true;
      return;
    }
    std::string secret = o.chapSecret;
    if (!o.chapSecretGiven) {
      std::optional<std::string> typed;
      if (InputIsInteractive()) typed = PromptSecret("CHAP secret of " + o.chapUser + ": ");
      if (!typed) {
        Say("%s asks for CHAP: give the secret of %s on standard input with --chap-secret-stdin",
            Shown(m_target).c_str(), Shown(o.chapUser).c_str());
        chapRefused = true;
        return;
      }
      secret = *typed;
    }
    // What the dialog's edits would not take.
    if (o.chapUser.size() > static_cast<std::size_t>(iscsi::kChapUserLimit) ||
        secret.size() > static_cast<std::size_t>(iscsi::kChapPasswordLimit)) {
      Say("a CHAP user name holds at most %d characters, a CHAP secret at most %d", iscsi::kChapUserLimit,
          iscsi::kChapPasswordLimit);
      chapRefused = true;
      return;
    }
    const std::string deviceSecret = iscsi::DecodeBase64(secretBase64);
    if (const char* refusal = iscsi::ChapDeviceValueRefusal(user, deviceSecret)) {
      SayLines(refusal);
      chapRefused = true;
      return;
    }
    const iscsi::ChapCheck check = iscsi::CheckChapInput(o.chapUser, secret, user, deviceSecret);
    if (check.verdict != iscsi::ChapVerdict::Accept) {
      SayLines(check.message != nullptr ? check.message : "the CHAP values were refused");
      chapRefused = true;
      return;
    }
    const auto initiator = iscsi::FirstInitiatorName(m_road.wmi);
    if (!initiator) {
      Say("%s", iscsi::kNoInitiatorNameMessage);
      return;
    }
    // The typed values equal the device's, which passed the check above; the initiator's name may not.
    if (!iscsi::RunChapLoginCommands(m_target, *initiator, o.chapUser, secret)) {
      Say("the initiator's name cannot stand in a login command line");
      chapRefused = true;
      return;
    }
    m_state.ChapLoginResult = 1;
  }

  void ShowMessage(const std::string& text, const std::string&, unsigned) override {
    if (text == iscsi::kLoginFailedMessage) loginFailed = true;
    SayLines(text);
  }
  void StartRefreshTimer(bool) override {}
  void EnableManagement() override {}
  int CheckTargetDisk(const std::string& target) override {
    disk::CheckTargetDisk(target);
    return disk::TargetDiskState();
  }
  // A terminal runs no wizard: the new disk waits for "iscsi prepare".
  bool RunPartitionWizard(const std::string&) override {
    newDisk = true;
    return false;
  }
  void OpenDiskManager() override {}
  void Sleep(unsigned ms) override { host::SleepMs(ms); }

 private:
  Road& m_road;
  iscsi::LoginState& m_state;
  std::string m_target;
};

int RunConnect(Road& road) {
  if (int status = ReadTargets(road, 1); status != kDone) return status;
  int row = -1;
  if (int status = ResolveTarget(road, row); status != kDone) return status;
  const std::string target = road.fullNames[row];
  if (road.Connected(row)) {
    Say("%s is connected already", Shown(target).c_str());
    return kRefused;
  }
  iscsi::LoginState state;
  ConsoleLoginActions actions(road, state, target);
  iscsi::LoginRequest request;
  request.selectedRow = row;
  request.selectedDeviceIp = road.options.device;
  request.productCaption = iscsi::kProductCaption;
  iscsi::LoginTargets(request, road.targets, state, road.wmi, actions);
  if (actions.entriesUnanswered) Say("targets of %s: no answer; the last entries read were used", road.options.device.c_str());
  if (actions.chapRefused) return kRefused;
  const bool connected = ConnectedNow(road, target);
  std::optional<disk::VolumeRecord> volume = connected ? TargetVolume(target) : std::nullopt;
  if (road.options.json) {
    Print("{\"target\": " + protocol::JsonString(target) + ", \"connected\": " + (connected ? "true" : "false") +
          ", \"chap\": " + (actions.chapAsked ? "true" : "false") + ", \"newDisk\": " +
          (actions.newDisk ? "true" : "false") + ", \"disk\": " + std::to_string(volume ? volume->diskNumber : -1) +
          ", \"volume\": " + protocol::JsonString(volume ? volume->volumePath : "") + "}\n");
  } else if (connected) {
    Print("connected " + Shown(target) + "\n");
  }
  if (!connected) {
    if (!actions.loginFailed) Say("%s: no connection after the login", Shown(target).c_str());
    return kFailed;
  }
  if (actions.newDisk && !road.options.json && volume) {
    Say("disk %d has no volume yet: \"iscsi prepare %s --fs ntfs\" partitions and formats it", volume->diskNumber,
        Shown(road.rows[row].name).c_str());
  }
  return kDone;
}

int RunDisconnect(Road& road) {
  if (int status = ReadTargets(road, 1); status != kDone) return status;
  int row = -1;
  if (int status = ResolveTarget(road, row); status != kDone) return status;
  const std::string target = road.fullNames[row];
  if (!road.Connected(row)) {
    Say("%s is not connected", Shown(target).c_str());
    return kRefused;
  }
  std::string notice;
  iscsi::LogoutContext context{road.wmi, road.options.device,
                               [] {
                                 disk::VolumeTable table;
                                 disk::BuildVolumeTable(table);
                                 return disk::VolumeTargets(table);
                               },
                               [&notice](const std::string& text) {
                                 notice = text;
                                 SayLines(text);
                               }};
  iscsi::LogoutTarget(target, 1, context);
  const bool connected = ConnectedNow(road, target);
  if (road.options.json) {
    Print("{\"target\": " + protocol::JsonString(target) + ", \"connected\": " + (connected ? "true" : "false") +
          ", \"notice\": " + protocol::JsonString(notice) + "}\n");
  } else if (!connected) {
    Print("disconnected " + Shown(target) + "\n");
  }
  if (connected) {
    Say("%s is still connected", Shown(target).c_str());
    return kFailed;
  }
  return kDone;
}

// The wizard's road for a terminal: progress and statuses as lines on standard error, messages as
// lines, and the erase question answered by --erase.
class ConsoleWizardHost : public disk::WizardHost {
 public:
  explicit ConsoleWizardHost(bool erase) : m_erase(erase) {}
  bool declined = false;

  void ShowProgress(int, const std::string& status) override { ShowStatus(status); }
  void ShowStatus(const std::string& text) override {
    if (!text.empty()) std::fprintf(stderr, "%s\n", text.c_str());
  }
  void Wait(unsigned ms) override { host::SleepMs(ms); }
  void ShowRefusal(const disk::SizeRefusal& refusal) override { SayLines(refusal.text); }
  void Tell(const std::string& text, disk::RefusalCaption, bool) override { SayLines(text); }
  bool ConfirmErase(const std::string& question) override {
    if (m_erase) return true;
    SayLines(question);
    Say("nothing was written; --erase overwrites the disk");
    declined = true;
    return false;
  }

 private:
  bool m_erase;
};

// The drive path the volume is to get: --letter when it is one of the free letters the wizard's
// combo offers, else the combo's own choice. Empty (after saying why) when there is none.
std::string ChooseDrivePath(const std::string& letter) {
  const share::DriveLetterComboContent free = share::CurrentFreeDriveLetters();
  if (letter.empty()) {
    if (free.selection < 0) {
      Say("no drive letter is free");
      return std::string();
    }
    return free.items[static_cast<std::size_t>(free.selection)];
  }
  std::string wanted = letter;
  if (wanted.size() == 1) wanted += ':';
  if (wanted.size() == 3 && wanted[2] == '\\') wanted.pop_back();
  if (wanted.size() != 2 || wanted[1] != ':' || !std::isalpha(static_cast<unsigned char>(wanted[0]))) {
    Say("--letter takes a drive letter such as F:");
    return std::string();
  }
  wanted[0] = base::UpperAsciiChar(wanted[0]);
  for (const auto& item : free.items) {
    // "E:\" is free; "Q: \\SRV\SHARE\" is a mapping that Windows no longer holds, and it cannot
    // become a mount point.
    if (item == wanted + "\\") return item;
  }
  Say("%s is not a free drive letter", wanted.c_str());
  return std::string();
}

int RunPrepare(Road& road) {
  const IscsiOptions& o = road.options;
  const bool ntfs = o.fileSystem == "ntfs";
  if (int status = ReadTargets(road, 1); status != kDone) return status;
  int row = -1;
  if (int status = ResolveTarget(road, row); status != kDone) return status;
  const std::string target = road.fullNames[row];
  if (!road.Connected(row)) {
    Say("%s is not connected: \"iscsi connect\" it first", Shown(target).c_str());
    return kRefused;
  }
  // The letter is checked before anything is written; the rest is the wizard's own road.
  const std::string drivePath = ChooseDrivePath(o.letter);
  if (drivePath.empty()) return kRefused;
  disk::WizardChoice choice;
  choice.target = target;
  choice.useMaximum = o.useMaximum || o.size.empty();
  choice.sizeText = o.size;
  choice.fileSystems = {ntfs, !ntfs};
  choice.drivePath = drivePath;
  disk::WizardFormatCompleted.store(false);
  ConsoleWizardHost host(o.erase);
  ConsoleFormatDialog dialog(ntfs);
  std::fprintf(stderr, "Percent Completed ...10%%\n");
  const disk::WizardOutcome outcome = disk::RunPartitionWizard(choice, host, dialog);
  if (outcome == disk::WizardOutcome::Refused) return kRefused;
  if (outcome == disk::WizardOutcome::NotFormatted) return kFailed;
  const bool formatted = dialog.WaitForEnd();
  const std::optional<disk::VolumeRecord> result = TargetVolume(target);
  const std::int32_t diskNumber = result ? result->diskNumber : -1;
  if (o.json) {
    Print("{\"target\": " + protocol::JsonString(target) + ", \"disk\": " + std::to_string(diskNumber) +
          ", \"formatted\": " + (formatted ? "true" : "false") +
          ", \"volume\": " + protocol::JsonString(result ? result->volumePath : "") +
          ", \"fileSystem\": " + protocol::JsonString(result ? result->fileSystem : "") +
          ", \"sizeMiB\": " + std::to_string(result ? result->sizeMegabytes : 0) + "}\n");
  } else if (formatted && result) {
    Print("prepared " + Shown(target) + ": disk " + std::to_string(diskNumber) + ", " + result->volumePath + " " +
          result->fileSystem + ", " + result->capacityText + "\n");
  }
  return formatted ? kDone : kFailed;
}

// The folder of the simulated machine: --state, SEEKWELL_SIM_STATE, or the user's own; made ready
// and checked. Empty, after saying why, when it cannot be used.
std::string StateFolder(const IscsiOptions& o) {
  std::string folder = o.stateFolder;
  const char* fromEnvironment = std::getenv(kStateVariable);
  if (folder.empty() && fromEnvironment != nullptr) folder = fromEnvironment;
  const bool isDefault = folder.empty();
  std::string error;
  if (isDefault) folder = DefaultStateFolder(&error);
  if (folder.empty() || !PrepareStateFolder(folder, isDefault, &error)) {
    Say("%s", error.c_str());
    return "";
  }
  return folder;
}

int RunOnDevice(const IscsiOptions& o) {
  Road road(o);
  const protocol::ProtocolState& state = protocol::GetProtocolState();
  const protocol::DeviceRecord* device = protocol::FindDeviceByIp(state.deviceList, state.SelectedDeviceIp);
  if (device == nullptr || device->iscsiCapable == 0) {
    Say("%s did not announce iSCSI targets", o.device.c_str());
    return kRefused;
  }
  if (o.command == "list") return RunList(road);
  if (o.command == "connect") return RunConnect(road);
  if (o.command == "disconnect") return RunDisconnect(road);
  return RunPrepare(road);
}

}  // namespace

int RunIscsiCommand(const IscsiOptions& o, const DeviceHooks& hooks) {
  std::string folder;
  std::string error;
  std::unique_ptr<StateLock> lock;  // held until the state is saved
  if (disk::MachineStateInFolder()) {
    folder = StateFolder(o);
    if (folder.empty()) return kFailed;
    // Two runs at once would each save what they loaded, and one would lose the other's change.
    lock = LockStateFolder(folder, &error);
    if (!lock) {
      Say("%s", error.c_str());
      return kFailed;
    }
    if (!disk::LoadMachineState(folder, &error)) {
      Say("%s", error.c_str());
      return kFailed;
    }
    if (o.verbose) Say("state of the simulated Windows: %s", folder.c_str());
  } else if (!o.stateFolder.empty()) {
    Say("--state: %s", "a state folder belongs to the simulated Windows");
    return kFailed;
  }
  int status = kFailed;
  if (hooks.select()) status = RunOnDevice(o);
  hooks.shutdown();
  // Whatever the command changed is kept, also when it failed halfway.
  if (!folder.empty() && !disk::SaveMachineState(folder, &error)) {
    Say("%s", error.c_str());
    if (status == kDone) status = kFailed;
  }
  return status;
}

}  // namespace sw::cli
