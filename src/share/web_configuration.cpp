#include "share/web_configuration.h"

#include "fabric/fabric.h"
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
  if (!key.ReadString(valueName, buffer, sizeof buffer)) return std::string();
  return buffer;
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
  std::string line = browserCommand + " http://" + deviceIp;
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
