#pragma once
// Port to WinExec. Backends: program_launcher_win32.cpp (the real call) and program_launcher_sim.cpp
// (the simulated machine's programs).

#include <cstdint>

namespace sw::share {

constexpr unsigned kShowHide = 0;  // SW_HIDE, the show value the browser launch passes

// WinExec results: above 31 is success; these three mean "the program is not there".
constexpr std::uint32_t kWinExecFileNotFound = 2;
constexpr std::uint32_t kWinExecPathNotFound = 3;
constexpr std::uint32_t kWinExecBadFormat = 11;

std::uint32_t WinExec(const char* commandLine, unsigned showCommand);

}  // namespace sw::share
