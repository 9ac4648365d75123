// Win32 backend of state_folder.h: real Windows keeps the initiator's and the disks' state itself
// (disk::MachineStateInFolder() is false there), so no state folder is ever asked for.

#include "state_folder.h"

namespace sw::cli {

namespace {

constexpr const char* kNoFolder = "a state folder belongs to the simulated Windows";

}  // namespace

std::string DefaultStateFolder(std::string* error) {
  *error = kNoFolder;
  return "";
}

bool PrepareStateFolder(const std::string&, bool, std::string* error) {
  *error = kNoFolder;
  return false;
}

std::unique_ptr<StateLock> LockStateFolder(const std::string&, std::string* error) {
  *error = kNoFolder;
  return nullptr;
}

}  // namespace sw::cli
