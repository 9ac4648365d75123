// The targeted exchanges fed by hostile peers: any sequence of datagrams and read errors must end
// (attempt limit or wall-clock cap), never overflow, and leave name lists of distinct, non-empty,
// terminated items that fit their fields, and a table that still finds the selected device.

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "fuzz_client.h"
#include "protocol/discovery.h"
#include "protocol/exchanges.h"

namespace {

using namespace sw::protocol;

void Require(bool condition) {
  if (!condition) std::abort();
}

// As in the discovery target: records of a two-byte length and that many bytes; 0xFFFF is a
// failed read, 0xFFFE a poll that finds nothing. Time passes through the port only.
class InputPort final : public DeviceSocketPort {
 public:
  InputPort(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Startup() override { return true; }
  void Cleanup() override {}
  bool FirstHostAddress(char (&out)[kIpTextSize]) override {
    std::strcpy(out, "10.77.0.1");
    return true;
  }
  SocketHandle OpenSendSocket() override { return 1; }
  ReceiveSocketSetup OpenReceiveSocket(const char*, const char*, std::uint16_t) override {
    return {2, true};
  }
  bool SetMulticastInterface(SocketHandle, const char*) override { return true; }
  bool SendTo(SocketHandle, const std::uint8_t* data, std::size_t length, const char*,
              std::uint16_t) override {
    Require(length > 0 && length <= kRequestBufferSize);
    lastSent.assign(data, data + length);
    ++sends;
    return true;
  }
  int WaitReadable(SocketHandle, int timeoutMs) override {
    ++waits;
    if (at_ + 2 > size_) {
      nowMs_ += timeoutMs;
      return 0;
    }
    const unsigned length = data_[at_] | data_[at_ + 1] << 8;
    if (length == 0xFFFE) {
      at_ += 2;
      nowMs_ += timeoutMs;
      return 0;
    }
    return 1;
  }
  int Receive(SocketHandle, std::uint8_t* buffer, std::size_t capacity) override {
    nowMs_ += 1;
    const unsigned length = data_[at_] | data_[at_ + 1] << 8;
    at_ += 2;
    if (length == 0xFFFF) return -1;
    std::size_t n = length < size_ - at_ ? length : size_ - at_;
    const std::uint8_t* bytes = data_ + at_;
    at_ += n;
    if (n > capacity) return -1;
    std::memcpy(buffer, bytes, n);
    return static_cast<int>(n);
  }
  void Close(SocketHandle) override {}
  void Pause(int ms) override { nowMs_ += ms; }
  std::int64_t MonotonicMs() override { return nowMs_; }

  std::string lastSent;
  int sends = 0;
  long waits = 0;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  std::int64_t nowMs_ = 0;
};

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
  InputPort port(data + 1, size - 1);
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
  Require(port.sends == 1);
  // The cap holds on the port's clock whatever arrives (11 flush polls come before it).
  Require(report.elapsedMs <= 110 + kSetWaitCapMs + 200);
  CheckList(state.shareNameList, ':');
  CheckList(state.targetEntryList, '=');
  Require(state.deviceList.count == 1);
  Require(FindDeviceByIp(state.deviceList, state.SelectedDeviceIp) != nullptr);
  if (ok && which == 4) Require(std::strcmp(state.SelectedDeviceIp, "10.77.0.50") == 0);
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
