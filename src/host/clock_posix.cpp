// POSIX backend of the clock port: the monotonic clock and a plain sleep; no logic here.

#include <chrono>
#include <thread>

#include "host/clock.h"

namespace sw::host {

std::uint32_t RealTickCount() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

void RealSleepMs(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace sw::host
