// The one place that reads the simulated machine's environment variables.

#include "winsim/settings.h"

#include <cstdlib>

namespace sw::winsim {

namespace {

bool Read(const char* name, std::string& out) {
  const char* value = std::getenv(name);
  if (value == nullptr) return false;
  out = value;
  return true;
}

void ReadMs(const char* name, std::uint32_t& out) {
  std::string text;
  if (Read(name, text) && !text.empty()) out = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

}  // namespace

Settings Settings::FromEnvironment() {
  Settings s;
  Read("SEEKWELL_FABRIC", s.fabricPath);
  Read("SEEKWELL_SIM_WINDOWS", s.windows);
  Read("SEEKWELL_SIM_INITIATOR", s.initiator);
  Read("SEEKWELL_SIM_DISKS", s.disksFolder);
  ReadMs("SEEKWELL_SIM_VOLUME_DELAY_MS", s.volumeDelayMs);
  ReadMs("SEEKWELL_SIM_IPCONFIG_MS", s.ipconfigMs);
  ReadMs("SEEKWELL_SIM_FORMAT_STEP_MS", s.formatStepMs);
  Read("SEEKWELL_SIM_USER", s.userName);
  Read("SEEKWELL_SIM_OPEN", s.open);
  return s;
}

}  // namespace sw::winsim
