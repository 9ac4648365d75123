// The simulated "iscsicli" over any sequence of command lines. It always answers, and leaves the
// initiator in a state a real one could be in: session ids unique, the sessions of one target on
// one disk and different targets on different disks, a session only from a login to that target
// (with its CHAP user and secret when it asks for them), every disk image a file of the image
// folder. Only "LoginTarget" adds a session and only "LogoutTarget" ends one.

#include <fuzzer/FuzzedDataProvider.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "base/ascii_case.h"
#include "fuzz_client.h"
#include "sim_fuzz_folder.h"
#include "winsim/machine.h"

namespace {

using sw::protocol::fuzz::Require;
using sw::base::EqualIgnoringAsciiCase;
using sw::base::LowerAscii;
namespace winsim = sw::winsim;

constexpr const char* kAddress = "10.20.0.5";
constexpr const char* kOpen = "iqn.2004-08.com.halden:open";
constexpr const char* kLocked = "iqn.2004-08.com.halden:locked";
constexpr const char* kUser = "chapuser";
constexpr const char* kSecret = "secret-of-12";

sw::fabric::Fabric TwoTargets() {
  sw::fabric::Device d;
  d.name = "NAS";
  d.address = kAddress;
  d.iscsi = true;
  sw::fabric::Target open;
  open.name = kOpen;
  open.sizeBytes = 1 << 20;
  sw::fabric::Target locked = open;
  locked.name = kLocked;
  locked.auth = "CHAP";
  locked.user = kUser;
  locked.secret = kSecret;
  locked.sectorSize = 4096;
  d.targets = {open, locked};
  sw::fabric::Fabric f;
  f.devices = {d};
  return f;
}

const char* const kWords[] = {"LoginTarget", "PersistentLoginTarget", "LogoutTarget", "ListTargets",
                              "RemoveTargetPortal", "RemovePersistentTarget", "ClearPersistentDevices",
                              "BindPersistentVolumes", "AddPersistentDevice", "RemovePersistentDevice"};

std::string Argument(FuzzedDataProvider& in, const winsim::InitiatorSnapshot& now) {
  switch (in.ConsumeIntegralInRange<int>(0, 11)) {
    case 0: return "*";
    case 1: return "3260";
    case 2: return in.ConsumeBool() ? "0" : "1";
    case 3: return kAddress;
    case 4: return in.ConsumeBool() ? kOpen : kLocked;
    case 5: return "IQN.2004-08.COM.HALDEN:LOCKED";
    case 6: return now.initiatorNames.empty() ? "*" : now.initiatorNames.front();
    case 7: return kUser;
    case 8: return kSecret;
    case 9:
      if (now.sessions.empty()) return "0x1";
      return (in.ConsumeBool() ? "0x" : "") +
             now.sessions[in.ConsumeIntegralInRange<std::size_t>(0, now.sessions.size() - 1)].sessionId;
    default: return in.ConsumeRandomLengthString(24);
  }
}

void CheckState(winsim::Machine& machine) {
  const winsim::InitiatorSnapshot s = machine.initiator.Snapshot();
  std::set<std::string> ids;
  for (const auto& a : s.sessions) {
    Require(ids.insert(a.sessionId).second);
    Require(EqualIgnoringAsciiCase(a.targetName, kOpen) || EqualIgnoringAsciiCase(a.targetName, kLocked));
    for (const auto& b : s.sessions) {
      Require(EqualIgnoringAsciiCase(a.targetName, b.targetName) == (a.diskNumber == b.diskNumber));
    }
  }
  const std::filesystem::path folder(winsim::fuzz::ImageFolder());
  for (const auto& disk : machine.initiator.SessionDisks()) {
    const std::filesystem::path image(disk.imagePath);
    std::error_code ec;
    Require(image.parent_path() == folder && std::filesystem::is_regular_file(std::filesystem::symlink_status(image, ec)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  winsim::Machine& machine = winsim::TheMachine();
  winsim::Settings settings;
  settings.volumeDelayMs = 0;
  machine.Reset(settings);
  machine.SetFabric(TwoTargets());
  machine.initiator.SetImageFolder(winsim::fuzz::ImageFolder());
  machine.initiator.SetBindableVolumes({"\\\\?\\Volume{1}\\"});
  Require(machine.initiator.Snapshot().running);
  if (in.ConsumeBool()) Require(machine.initiator.AddSendTargetPortal(kAddress) == 0);

  for (int step = 0; step < 12 && in.remaining_bytes() > 0; ++step) {
    const winsim::InitiatorSnapshot before = machine.initiator.Snapshot();
    std::vector<std::string> args = {"iscsicli"};
    const int pick = in.ConsumeIntegralInRange<int>(0, 10);
    args.push_back(pick < 10 ? kWords[pick] : in.ConsumeRandomLengthString(20));
    if (pick < 10 && in.ConsumeBool()) args.back() = LowerAscii(args.back());
    if (pick < 2 && in.ConsumeBool()) {
      // A login line as the program writes it, then a few of its arguments replaced.
      const bool locked = in.ConsumeBool();
      args.insert(args.end(), {locked ? kLocked : kOpen, "T", in.ConsumeBool() ? "*" : kAddress, "3260", "*", "*", "*",
                               "*", "*", "*", "*", "*", "*", locked ? kUser : "*", locked ? kSecret : "*",
                               locked ? "1" : "*", "*", "0"});
      for (int k = in.ConsumeIntegralInRange<int>(0, 2); k > 0; --k) {
        args[in.ConsumeIntegralInRange<std::size_t>(2, args.size() - 1)] = Argument(in, before);
      }
    } else {
      const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, 20);
      for (std::size_t i = 0; i < count; ++i) args.push_back(Argument(in, before));
    }

    std::string output;
    Require(machine.initiator.RunTool(args, output));
    Require(output.find("iSCSI initiator command-line tool") == 0);
    const winsim::InitiatorSnapshot after = machine.initiator.Snapshot();
    const std::string word = LowerAscii(args[1]);
    const std::size_t was = before.sessions.size(), is = after.sessions.size();
    if (is > was) {
      Require(is == was + 1 && word == "logintarget" && args.size() == 20);
      const std::string& target = after.sessions.back().targetName;
      Require(EqualIgnoringAsciiCase(target, args[2]));
      if (EqualIgnoringAsciiCase(target, kLocked)) Require(args[15] == kUser && args[16] == kSecret && args[17] == "1");
    } else if (is < was) {
      Require(is + 1 == was && word == "logouttarget");
    }
    CheckState(machine);
  }
  return 0;
}
