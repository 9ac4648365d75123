#pragma once
// Controls of the simulated WinExec (program_launcher_sim.cpp). A command line starts when its
// program (the first token: a quoted path, or the text up to the first blank) is installed,
// compared ignoring case; it then returns 33, else kWinExecFileNotFound. "explorer" is installed
// by default. Every call is recorded.

#include <cstdint>
#include <string>
#include <vector>

namespace sw::share::sim {

struct LaunchRecord {
  std::string commandLine;
  unsigned showCommand = 0;
  std::uint32_t result = 0;
};

void InstallProgram(const std::string& program);  // e.g. "C:\\Program Files\\Browser\\browser.exe"
void UninstallAllPrograms();                       // not even explorer
void ResetLauncher();                              // only explorer, empty log
const std::vector<LaunchRecord>& Launches();

// The program token of a command line as the simulation sees it (quotes removed).
std::string ProgramOf(const std::string& commandLine);

}  // namespace sw::share::sim
