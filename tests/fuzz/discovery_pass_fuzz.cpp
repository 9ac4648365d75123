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

void Require(bool condition) {
  if (!condition) std::abort();
}

// Plays the fuzz input as what arrives on the receive socket: records of a two-byte length and
// that many bytes; length 0xFFFF is a failed read, 0xFFFE a poll that finds nothing.
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
  bool SendTo(SocketHandle, const std::uint8_t*, std::size_t, const char*, std::uint16_t) override {
    return true;
  }
  int WaitReadable(SocketHandle, int) override {
    if (at_ + 2 > size_) return 0;
    const unsigned length = data_[at_] | data_[at_ + 1] << 8;
    if (length == 0xFFFE) {
      at_ += 2;
      return 0;
    }
    return 1;
  }
  int Receive(SocketHandle, std::uint8_t* buffer, std::size_t capacity) override {
    const unsigned length = data_[at_] | data_[at_ + 1] << 8;
    at_ += 2;
    if (length == 0xFFFF) return -1;
    std::size_t n = length < size_ - at_ ? length : size_ - at_;
    const std::uint8_t* bytes = data_ + at_;
    at_ += n;
    if (n > capacity) return -1;
    std::memcpy(buffer, bytes, n);
    ++datagrams;
    return static_cast<int>(n);
  }
  void Close(SocketHandle) override {}
  void Pause(int) override {}

  int datagrams = 0;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  InputPort port(data, size);
  ProtocolState state;
  Require(InitDeviceSockets(state, port));
  state.clientId = fuzz::TestClientId();

  const DiscoveryReport report = DiscoverDevices(state, port, kDefaultFilterA, kDefaultFilterB);
  Require(report.polls == kPollsPerInterface);
  Require(report.datagramsRead == port.datagrams);
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
