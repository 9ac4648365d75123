#include "share/reachability.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "fabric/fabric.h"
#include "host/clock.h"
#include "host/thread_start.h"
#include "share/internet_check.h"

namespace sw::share {

namespace {

// The probe's number in the high half, the flag in the low half: a probe writes the flag only while
// its number is still the current one, in one compare-and-swap.
std::atomic<std::uint64_t> g_probeState{0};

std::uint64_t Pack(std::uint32_t generation, std::int32_t flag) {
  return (std::uint64_t{generation} << 32) | static_cast<std::uint32_t>(flag);
}
std::uint32_t GenerationOf(std::uint64_t state) { return static_cast<std::uint32_t>(state >> 32); }
std::int32_t FlagOf(std::uint64_t state) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(state)); }

std::mutex g_seamMutex;
ProbeStandIn g_standIn;
ConnectionCheck g_check;

// Starts a new probe: the flag is pending and only probe `generation` may write it.
std::uint32_t BeginProbe() {
  std::uint64_t state = g_probeState.load();
  std::uint32_t generation;
  do {
    generation = GenerationOf(state) + 1;
  } while (!g_probeState.compare_exchange_weak(state, Pack(generation, kReachabilityPending)));
  return generation;
}

// Ends the wait: the flag is pending again under a number no probe holds, so a probe still running
// (its device went quiet during the wait) can no longer write it.
void EndWait() {
  std::uint64_t state = g_probeState.load();
  while (!g_probeState.compare_exchange_weak(state, Pack(GenerationOf(state) + 1, kReachabilityPending))) {
  }
}

void FinishProbe(std::uint32_t generation, std::int32_t flag) {
  std::uint64_t expected = Pack(generation, kReachabilityPending);
  g_probeState.compare_exchange_strong(expected, Pack(generation, flag));
}

// The worker thread's procedure: one check, one write of the flag.
void ProbeDeviceReachability(std::uint32_t generation, std::string url, ConnectionCheck check) {
  bool reachable = check ? check(url) : InternetCheckConnectionA(url.c_str());
  FinishProbe(generation, reachable ? kDeviceReachable : kDeviceUnreachable);
}

constexpr int kPollIntervalMs = 1000;
constexpr int kPollSleeps = 2;

}  // namespace

std::int32_t ReachabilityFlag() { return FlagOf(g_probeState.load()); }

std::string ReachabilityUrl(const char* deviceAddress) {
  fabric::Ipv4Bytes bytes;
  if (!deviceAddress || !fabric::ParseDottedQuad(deviceAddress, &bytes)) return std::string();
  return std::string("http://") + deviceAddress;
}

void StartReachabilityProbe(const char* deviceAddress) {
  std::uint32_t generation = BeginProbe();
  std::string url = ReachabilityUrl(deviceAddress);
  if (url.empty()) {
    FinishProbe(generation, kDeviceUnreachable);
    return;
  }
  ProbeStandIn standIn;
  ConnectionCheck check;
  {
    std::lock_guard<std::mutex> lock(g_seamMutex);
    standIn = g_standIn;
    check = g_check;
  }
  if (standIn) {
    switch (standIn(url)) {
      case ProbeAnswer::Reachable: FinishProbe(generation, kDeviceReachable); break;
      case ProbeAnswer::Unreachable: FinishProbe(generation, kDeviceUnreachable); break;
      case ProbeAnswer::NoAnswer: break;
    }
    return;
  }
  bool started = host::StartDetachedThread(
      [generation, url = std::move(url), check = std::move(check)] { ProbeDeviceReachability(generation, url, check); });
  if (!started) FinishProbe(generation, kDeviceUnreachable);
}

bool WaitForDeviceReachable() {
  bool reachable = false;
  for (int i = 0;; ++i) {
    std::int32_t flag = ReachabilityFlag();
    if (flag == kDeviceReachable) {
      reachable = true;
      break;
    }
    if (flag == kDeviceUnreachable || i >= kPollSleeps) break;
    host::SleepMs(kPollIntervalMs);
  }
  EndWait();
  return reachable;
}

void SetProbeStandIn(ProbeStandIn standIn) {
  std::lock_guard<std::mutex> lock(g_seamMutex);
  g_standIn = std::move(standIn);
}

void SetConnectionCheck(ConnectionCheck check) {
  std::lock_guard<std::mutex> lock(g_seamMutex);
  g_check = std::move(check);
}

}  // namespace sw::share
