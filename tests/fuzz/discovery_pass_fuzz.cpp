// A whole discovery pass fed by hostile peers: any sequence of datagrams and read errors must
// leave a consistent table of distinct devices, at most one per poll.

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fuzz_client.h"
#include "protocol/device_report.h"
#include "protocol/discovery.h"

namespace {

using namespace sw::protocol;

using fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sw::test::ScriptedSocketPort port;
  fuzz::ScriptFromRecords(data, size, port);
  ProtocolState state;
  Require(InitDeviceSockets(state, port));
  state.clientId = fuzz::TestClientId();

  const DiscoveryReport report = DiscoverDevices(state, port, kDefaultFilterA, kDefaultFilterB);
  Require(report.polls == kPollsPerInterface);
  Require(report.datagramsRead == port.datagramsRead);
  Require(state.deviceList.count == report.devicesAdded);
  Require(state.deviceList.count <= kPollsPerInterface);

  std::set<std::string> addresses;
  int walked = 0;
  const DeviceRecord* last = nullptr;
  for (const DeviceRecord* r = state.deviceList.head; r != nullptr; r = r->next) {
    Require(std::memchr(r->name, 0, sizeof r->name) != nullptr);
    Require(addresses.insert(r->ipAddress).second);
    last = r;
    ++walked;
  }
  Require(walked == state.deviceList.count);
  Require(last == state.deviceList.tail);

  FormatDeviceTableText(state.deviceList);
  FormatDeviceTableJson(state.deviceList);
  FreeDeviceList(state.deviceList);
  CloseDeviceSockets(state, port);
  return 0;
}
