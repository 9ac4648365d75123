#pragma once
// The device reachability check that Connect and Configuration make before touching a device: a
// worker thread checks "http://ADDRESS" and writes the flag once; the UI thread polls the flag at
// about 0, 1 and 2 seconds through the framework's sleep (a fake clock in headless tests).
//
// Each probe carries a number; a probe still running when the next one starts, or when its wait
// has ended, can no longer write the flag, so a late answer never passes for a later wait.
//
// Tests replace the probe through SetProbeStandIn (no thread, no network) or the check alone
// through SetConnectionCheck (the real worker thread around a fake check).

#include <cstdint>
#include <functional>
#include <string>

namespace sw::share {

constexpr std::int32_t kReachabilityPending = 0;
constexpr std::int32_t kDeviceReachable = 1;
constexpr std::int32_t kDeviceUnreachable = -1;

std::int32_t ReachabilityFlag();

// "http://ADDRESS"; "" when the address is not a dotted IPv4 address (nothing is then probed).
std::string ReachabilityUrl(const char* deviceAddress);

// Sets the flag to pending and starts ProbeDeviceReachability for `deviceAddress` (the caller's
// SelectedDeviceAddress, copied before the thread starts). When no probe can run (bad address,
// thread not started) the flag becomes unreachable at once.
void StartReachabilityProbe(const char* deviceAddress);

// Polls the flag: true as soon as it is reachable; false when it is unreachable or still pending
// after two one-second sleeps. The flag is pending again afterwards, whatever the result. On false
// the caller tells the user "Device is no longer available." and refreshes (drive table, combo,
// new device search, DeviceSelected cleared).
bool WaitForDeviceReachable();

// Test seams. A stand-in replaces the worker thread and the platform check: StartReachabilityProbe
// calls it on the calling thread and writes its answer at once; NoAnswer leaves the flag pending,
// like a check still waiting for a device that was switched off. An empty function restores the
// real probe.
enum class ProbeAnswer { Reachable, Unreachable, NoAnswer };
using ProbeStandIn = std::function<ProbeAnswer(const std::string& url)>;
void SetProbeStandIn(ProbeStandIn standIn);

// Replaces only InternetCheckConnectionA; the probe still runs on its worker thread. Empty: the
// platform's check.
using ConnectionCheck = std::function<bool(const std::string& url)>;
void SetConnectionCheck(ConnectionCheck check);

}  // namespace sw::share
