// Simulated backend of the machine state: the simulated machine's saved state (winsim/machine.h)
// in one JSON file of the folder; the disk images lie beside it unless SEEKWELL_SIM_DISKS names
// the devices' own folder.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <unistd.h>

#include "disk/machine_state.h"
#include "winsim/machine.h"

namespace sw::disk {

namespace {

constexpr const char* kStateFile = "machine.json";

bool Fail(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
  return false;
}

}  // namespace

bool MachineStateInFolder() { return true; }

bool LoadMachineState(const std::string& folder, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder, ec)) return Fail(error, folder + ": the folder cannot be made");
  winsim::Machine& machine = winsim::TheMachine();
  // The devices' LUN files, when an emulator shares them, are the session disks themselves: a copy
  // here would hide what the program writes from the portal.
  machine.initiator.SetFallbackImageFolder(folder);
  const fs::path file = fs::path(folder) / kStateFile;
  const auto status = fs::symlink_status(file, ec);
  if (!fs::exists(status)) return true;
  if (!fs::is_regular_file(status)) return Fail(error, file.string() + ": not a regular file");
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) return Fail(error, file.string() + ": cannot be read");
  std::string why;
  const std::vector<std::string> imageFolders{folder, machine.GetSettings().disksFolder};
  if (!machine.ImportState(text.str(), imageFolders, &why)) return Fail(error, file.string() + ": " + why);
  return true;
}

bool SaveMachineState(const std::string& folder, std::string* error) {
  const std::string text = winsim::TheMachine().ExportState();
  const std::string file = (std::filesystem::path(folder) / kStateFile).string();
  std::string temporary = file + ".XXXXXX";
  const int fd = ::mkstemp(&temporary[0]);
  if (fd < 0) return Fail(error, file + ": a new state file cannot be made in the folder");
  std::size_t written = 0;
  while (written < text.size()) {
    const auto n = ::write(fd, text.data() + written, text.size() - written);
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  const bool ok = ::close(fd) == 0 && written == text.size();
  std::error_code ec;
  if (ok) std::filesystem::rename(temporary, file, ec);
  if (!ok || ec) {
    std::filesystem::remove(temporary, ec);
    return Fail(error, file + ": cannot be written");
  }
  return true;
}

}  // namespace sw::disk
