// The WMI layer's records over objects of any shape: property lists with every variant type, the
// portal groups of a target (arrays of objects holding arrays, null elements, missing or mistyped
// members) and the sessions with their devices. Every record read stands for one object or group,
// and a failed query leaves its list empty.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>

#include "fuzz_client.h"
#include "fuzz_wmi.h"
#include "iscsi/wmi_wrapper.h"

using sw::protocol::fuzz::Require;
using namespace sw::iscsi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The layer's diagnostic lines go to standard output; thousands of runs a second need none.
  static FILE* quiet = std::freopen("/dev/null", "w", stdout);
  (void)quiet;
  FuzzedDataProvider in(data, size);
  CWmiWrapper wmi(std::make_unique<fuzz::FuzzWmi>(in));

  TextList list;
  const std::string property = in.ConsumeBool() ? "TargetName" : in.ConsumeRandomLengthString(16);
  if (wmi.QueryPropertyList("MSiSCSIInitiator_TargetClass", property, list) < 0) Require(list.empty());
  Require(list.size() <= 4);  // at most one text per object

  std::vector<PortalRecord> portals;
  const std::string target = in.ConsumeBool() ? "iqn.2009-11.com.halden:nas2.disk1" : in.ConsumeRandomLengthString(40);
  if (wmi.QueryTargetPortals(target, portals) < 0) Require(portals.empty());
  Require(portals.size() <= 4 * 3);  // at most one record per group

  std::vector<SessionDevicesRecord> sessions;
  if (wmi.QuerySessionDevices(sessions) < 0) Require(sessions.empty());
  Require(sessions.size() <= 4);
  for (const auto& s : sessions) Require(s.devices.size() <= 3);
  return 0;
}
