// Simulated backend of the machine state: one JSON file in the folder holds what the simulated
// initiator, the letter table and the volume model must keep between runs; the disk images lie
// beside it unless SEEKWELL_SIM_DISKS names the devices' own folder.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "disk/machine_state.h"
#include "disk/volume_io_sim.h"
#include "fabric/json.h"
#include "iscsi/initiator_sim.h"
#include "share/network_drives_sim.h"

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
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder, ec)) return Fail(error, folder + ": the folder cannot be made");
  const std::filesystem::path file = std::filesystem::path(folder) / kStateFile;
  // The devices' LUN files, when an emulator shares them, are the session disks themselves: a
  // copy here would hide what the program writes from the portal.
  iscsi::sim::SetFallbackImageFolder(folder);
  if (!std::filesystem::exists(file, ec)) return true;
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) return Fail(error, file.string() + ": cannot be read");
  json::Value state;
  json::ParseError parseError;
  if (!json::Parse(text.str(), &state, &parseError)) {
    return Fail(error, file.string() + ": " + json::Describe(parseError));
  }
  const json::Value* initiator = state.Find("initiator");
  const json::Value* letters = state.Find("letters");
  const json::Value* volumes = state.Find("volumeLetters");
  if (initiator == nullptr || letters == nullptr || volumes == nullptr) {
    return Fail(error, file.string() + ": not a machine state");
  }
  std::string why;
  // The letter table first: the volume model mounts returning volumes against it.
  if (!share::sim::ImportLetterVolumes(*letters, &why) || !sim::ImportVolumeLetters(*volumes, &why) ||
      !iscsi::sim::ImportInitiatorState(*initiator, &why)) {
    return Fail(error, file.string() + ": " + why);
  }
  return true;
}

bool SaveMachineState(const std::string& folder, std::string* error) {
  // The volume letters go first: bringing the volume model up to the disks frees the letters of
  // volumes whose sessions ended in this run.
  const std::string volumes = sim::ExportVolumeLetters();
  const std::string text = "{\"initiator\": " + iscsi::sim::ExportInitiatorState() +
                           ",\n \"letters\": " + share::sim::ExportLetterVolumes() +
                           ",\n \"volumeLetters\": " + volumes + "}\n";
  const std::filesystem::path file = std::filesystem::path(folder) / kStateFile;
  const std::filesystem::path temporary = std::filesystem::path(folder) / (std::string(kStateFile) + ".new");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return Fail(error, temporary.string() + ": cannot be written");
  }
  // A run that dies while writing leaves the earlier state whole.
  std::error_code ec;
  std::filesystem::rename(temporary, file, ec);
  if (ec) return Fail(error, file.string() + ": " + ec.message());
  return true;
}

}  // namespace sw::disk
