// Win32 backend of the machine state: Windows keeps its initiator, disks and letters itself, so
// there is nothing to load or save.

#include "disk/machine_state.h"

namespace sw::disk {

namespace {
constexpr const char* kNoStateFolder = "a state folder belongs to the simulated Windows; this is the real one";
}

bool MachineStateInFolder() { return false; }

bool LoadMachineState(const std::string&, std::string* error) {
  if (error != nullptr) *error = kNoStateFolder;
  return false;
}

bool SaveMachineState(const std::string&, std::string* error) {
  if (error != nullptr) *error = kNoStateFolder;
  return false;
}

}  // namespace sw::disk
