// Win32 backend of the clock port: GetTickCount and Sleep; no logic here.

#include <windows.h>

#include "host/clock.h"

namespace sw::host {

std::uint32_t RealTickCount() { return ::GetTickCount(); }
void RealSleepMs(unsigned ms) { ::Sleep(ms); }

}  // namespace sw::host
