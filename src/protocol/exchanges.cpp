#include "protocol/exchanges.h"

#include <cstring>

namespace sw::protocol {

namespace {

struct ExchangeRule {
  bool flushFirst;
  Opcode replyOpcode;
  const char* expectedAddress;  // null: any address is taken (the DHCP switch)
  bool carriesNewAddress;       // SET replies: bytes 17-20 must be a device's unicast address
  int attemptLimit;
  std::int64_t waitCapMs;
};

enum class Request { Login, Shares, Targets, Dhcp, StaticIp };

std::size_t BuildRequest(const ProtocolState& state, const DeviceRecord& device, Request request,
                         std::uint8_t* out) {
  switch (request) {
    case Request::Login:
      return BuildLoginQuery(state.clientId, device.deviceId, state.loginCredentials.userName,
                             state.loginCredentials.password, out);
    case Request::Shares:
      return BuildQuery(state.clientId, device.deviceId, SUB_QUERY_SHARES, nullptr, 0, out);
    case Request::Targets:
      return BuildQuery(state.clientId, device.deviceId, SUB_QUERY_TARGETS, nullptr, 0, out);
    case Request::Dhcp:
      return BuildSetDhcp(state.clientId, device.deviceId, out);
    case Request::StaticIp: {
      // The reply to such a change could never be told from a forged one: refused unsent.
      std::uint8_t address[4];
      if (!ParseIpv4(state.PendingIp, address) || !IsDeviceUnicastAddress(address)) return 0;
      return BuildSetStaticIp(state.clientId, device.deviceId, state.PendingNetmask,
                              state.PendingGateway, state.PendingIp, out);
    }
  }
  return 0;
}

// A SET reply ends the wait only when it is long enough to carry an address and that address is
// one a device can have; anything else goes on waiting, as a reply from another device does.
bool CarriesUsableNewAddress(const ReceivedDatagram& d) {
  if (d.length < kAddressedReplyLength) return false;
  std::uint8_t address[4];
  d.CopyOut(offset::kDeviceAddress, 4, address);
  return IsDeviceUnicastAddress(address);
}

// Flush, build, send once, wait. On success the accepted reply is in `buffer` and its length in
// `replyLength`. The wait counts attempts exactly as devices expect. The wall-clock cap is looked
// at only after an uncounted datagram (foreign opcode, read error): it ends the waits a stream of
// them would stretch, and never cuts counted attempts short, however coarse the platform's timer
// (Windows' default 15.6 ms tick makes each 10 ms wait and 100 ms pause last longer).
bool RunExchange(ProtocolState& state, DeviceSocketPort& port, Request request,
                 const ExchangeRule& rule, std::uint8_t (&buffer)[kReceiveBufferSize],
                 std::size_t& replyLength, ExchangeReport& report) {
  const std::int64_t start = port.MonotonicMs();
  const auto finish = [&](ExchangeOutcome outcome) {
    report.outcome = outcome;
    report.elapsedMs = port.MonotonicMs() - start;
    return outcome == ExchangeOutcome::Answered;
  };

  const DeviceRecord* device = FindDeviceByIp(state.deviceList, state.SelectedDeviceIp);
  if (device == nullptr) return finish(ExchangeOutcome::DeviceNotFound);
  const int index = device->interfaceIndex;
  if (index < 0 || index >= state.localInterfaces.count || index >= kMaxLocalInterfaces) {
    return finish(ExchangeOutcome::NoInterface);
  }
  const SocketHandle sendSocket = state.sendSockets[index];
  const SocketHandle receiveSocket = state.receiveSockets[index];
  if (sendSocket == kNoSocket || receiveSocket == kNoSocket) {
    return finish(ExchangeOutcome::NoInterface);
  }

  std::memset(buffer, 0, sizeof buffer);
  if (rule.flushFirst) {
    // Drops replies left over from an earlier exchange, which could otherwise be taken as ours.
    for (int poll = 0; poll < kFlushPolls; ++poll) {
      if (port.WaitReadable(receiveSocket, kExchangePollWaitMs) > 0 &&
          port.Receive(receiveSocket, buffer, kReceiveCapacity) >= 0) {
        ++report.flushed;
      }
    }
    std::memset(buffer, 0, sizeof buffer);
  }

  std::uint8_t requestBytes[kRequestBufferSize] = {};
  const std::size_t requestLength = BuildRequest(state, *device, request, requestBytes);
  if (requestLength == 0) return finish(ExchangeOutcome::NotBuilt);

  port.SetMulticastInterface(sendSocket, state.localInterfaces.address[index]);
  if (!port.SendTo(sendSocket, requestBytes, requestLength, state.groupAddress, state.groupPort)) {
    // Nothing went out, so no device can answer: waiting would only hold the thread.
    return finish(ExchangeOutcome::SendFailed);
  }

  const std::int64_t waitStart = port.MonotonicMs();
  int attempts = 0;
  const auto capReached = [&] { return port.MonotonicMs() - waitStart >= rule.waitCapMs; };
  for (;;) {
    if (port.WaitReadable(receiveSocket, kExchangePollWaitMs) > 0) {
      const int received = port.Receive(receiveSocket, buffer, kReceiveCapacity);
      if (received < 0) {
        ++report.readErrors;
        if (capReached()) {
          report.attempts = attempts;
          return finish(ExchangeOutcome::TimeCapReached);
        }
        continue;
      }
      ++report.datagramsRead;
      std::size_t length = static_cast<std::size_t>(received);
      if (length > kReceiveCapacity) length = kReceiveCapacity;
      buffer[length] = 0;
      const ReceivedDatagram datagram{buffer, length};
      if (datagram.ByteAt(offset::kOpcode) != rule.replyOpcode) {
        ++report.foreignOpcodes;
        if (capReached()) {
          report.attempts = attempts;
          return finish(ExchangeOutcome::TimeCapReached);
        }
        continue;
      }
      if (!IsForClient(datagram, state.clientId)) {
        ++report.otherClients;
      } else if ((rule.expectedAddress != nullptr &&
                  !CarriesAddress(datagram, rule.expectedAddress)) ||
                 (rule.carriesNewAddress && !CarriesUsableNewAddress(datagram))) {
        ++report.otherAddresses;
      } else {
        replyLength = length;
        report.attempts = attempts;
        return finish(ExchangeOutcome::Answered);
      }
    }
    ++attempts;
    if (attempts > rule.attemptLimit) {
      report.attempts = attempts;
      return finish(ExchangeOutcome::AttemptsSpent);
    }
    port.Pause(kExchangePauseMs);
  }
}

bool QueryList(ProtocolState& state, DeviceSocketPort& port, ExchangeReport* report,
               Request request, NameList& list, char separator) {
  ExchangeReport local;
  ExchangeReport& r = report != nullptr ? *report : local;
  r = ExchangeReport{};
  ClearNames(list);
  // The expected address is copied: the rule must not follow a text the exchange may rewrite.
  char expected[kIpTextSize];
  CopyText(expected, sizeof expected, state.SelectedDeviceIp);
  const ExchangeRule rule{true, QUERY_REPLY, expected, false, kQueryAttemptLimit, kQueryWaitCapMs};
  std::uint8_t buffer[kReceiveBufferSize];
  std::size_t length = 0;
  if (!RunExchange(state, port, request, rule, buffer, length, r)) return false;
  r.itemsSkipped = FillNameList(list, ReceivedDatagram{buffer, length}, separator);
  return true;
}

}  // namespace

int FillNameList(NameList& list, const ReceivedDatagram& reply, char separator) {
  int skipped = 0;
  for (const std::string& item : SplitListReply(reply, separator)) {
    if (item.size() >= kNameTextSize) {
      ++skipped;
      continue;
    }
    AddName(list, item.c_str());
  }
  return skipped;
}

bool CheckAdminLogin(ProtocolState& state, DeviceSocketPort& port, ExchangeReport* report) {
  ExchangeReport local;
  ExchangeReport& r = report != nullptr ? *report : local;
  r = ExchangeReport{};
  char expected[kIpTextSize];
  CopyText(expected, sizeof expected, state.SelectedDeviceIp);
  // Flushed like the queries: a late verdict on earlier credentials must not answer this check
  // (replies do not say which credentials they judge).
  const ExchangeRule rule{true, QUERY_REPLY, expected, false, kLoginAttemptLimit, kLoginWaitCapMs};
  std::uint8_t buffer[kReceiveBufferSize];
  std::size_t length = 0;
  if (!RunExchange(state, port, Request::Login, rule, buffer, length, r)) return false;
  r.loginAccepted = ReceivedDatagram{buffer, length}.ByteAt(offset::kQueryResult) != 0;
  return r.loginAccepted;
}

bool QueryShareNames(ProtocolState& state, DeviceSocketPort& port, ExchangeReport* report) {
  return QueryList(state, port, report, Request::Shares, state.shareNameList, ':');
}

bool QueryTargetEntries(ProtocolState& state, DeviceSocketPort& port, ExchangeReport* report) {
  return QueryList(state, port, report, Request::Targets, state.targetEntryList, '=');
}

bool EnableDeviceDhcp(ProtocolState& state, DeviceSocketPort& port, ExchangeReport* report) {
  ExchangeReport local;
  ExchangeReport& r = report != nullptr ? *report : local;
  r = ExchangeReport{};
  const ExchangeRule rule{false, SET_REPLY, nullptr, true, kSetAttemptLimit, kSetWaitCapMs};
  std::uint8_t buffer[kReceiveBufferSize];
  std::size_t length = 0;
  if (!RunExchange(state, port, Request::Dhcp, rule, buffer, length, r)) return false;
  std::uint8_t address[4];
  ReceivedDatagram{buffer, length}.CopyOut(offset::kDeviceAddress, 4, address);
  ApplyDhcpAddressChange(state, address);
  CopyText(r.newAddress, sizeof r.newAddress, FormatIpv4(address).c_str());
  return true;
}

bool SetDeviceStaticAddress(ProtocolState& state, DeviceSocketPort& port, ExchangeReport* report) {
  ExchangeReport local;
  ExchangeReport& r = report != nullptr ? *report : local;
  r = ExchangeReport{};
  char expected[kIpTextSize];
  CopyText(expected, sizeof expected, state.PendingIp);
  const ExchangeRule rule{false, SET_REPLY, expected, true, kSetAttemptLimit, kSetWaitCapMs};
  std::uint8_t buffer[kReceiveBufferSize];
  std::size_t length = 0;
  if (!RunExchange(state, port, Request::StaticIp, rule, buffer, length, r)) return false;
  ApplyStaticAddressChange(state);
  CopyText(r.newAddress, sizeof r.newAddress, expected);
  return true;
}

}  // namespace sw::protocol
