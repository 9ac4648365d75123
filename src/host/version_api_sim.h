#pragma once
// Controls of the simulated version port (version_api_sim.cpp): which Windows the simulated
// process believes it runs on. On first use the simulation reads SEEKWELL_SIM_WINDOWS, so that
// seekwell-sim.exe can be started as any version; tests set it directly. Default: Windows 7
// workstation, 64-bit process (not WOW64).
//
// SEEKWELL_SIM_WINDOWS grammar, case-insensitive:  NAME[:BUILD][+FLAG]...
//   NAME   win32s 95 95sp1 95osr2 98 98sp1 98se me nt351 nt4 nt4server 2000 2000server xp 2003
//          vista 2008server 2008dc win7 2008r2 win8 ce
//   BUILD  replaces the low 16 bits of the reported build number (e.g. 98:2222)
//   FLAG   wow64           the process is a 32-bit process on 64-bit Windows
//          noex            GetVersionExA refuses the extended structure (registry fallback)
//          nogetversionex  KERNEL32 lacks GetVersionExA (GetVersion fallback)
//          nowow64entry    KERNEL32 lacks IsWow64Process
// Example: SEEKWELL_SIM_WINDOWS=2008server+wow64

#include <string>

#include "host/version_api.h"

namespace sw::host::version_api {

struct SimulatedWindows {
  bool kernel32Loaded = true;
  bool hasGetVersionEx = true;
  bool extendedSucceeds = true;    // GetVersionExA accepts the 156-byte structure
  bool plainSucceeds = true;       // GetVersionExA accepts the 148-byte structure
  ReportedVersion reported;        // what GetVersionExA reports (productType only via extended)
  std::uint32_t packedVersion = 0; // what GetVersion returns
  bool hasIsWow64Process = true;
  bool isWow64CallSucceeds = true;
  bool wow64 = false;
  // Written to HKLM\System\CurrentControlSet\Control\ProductOptions "ProductType" in the simulated
  // registry when this configuration is installed; empty leaves the registry alone.
  std::string productOptions;
};

// Parses the grammar above. False (and `out` untouched) for an unknown name, flag or bad build.
bool ParseSimulatedWindows(const std::string& text, SimulatedWindows& out);

// Installs a configuration (and its ProductOptions value, see above).
void SetSimulatedWindows(const SimulatedWindows& windows);

// The configuration in force, reading SEEKWELL_SIM_WINDOWS first if nothing was installed yet. An
// unset or unparsable variable gives the default.
SimulatedWindows CurrentSimulatedWindows();

// Forgets the installed configuration; the next use reads SEEKWELL_SIM_WINDOWS again.
void ResetSimulatedWindows();

}  // namespace sw::host::version_api
