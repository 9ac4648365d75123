#pragma once
// The one socket port of the unit, flow and fuzz tests: no network at all. What the receive socket
// offers is a script, played one arrival per readability wait (`whenEmpty` forever after it);
// `onSend` lets a test answer what the program sends (the flows' fake devices do). Time passes
// only through the port: a wait that finds nothing costs its timeout, a pause its length, a read
// `readCostMs`, each as `waitCost`/`pauseCost` say (a coarse timer rounds them up). `sleep` and
// `now` put the port on another clock (the headless one in the flows).

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "protocol/datagram.h"
#include "protocol/device_socket.h"

namespace sw::test {

using Bytes = std::vector<std::uint8_t>;

struct Arrival {
  enum Kind { Nothing, Datagram, ReadError } kind = Nothing;
  Bytes bytes;
};
inline Arrival Silence() { return {}; }
inline Arrival Datagram(Bytes b) { return {Arrival::Datagram, std::move(b)}; }
inline Arrival ReadError() { return {Arrival::ReadError, {}}; }

class ScriptedSocketPort : public protocol::DeviceSocketPort {
 public:
  std::deque<Arrival> script;
  Arrival whenEmpty;
  std::function<void(const Bytes& request)> onSend;

  bool startupOk = true;
  bool resolves = true;
  std::string hostAddress = "10.77.0.1";
  bool receiveComplete = true;
  bool sendOk = true;

  // Clock.
  std::int64_t nowMs = 5000;
  int readCostMs = 1;
  std::function<std::int64_t(int timeoutMs)> waitCost = [](int ms) { return std::int64_t{ms}; };
  std::function<std::int64_t(int pauseMs)> pauseCost = [](int ms) { return std::int64_t{ms}; };
  std::function<void(std::int64_t ms)> sleep;  // empty: the port's own clock
  std::function<std::int64_t()> now;

  // A broken cap would spin for ever on an endless flood; past this many reads the port falls
  // silent so the test ends (and fails on `safetyTripped`).
  long safetyReads = 1000000;
  bool safetyTripped = false;

  struct Sent {
    Bytes bytes;
    std::string ip;
    std::uint16_t port;
    int waitsBefore;
    std::int64_t pausedMsBefore;
  };
  std::vector<Sent> sent;
  std::vector<std::string> multicastInterfaces;
  std::vector<int> pauses;
  std::string joinedOn, joinedGroup;
  std::uint16_t boundPort = 0;
  std::int64_t totalPauseMs = 0, totalWaitMs = 0;
  int waits = 0, emptyWaits = 0, reads = 0, datagramsRead = 0;
  int startups = 0, cleanups = 0, opened = 0, closed = 0;

  void Push(int count, const Arrival& a) {
    for (int i = 0; i < count; ++i) script.push_back(a);
  }

  bool Startup() override {
    ++startups;
    return startupOk;
  }
  void Cleanup() override { ++cleanups; }
  bool FirstHostAddress(char (&out)[protocol::kIpTextSize]) override {
    out[0] = 0;
    if (!resolves || hostAddress.size() >= sizeof out) return false;
    std::memcpy(out, hostAddress.c_str(), hostAddress.size() + 1);
    return true;
  }
  protocol::SocketHandle OpenSendSocket() override { return 100 + opened++; }
  protocol::ReceiveSocketSetup OpenReceiveSocket(const char* interfaceIp, const char* groupIp,
                                                 std::uint16_t port) override {
    joinedOn = interfaceIp;
    joinedGroup = groupIp;
    boundPort = port;
    return {200 + opened++, receiveComplete};
  }
  bool SetMulticastInterface(protocol::SocketHandle, const char* ip) override {
    multicastInterfaces.push_back(ip);
    return true;
  }
  bool SendTo(protocol::SocketHandle, const std::uint8_t* data, std::size_t length, const char* ip,
              std::uint16_t port) override {
    sent.push_back({Bytes(data, data + length), ip, port, waits, totalPauseMs});
    if (onSend) onSend(sent.back().bytes);
    return sendOk;
  }
  int WaitReadable(protocol::SocketHandle, int timeoutMs) override {
    ++waits;
    if (reads >= safetyReads) {
      safetyTripped = true;
      script.clear();
      whenEmpty = Silence();
    }
    if (script.empty()) script.push_back(whenEmpty);
    if (script.front().kind != Arrival::Nothing) return 1;
    script.pop_front();
    ++emptyWaits;
    const std::int64_t cost = waitCost(timeoutMs);
    totalWaitMs += cost;
    Advance(cost);
    return 0;
  }
  int Receive(protocol::SocketHandle, std::uint8_t* buffer, std::size_t capacity) override {
    ++reads;
    Advance(readCostMs);
    if (script.empty()) return -1;
    Arrival a = std::move(script.front());
    script.pop_front();
    if (a.kind != Arrival::Datagram || a.bytes.size() > capacity) return -1;
    if (!a.bytes.empty()) std::memcpy(buffer, a.bytes.data(), a.bytes.size());
    ++datagramsRead;
    return static_cast<int>(a.bytes.size());
  }
  void Close(protocol::SocketHandle) override { ++closed; }
  void Pause(int ms) override {
    pauses.push_back(ms);
    const std::int64_t cost = pauseCost(ms);
    totalPauseMs += cost;
    Advance(cost);
  }
  std::int64_t MonotonicMs() override { return now ? now() : nowMs; }

 private:
  void Advance(std::int64_t ms) {
    if (sleep) {
      sleep(ms);
    } else {
      nowMs += ms;
    }
  }
};

}  // namespace sw::test
