#pragma once
// Opening a device's web page in the user's browser: the browser registered under
// HKLM\Software\Clients\StartMenuInternet, or the shell (explorer) for a browser named "IE" and
// whenever the registered one cannot be started.
//
// The command line is built at the length it needs: a long registered command is never cut short
// and never overflows. Registry texts are read into 120 bytes; a longer value reads as empty, which
// leads to the explorer command line.

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/registry.h"

namespace sw::share {

constexpr std::size_t kRegistryTextSize = 120;
constexpr const char* kStartMenuInternetKey = "Software\\Clients\\StartMenuInternet";
// Longest command line WinExec accepts (CreateProcess's limit); longer ones are not run.
constexpr std::size_t kMaxCommandLineLength = 32766;

// Opens `subKey` for reading and reads `valueName` ("" for the default value) into a 120-byte
// buffer: "" when the key or value cannot be read or does not fit. A REG_EXPAND_SZ value comes
// back with its environment variables expanded ("%ProgramFiles%\..."; the result may be longer).
std::string ReadRegistryText(host::RegistryRoot root, const std::string& subKey, const char* valueName);

// "Software\Clients\StartMenuInternet\NAME\shell\open\command".
std::string BrowserCommandKey(const std::string& browserName);

// An unquoted program path that holds a blank, quoted up to and including its ".exe"
// (C:\Program Files\B\b.exe -url -> "C:\Program Files\B\b.exe" -url). WinExec splits an unquoted
// line at its first blank and, from this elevated process, would try C:\Program.exe first.
// Quoted commands, and commands without such a path, stay as they are.
std::string QuoteProgramPath(const std::string& command);

// The command line: "explorer http://IP" when `browserName` contains "IE" (case-sensitive),
// otherwise "COMMAND http://IP" with the command as stored (quotes included), its program path
// quoted by QuoteProgramPath. "" when `deviceIp` is not a dotted IPv4 address or the line would
// exceed kMaxCommandLineLength.
std::string BrowserCommandLine(const std::string& browserName, const std::string& browserCommand,
                               const std::string& deviceIp);
std::string ExplorerCommandLine(const std::string& deviceIp);

// WinExec results after which explorer is tried: 2, 3 and 11.
bool IsProgramMissing(std::uint32_t winExecResult);

struct WebLaunch {
  std::string commandLine;          // what was run first ("" when nothing was run)
  std::uint32_t result = 0;         // its WinExec result
  std::string fallbackCommandLine;  // the explorer line when the first could not start, else ""
};

// The launch after the reachability check: both registry reads, the command line, WinExec with
// show value 0, and the explorer fall-back (whose result is not examined). Runs nothing when
// `deviceIp` is not a dotted IPv4 address.
WebLaunch LaunchWebConfiguration(const std::string& deviceIp);

}  // namespace sw::share
