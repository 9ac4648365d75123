#pragma once
// Discovery: opening and closing the device sockets, and the pass that multicasts DISCOVER and
// collects the announcements into the device table. Everything runs on the calling (UI) thread and
// blocks it: a pass lasts about 1.0 to 1.5 s per local interface, waiting in select, never spinning.
//
// The three functions without a state argument work on GetProtocolState() and the platform's
// sockets; they are what the application calls. The overloads taking a state and a port are the
// same code, for tests and tools that bring their own.

#include <cstdint>

#include "protocol/device_socket.h"
#include "protocol/protocol_state.h"

namespace sw::protocol {

constexpr int kDiscoverCopies = 2;
constexpr int kPauseAfterDiscoverMs = 50;
constexpr int kPollsPerInterface = 48;
constexpr int kPollWaitMs = 10;
constexpr int kPauseBetweenPollsMs = 20;
// Every caller in the program passes these filter values.
constexpr std::uint8_t kDefaultFilterA = 3;
constexpr std::uint8_t kDefaultFilterB = 3;
// A failed read normally repeats the poll without counting it; past this many failures in one
// pass they count as polls, so that a socket stuck in error or a flood of oversize datagrams
// cannot hold the pass open.
constexpr int kMaxUncountedReadErrors = 64;

// What one pass saw; the application ignores it, the command-line tool reports it.
struct DiscoveryReport {
  int polls = 0;
  int datagramsRead = 0;
  int readErrors = 0;
  int devicesAdded = 0;
  int duplicates = 0;        // announcements for an address already in the table
  int otherClients = 0;      // announcements answering another instance
  int filteredOut = 0;       // extended announcements with other filter bytes
  int otherOpcodes = 0;      // anything that is not an announcement
  int namesClamped = 0;      // names cut to what was received or to 255 characters
};

// Starts the socket library, takes the host's first IPv4 address as the only local interface,
// makes a fresh ClientId and opens one send and one receive socket for it. Returns false only when
// the socket library cannot be started: the caller then ends the process with exit code 1. A host
// name that does not resolve is not an error: no interface, no sockets, every pass finds nothing.
bool InitDeviceSockets(ProtocolState& state, DeviceSocketPort& port);

// Closes every socket and ends the socket library. Safe to call twice.
void CloseDeviceSockets(ProtocolState& state, DeviceSocketPort& port);

// Rebuilds the device table from one pass. A filter value 0 accepts any filter byte.
DiscoveryReport DiscoverDevices(ProtocolState& state, DeviceSocketPort& port, std::uint8_t filterA,
                                std::uint8_t filterB);

// Six random bytes and four zero bytes. NewClientId draws from the system's random source and the
// clocks, so that instances started in the same second still differ.
ClientId MakeClientId(std::uint64_t seed);
ClientId NewClientId();

}  // namespace sw::protocol
