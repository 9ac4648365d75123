#pragma once
// The state of the machine between runs of a program that makes one change per run (the command
// line tool): on the simulated Windows, the machine's saved state (the initiator with its sessions
// and their disk images, persistent logins and devices, the volumes on letters and the letters
// volumes last had) lives in a folder, so that one run sees what the run before it left. Real
// Windows keeps its own state; there the folder has no use. Backends: machine_state_sim.cpp,
// machine_state_win32.cpp.

#include <string>

namespace sw::disk {

// True where a state folder means something (the simulated Windows).
bool MachineStateInFolder();

// Makes `folder` (created when missing) the home of the disk images, unless SEEKWELL_SIM_DISKS
// names the devices' LUN files (then the images are those and the folder holds only the state),
// and loads what an earlier run saved there; a folder without a saved state starts a fresh
// machine. False, with `error` set, when the folder cannot be made or its state cannot be read or
// names a disk image outside the image folder (nothing is loaded then).
bool LoadMachineState(const std::string& folder, std::string* error);

// Writes the state into `folder`, through a new file of its own renamed over the earlier one, so
// that a run that dies halfway leaves the earlier state whole and no link in the folder is followed.
// False, with `error` set, when it cannot be written.
bool SaveMachineState(const std::string& folder, std::string* error);

}  // namespace sw::disk
