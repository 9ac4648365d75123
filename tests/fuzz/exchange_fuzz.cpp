// The targeted exchanges fed by hostile peers: any sequence of datagrams and read errors must end
// (attempt limit or wall-clock cap), never overflow, and leave name lists of distinct, non-empty,
// terminated items that fit their fields, and a table that still finds the selected device.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <set>
#include <string>

#include "fuzz_client.h"
#include "protocol/discovery.h"
#include "protocol/exchanges.h"

namespace {

using namespace sw::protocol;

using fuzz::Require;

struct Limits {
  bool flush;
  int attempts;
  std::int64_t capMs;
};

// The rules of each exchange the target drives, by the selector byte.
Limits LimitsOf(int which) {
  switch (which) {
    case 0: return {true, kLoginAttemptLimit, kLoginWaitCapMs};
    case 1:
    case 2: return {true, kQueryAttemptLimit, kQueryWaitCapMs};
    default: return {false, kSetAttemptLimit, kSetWaitCapMs};
  }
}

void CheckList(const NameList& list, char separator) {
  std::set<std::string> seen;
  int count = 0;
  for (const NameEntry* e = list.head; e != nullptr; e = e->next) {
    const std::size_t length = strnlen(e->text, kNameTextSize);
    Require(length > 0 && length < kNameTextSize);
    Require(std::memchr(e->text, separator, length) == nullptr);
    Require(seen.insert(e->text).second);
    Require((e->next == nullptr) == (e == list.tail));
    ++count;
  }
  Require(count == list.count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int which = data[0] % 5;
  sw::test::ScriptedSocketPort port;
  fuzz::ScriptFromRecords(data + 1, size - 1, port);
  const std::deque<sw::test::Arrival> arrivals = port.script;
  int sends = 0;
  port.onSend = [&](const sw::test::Bytes& request) {
    Require(!request.empty() && request.size() <= kRequestBufferSize);
    ++sends;
  };
  ProtocolState state;
  Require(InitDeviceSockets(state, port));
  state.clientId = fuzz::TestClientId();
  const std::uint8_t id[kDeviceIdSize] = {1, 2, 3, 4, 5, 6, 10, 77, 0, 10};
  AddDevice(state.deviceList, "NAS", "10.77.0.10", "255.255.0.0", "10.77.0.1", id, "0", 0, false);
  SetSelectedDeviceIp(state, "10.77.0.10");
  std::strcpy(state.loginCredentials.userName, "admin");
  std::strcpy(state.PendingIp, "10.77.0.50");
  std::strcpy(state.PendingNetmask, "255.255.0.0");
  std::strcpy(state.PendingGateway, "10.77.0.1");

  ExchangeReport report;
  bool ok = false;
  switch (which) {
    case 0: ok = CheckAdminLogin(state, port, &report); break;
    case 1: ok = QueryShareNames(state, port, &report); break;
    case 2: ok = QueryTargetEntries(state, port, &report); break;
    case 3: ok = EnableDeviceDhcp(state, port, &report); break;
    case 4: ok = SetDeviceStaticAddress(state, port, &report); break;
  }
  Require(sends == 1);
  // The wait's time on the port's clock: the flush (11 polls), the counted attempts (each a wait
  // or a read, and a pause between them), and what uncounted datagrams and read errors cost (a
  // read each). Those extend the wait, but only until the cap: it is looked at after each of them.
  // So a short flood followed by silence lasts the flood plus every attempt, never more.
  const Limits limits = LimitsOf(which);
  const std::int64_t flushMs = limits.flush ? kFlushPolls * kExchangePollWaitMs : 0;
  const std::int64_t countedMs =
      (limits.attempts + 1) * std::int64_t{kExchangePollWaitMs} + limits.attempts * std::int64_t{kExchangePauseMs};
  const std::int64_t uncountedMs = std::int64_t{report.foreignOpcodes} + report.readErrors;
  Require(report.elapsedMs <= flushMs + countedMs + std::min(uncountedMs, limits.capMs + 1) + 1);
  if (report.outcome == ExchangeOutcome::TimeCapReached) Require(report.elapsedMs >= limits.capMs);
  Require(report.attempts <= limits.attempts + 1);
  CheckList(state.shareNameList, ':');
  CheckList(state.targetEntryList, '=');
  Require(state.deviceList.count == 1);
  Require(FindDeviceByIp(state.deviceList, state.SelectedDeviceIp) != nullptr);
  if (ok && which == 4) Require(std::strcmp(state.SelectedDeviceIp, "10.77.0.50") == 0);
  // A success means a full-size reply to us, from the device (queries) or carrying the address
  // the device now has, and that address is one a device can have (set commands).
  if (report.outcome == ExchangeOutcome::Answered) {
    const std::uint8_t opcode = which >= 3 ? SET_REPLY : QUERY_REPLY;
    const char* address = which >= 3 ? report.newAddress : "10.77.0.10";
    std::uint8_t bytes[4];
    Require(ParseIpv4(address, bytes) && IsDeviceUnicastAddress(bytes));
    bool seen = false;
    for (const sw::test::Arrival& a : arrivals) {
      const ReceivedDatagram d{a.bytes.data(), a.bytes.size()};
      seen = seen || (a.kind == sw::test::Arrival::Datagram && d.length >= kAddressedReplyLength &&
                      d.ByteAt(0) == opcode && IsForClient(d, state.clientId) && CarriesAddress(d, address));
    }
    Require(seen);
    if (which >= 3) Require(std::strcmp(state.SelectedDeviceIp, address) == 0);
  }
  if (!ok && which >= 3) Require(std::strcmp(state.SelectedDeviceIp, "10.77.0.10") == 0);

  // The list splitting alone, over the raw input as a reply.
  NameList list;
  const ReceivedDatagram raw{data, size};
  FillNameList(list, raw, ':');
  CheckList(list, ':');
  FreeNames(list);

  FreeDeviceList(state.deviceList);
  FreeNames(state.shareNameList);
  FreeNames(state.targetEntryList);
  CloseDeviceSockets(state, port);
  return 0;
}
