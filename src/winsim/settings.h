#pragma once
// What the simulated machine is told at start: the environment variables a test, the demo or
// seekwell-sim.exe sets, read in one place (FromEnvironment) and nowhere else.
//
//   SEEKWELL_FABRIC               the fabric JSON file (devices, shares, targets, drive letters);
//                                 unset: the built-in demo fabric
//   SEEKWELL_SIM_WINDOWS          which Windows (windows_version.h has the grammar); default win7
//   SEEKWELL_SIM_INITIATOR        the initiator's installation (services.h has the grammar)
//   SEEKWELL_SIM_DISKS            the folder of the session disks' images (halden-sim's LUN files)
//   SEEKWELL_SIM_VOLUME_DELAY_MS  how long Windows takes to mount a new partition (default 1500)
//   SEEKWELL_SIM_IPCONFIG_MS      how long "ipconfig /all" runs (default 300)
//   SEEKWELL_SIM_FORMAT_STEP_MS   a pause before each progress report of a format (default 0)
//   SEEKWELL_SIM_USER             the logged-on user's name (default "User")
//   SEEKWELL_SIM_OPEN             the start-up road of seekwell-sim.exe (app/sim_start.h)

#include <cstdint>
#include <string>

namespace sw::winsim {

struct Settings {
  std::string fabricPath;
  std::string windows;
  std::string initiator;
  std::string disksFolder;
  std::uint32_t volumeDelayMs = 1500;
  std::uint32_t ipconfigMs = 300;
  std::uint32_t formatStepMs = 0;
  std::string userName = "User";
  std::string open;

  static Settings FromEnvironment();
};

}  // namespace sw::winsim
