#pragma once
// Targeted exchanges with the selected device: the login check, the share and target lists, and
// the two LAN setting commands. Each builds one request, sends it once to the group out of the
// device's interface and waits a bounded time for the matching reply, blocking the calling (UI)
// thread.
//
// Inputs come from the ProtocolState, not from arguments: the caller sets SelectedDeviceIp,
// loginCredentials and the three Pending texts first. The device must be in the device table
// (the exchanges look it up by SelectedDeviceIp); when it is not, nothing is sent and the result
// is false.
//
// Every exchange goes through the socket port it is given (the platform's sockets, or a test's
// scripted port) and works on the state it is given (GetProtocolState() in the program). The
// optional report
// says why an exchange ended, which a bool cannot (a refused login and a silent device are both
// false).

#include <cstdint>

#include "protocol/device_socket.h"
#include "protocol/protocol_state.h"

namespace sw::protocol {

constexpr int kFlushPolls = 11;
constexpr int kExchangePollWaitMs = 10;
constexpr int kExchangePauseMs = 100;
constexpr int kLoginAttemptLimit = 10;
constexpr int kQueryAttemptLimit = 20;
constexpr int kSetAttemptLimit = 100;
// Wall-clock caps on the wait for a reply, about what the attempt limits give on a quiet network.
// Datagrams with a foreign opcode and read errors are not counted as attempts, so without a cap a
// stream of them could keep the thread waiting for ever. The cap ends only such streams: it is
// looked at after an uncounted datagram, so a slow timer never costs a counted attempt.
constexpr std::int64_t kLoginWaitCapMs = 1200;
constexpr std::int64_t kQueryWaitCapMs = 2300;  // after the flush (at most 11 polls of 10 ms)
constexpr std::int64_t kSetWaitCapMs = 11100;

enum class ExchangeOutcome {
  Answered,        // an accepted reply arrived (for the login: whatever its verdict)
  DeviceNotFound,  // SelectedDeviceIp is not in the device table: nothing sent
  NotBuilt,        // the request could not be built (a text too long for its field, or a static
                   // address no device can have): nothing sent
  NoInterface,     // the device's interface has no sockets: nothing sent
  SendFailed,      // the send itself failed; the wait still ran
  AttemptsSpent,   // no accepted reply within the attempt limit
  TimeCapReached,  // the wall-clock cap ended the wait first
};

// What one exchange saw.
struct ExchangeReport {
  ExchangeOutcome outcome = ExchangeOutcome::DeviceNotFound;
  int attempts = 0;        // counted attempts (empty polls and rejected replies)
  int flushed = 0;         // datagrams read and discarded before sending
  int datagramsRead = 0;   // while waiting
  int readErrors = 0;      // not counted as attempts
  int foreignOpcodes = 0;  // not counted as attempts
  int otherClients = 0;    // replies to another instance: counted
  int otherAddresses = 0;  // replies from another device or with another address: counted
  int itemsSkipped = 0;    // list items longer than 255 characters: not added
  std::int64_t elapsedMs = 0;  // from the first flush poll (or the send) to the end, port clock
  bool loginAccepted = false;  // CheckAdminLogin only
  char newAddress[kIpTextSize] = {};  // the set commands: the address the device now has
};

// True when the device's verdict byte is non-zero.
bool CheckAdminLogin(ProtocolState& state, DeviceSocketPort& port, ExchangeReport* report = nullptr);

// Empties ShareNameList, then fills it from the reply. True when a reply arrived (even an empty
// list); a failed query leaves the list empty.
bool QueryShareNames(ProtocolState& state, DeviceSocketPort& port, ExchangeReport* report = nullptr);

// As QueryShareNames, for TargetEntryList (items separated by '=').
bool QueryTargetEntries(ProtocolState& state, DeviceSocketPort& port,
                        ExchangeReport* report = nullptr);

// Switches the device to DHCP. On a reply the device record (ipAddress, deviceId bytes 6-9) and
// SelectedDeviceIp take the address the device obtained.
bool EnableDeviceDhcp(ProtocolState& state, DeviceSocketPort& port, ExchangeReport* report = nullptr);

// Gives the device PendingIp, PendingNetmask and PendingGateway. True when the device confirms
// PendingIp; the record and SelectedDeviceIp are then updated. A PendingIp that is not a device's
// unicast address (0.0.0.0, loopback, multicast, 255.255.255.255) is refused unsent (NotBuilt).
//
// Both set commands take a SET_REPLY only when it holds bytes 17-20 and they are such a unicast
// address; a shorter reply, or one carrying another address, counts as a reply of another device.
bool SetDeviceStaticAddress(ProtocolState& state, DeviceSocketPort& port,
                            ExchangeReport* report = nullptr);

// Fills a name list from a list reply (text from offset 28, split at `separator`, empty items
// skipped, duplicates kept once). Items over 255 characters are skipped, never cut. Returns the
// number of items skipped.
int FillNameList(NameList& list, const ReceivedDatagram& reply, char separator);

}  // namespace sw::protocol
