#include "share/web_configuration.h"

#include "base/ascii_case.h"
#include "fabric/fabric.h"
#include "host/environment.h"
#include "share/program_launcher.h"

namespace sw::share {

namespace {

bool IsDottedAddress(const std::string& text) {
  fabric::Ipv4Bytes bytes;
  return fabric::ParseDottedQuad(text, &bytes);
}

}  // namespace

std::string ReadRegistryText(host::RegistryRoot root, const std::string& subKey, const char* valueName) {
  host::RegistryKey key;
  if (!key.Open(root, subKey, host::RegistryAccess::Read)) return std::string();
  char buffer[kRegistryTextSize] = {};
  std::uint32_t type = host::kRegSz;
  if (!key.ReadString(valueName, buffer, sizeof buffer, &type)) return std::string();
  if (type != host::kRegExpandSz) return buffer;
  std::string expanded;
  return host::ExpandEnvironmentStringsA(buffer, expanded) ? expanded : std::string();
}

std::string QuoteProgramPath(const std::string& command) {
  if (command.empty() || command[0] == '"') return command;
  for (std::size_t at = command.find('.'); at != std::string::npos; at = command.find('.', at + 1)) {
    if (at + 4 > command.size()) break;
    std::string extension = command.substr(at, 4);
    extension = base::LowerAscii(extension);
    const std::size_t end = at + 4;
    if (extension != ".exe" || (end < command.size() && command[end] != ' ' && command[end] != '\t')) continue;
    const std::string program = command.substr(0, end);
    if (program.find_first_of(" \t") == std::string::npos) return command;
    return "\"" + program + "\"" + command.substr(end);
  }
  return command;
}

std::string BrowserCommandKey(const std::string& browserName) {
  return std::string(kStartMenuInternetKey) + "\\" + browserName + "\\shell\\open\\command";
}

std::string ExplorerCommandLine(const std::string& deviceIp) {
  if (!IsDottedAddress(deviceIp)) return std::string();
  return "explorer http://" + deviceIp;
}

std::string BrowserCommandLine(const std::string& browserName, const std::string& browserCommand,
                               const std::string& deviceIp) {
  if (!IsDottedAddress(deviceIp)) return std::string();
  if (browserName.find("IE") != std::string::npos) return ExplorerCommandLine(deviceIp);
  std::string line = QuoteProgramPath(browserCommand) + " http://" + deviceIp;
  if (line.size() > kMaxCommandLineLength) return std::string();
  return line;
}

bool IsProgramMissing(std::uint32_t winExecResult) {
  return winExecResult == kWinExecFileNotFound || winExecResult == kWinExecPathNotFound ||
         winExecResult == kWinExecBadFormat;
}

WebLaunch LaunchWebConfiguration(const std::string& deviceIp) {
  WebLaunch launch;
  if (!IsDottedAddress(deviceIp)) return launch;
  std::string browserName = ReadRegistryText(host::RegistryRoot::LocalMachine, kStartMenuInternetKey, "");
  std::string browserCommand;
  if (browserName.find("IE") == std::string::npos) {
    browserCommand =
        ReadRegistryText(host::RegistryRoot::LocalMachine, BrowserCommandKey(browserName), "");
  }
  launch.commandLine = BrowserCommandLine(browserName, browserCommand, deviceIp);
  // A line too long for Windows is treated like a browser that cannot be started.
  launch.result = launch.commandLine.empty() ? kWinExecFileNotFound
                                             : WinExec(launch.commandLine.c_str(), kShowHide);
  if (IsProgramMissing(launch.result)) {
    launch.fallbackCommandLine = ExplorerCommandLine(deviceIp);
    WinExec(launch.fallbackCommandLine.c_str(), kShowHide);
  }
  return launch;
}

}  // namespace sw::share
