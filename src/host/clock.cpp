#include "host/clock.h"

namespace sw::host {

namespace {
// Constant-initialised, so a clock installed during static initialisation is never overwritten.
std::atomic<Clock*> g_installed{nullptr};
}  // namespace

void InstallClock(Clock* clock) { g_installed.store(clock); }

std::uint32_t TickCount() {
  Clock* c = g_installed.load();
  return c ? c->Now() : RealTickCount();
}

void SleepMs(unsigned ms) {
  if (Clock* c = g_installed.load()) {
    c->Sleep(ms);
  } else {
    RealSleepMs(ms);
  }
}

}  // namespace sw::host
