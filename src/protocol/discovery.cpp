#include "protocol/discovery.h"

#include <chrono>
#include <cstring>
#include <random>

namespace sw::protocol {

namespace {

std::uint64_t SplitMix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Handles one received datagram of a pass: the acceptance rules, then first answer wins.
void TakeDatagram(ProtocolState& state, const ReceivedDatagram& datagram, int interfaceIndex,
                  std::uint8_t filterA, std::uint8_t filterB, DiscoveryReport& report) {
  Announcement announcement;
  switch (ReadAnnouncement(datagram, state.clientId, filterA, filterB, announcement)) {
    case AnnouncementVerdict::WrongOpcode:
      ++report.otherOpcodes;
      return;
    case AnnouncementVerdict::OtherClient:
      ++report.otherClients;
      return;
    case AnnouncementVerdict::FilteredOut:
      ++report.filteredOut;
      return;
    case AnnouncementVerdict::Accepted:
      break;
  }
  if (announcement.nameClamped) ++report.namesClamped;
  if (HasDevice(state.deviceList, announcement.ipAddress)) {
    ++report.duplicates;
    return;
  }
  if (AddDevice(state.deviceList, announcement.name, announcement.ipAddress, announcement.netmask,
                announcement.gateway, announcement.deviceId, announcement.dhcpState, interfaceIndex,
                announcement.iscsiCapable)) {
    ++report.devicesAdded;
  }
}

}  // namespace

ClientId MakeClientId(std::uint64_t seed) {
  ClientId id;
  std::uint64_t bits = SplitMix64(seed);
  for (std::size_t i = 0; i < kClientIdComparedBytes; ++i) {
    id.bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  }
  return id;
}

ClientId NewClientId() {
  std::uint64_t seed =
      static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
      (static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) << 17);
  try {
    std::random_device device;
    seed ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (...) {
    // No system random source: the clocks alone still separate instances started apart.
  }
  return MakeClientId(seed);
}

bool InitDeviceSockets(ProtocolState& state, DeviceSocketPort& port) {
  if (!port.Startup()) return false;
  state.socketsStarted = true;

  char hostAddress[kIpTextSize] = {};
  if (!port.FirstHostAddress(hostAddress)) return true;

  state.localInterfaces = LocalInterfaceTable{};
  CopyText(state.localInterfaces.address[0], kIpTextSize, hostAddress);
  state.localInterfaces.count = 1;
  state.clientId = NewClientId();

  CopyText(state.groupAddress, sizeof state.groupAddress, kGroupAddress);
  state.groupPort = kDevicePort;
  for (int i = 0; i < state.localInterfaces.count; ++i) {
    state.sendSockets[i] = port.OpenSendSocket();
  }
  CopyText(state.bindAddress, sizeof state.bindAddress, "0.0.0.0");
  state.bindPort = kDevicePort;
  for (int i = 0; i < state.localInterfaces.count; ++i) {
    const ReceiveSocketSetup setup =
        port.OpenReceiveSocket(state.localInterfaces.address[i], state.groupAddress, kDevicePort);
    state.receiveSockets[i] = setup.socket;
    state.receiveSocketsComplete[i] = setup.complete;
  }
  return true;
}


void CloseDeviceSockets(ProtocolState& state, DeviceSocketPort& port) {
  for (int i = 0; i < state.localInterfaces.count; ++i) {
    if (state.sendSockets[i] != kNoSocket) port.Close(state.sendSockets[i]);
    if (state.receiveSockets[i] != kNoSocket) port.Close(state.receiveSockets[i]);
    state.sendSockets[i] = kNoSocket;
    state.receiveSockets[i] = kNoSocket;
    state.receiveSocketsComplete[i] = false;
  }
  state.localInterfaces.count = 0;
  if (state.socketsStarted) port.Cleanup();
  state.socketsStarted = false;
}


DiscoveryReport DiscoverDevices(ProtocolState& state, DeviceSocketPort& port, std::uint8_t filterA,
                                std::uint8_t filterB) {
  DiscoveryReport report;
  ClearDeviceList(state.deviceList);

  std::uint8_t request[kRequestBufferSize];
  std::uint8_t receiveBuffer[kReceiveBufferSize] = {};
  const std::size_t requestLength = BuildDiscover(state.clientId, request);

  int uncountedReadErrors = 0;
  for (int i = 0; i < state.localInterfaces.count; ++i) {
    const SocketHandle sendSocket = state.sendSockets[i];
    const SocketHandle receiveSocket = state.receiveSockets[i];
    port.SetMulticastInterface(sendSocket, state.localInterfaces.address[i]);
    for (int copy = 0; copy < kDiscoverCopies; ++copy) {
      port.SendTo(sendSocket, request, requestLength, state.groupAddress, state.groupPort);
      port.Pause(kPauseAfterDiscoverMs);
    }

    int polls = 0;
    while (polls < kPollsPerInterface) {
      if (port.WaitReadable(receiveSocket, kPollWaitMs) > 0) {
        const int received = port.Receive(receiveSocket, receiveBuffer, kReceiveCapacity);
        if (received < 0) {
          ++report.readErrors;
          if (uncountedReadErrors < kMaxUncountedReadErrors) {
            ++uncountedReadErrors;
            continue;
          }
        } else {
          ++report.datagramsRead;
          std::size_t length = static_cast<std::size_t>(received);
          if (length > kReceiveCapacity) length = kReceiveCapacity;
          receiveBuffer[length] = 0;
          TakeDatagram(state, ReceivedDatagram{receiveBuffer, length}, i, filterA, filterB, report);
        }
      }
      ++polls;
      ++report.polls;
      if (polls < kPollsPerInterface) port.Pause(kPauseBetweenPollsMs);
    }
  }
  return report;
}

}  // namespace sw::protocol
