// Logging a target out over whatever WMI holds and whatever the tool prints: the persistent
// devices of its volumes, its sessions, its persistent logins, and the notice taken from a
// logout's output. Only a valid target is acted on, every line run is one of the tool's
// templates, and a notice is the output from its first "The" on.

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_client.h"
#include "fuzz_wmi.h"
#include "host/clock.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/target_logout.h"

using sw::protocol::fuzz::Require;
using namespace sw::iscsi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static sw::host::FakeClock clock;  // the logout's settling pause costs no time here
  sw::host::InstallClock(&clock);
  FuzzedDataProvider in(data, size);

  const std::string output = in.ConsumeRandomLengthString(300);
  if (const auto notice = LogoutNotice(output)) {
    Require(notice->rfind("The", 0) == 0 && output.size() > notice->size() &&
            output.compare(output.size() - notice->size(), notice->size(), *notice) == 0);
  } else {
    Require(output.find("The") == std::string::npos || output.find("The") == 0);
  }

  fuzz::Processes() = {&in, {}};
  CWmiWrapper wmi(std::make_unique<fuzz::FuzzWmi>(in));
  std::vector<InventoryVolume> volumes;
  const int count = in.ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < count; ++i) {
    volumes.push_back({in.ConsumeRandomLengthString(12), in.ConsumeRandomLengthString(60)});
  }
  std::vector<std::string> notices;
  LogoutContext context{wmi, in.ConsumeRandomLengthString(20), [&] { return volumes; },
                        [&](const std::string& text) { notices.push_back(text); }};
  const std::string target = in.ConsumeBool() ? "iqn.2009-11.com.halden:nas2.disk1" : in.ConsumeRandomLengthString(80);
  LogoutTarget(target, in.ConsumeIntegralInRange<int>(0, 1), context);
  if (!IsValidIscsiName(target)) Require(fuzz::Processes().commandLines.empty());
  std::vector<std::string> statuses, names;
  const int rows = in.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < rows; ++i) {
    statuses.push_back(in.ConsumeBool() ? "YES" : in.ConsumeRandomLengthString(4));
    names.push_back(in.ConsumeRandomLengthString(60));
  }
  EndDeviceIscsiUse(statuses, names, context);
  Require(fuzz::RecordedLinesAreWellFormed());
  for (const std::string& n : notices) Require(n.rfind("The", 0) == 0);
  fuzz::Processes() = {};
  sw::host::InstallClock(nullptr);
  return 0;
}
