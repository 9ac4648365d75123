// Simulated backend of the program launcher: records command lines, starts nothing. Controls in
// program_launcher_sim.h.

#include <mutex>
#include <set>

#include "share/program_launcher.h"
#include "share/program_launcher_sim.h"

namespace sw::share {

namespace {

constexpr std::uint32_t kStarted = 33;

std::string Folded(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

struct LauncherState {
  std::set<std::string> installed{Folded("explorer")};
  std::vector<sim::LaunchRecord> launches;
};

std::mutex g_mutex;
LauncherState g_launcher;

}  // namespace

std::uint32_t WinExec(const char* commandLine, unsigned showCommand) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string line = commandLine ? commandLine : "";
  std::string program = sim::ProgramOf(line);
  std::uint32_t result =
      (!program.empty() && g_launcher.installed.count(Folded(program))) ? kStarted : kWinExecFileNotFound;
  g_launcher.launches.push_back({line, showCommand, result});
  return result;
}

namespace sim {

std::string ProgramOf(const std::string& commandLine) {
  if (!commandLine.empty() && commandLine[0] == '"') {
    std::size_t close = commandLine.find('"', 1);
    return commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  return commandLine.substr(0, commandLine.find(' '));
}

void InstallProgram(const std::string& program) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_launcher.installed.insert(Folded(program));
}

void UninstallAllPrograms() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_launcher.installed.clear();
}

void ResetLauncher() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_launcher = LauncherState{};
}

const std::vector<LaunchRecord>& Launches() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_launcher.launches;
}

}  // namespace sim

}  // namespace sw::share
