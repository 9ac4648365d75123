#pragma once
// The clock port: monotonic milliseconds and sleeping, for the core and every layer above it.
// clock_win32.cpp / clock_posix.cpp are the real clocks; a process may install a replacement (the
// headless UI installs a fake that only moves when a test advances it or the program sleeps).

#include <atomic>
#include <cstdint>

namespace sw::host {

// Milliseconds since an arbitrary start; wraps as GetTickCount does.
std::uint32_t TickCount();
void SleepMs(unsigned ms);

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint32_t Now() = 0;
  virtual void Sleep(unsigned ms) = 0;
};

// Replaces the clock for the whole process; nullptr puts the real clock back. Not owned.
void InstallClock(Clock* clock);

// A clock that moves only when set, advanced or slept on: sleeping costs no real time.
class FakeClock : public Clock {
 public:
  std::uint32_t Now() override { return m_now.load(); }
  void Sleep(unsigned ms) override { Advance(ms); }
  void Set(std::uint32_t now) { m_now.store(now); }
  void Advance(std::uint32_t ms) { m_now.fetch_add(ms); }

 private:
  std::atomic<std::uint32_t> m_now{0};
};

// The platform's own clock (the backends).
std::uint32_t RealTickCount();
void RealSleepMs(unsigned ms);

}  // namespace sw::host
