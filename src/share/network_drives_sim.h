#pragma once
// Controls of the simulated network drives (network_drives_sim.cpp). One state per process:
//   - the fabric: "\\NAME\share" (or "\\ADDRESS\share") connects when a device of that name (or
//     address) offers that share and the credentials match what the share requires (a share listed
//     as a plain string requires none);
//   - the drive type of each letter (the fabric's "drives"; default C: fixed, D: CD-ROM, the rest
//     without a root directory); a letter with a network connection is remote;
//   - the connections (the fabric's "connections" are mappings made before the program started).
// On first use the state is loaded from the JSON fabric file named by SEEKWELL_FABRIC, so that
// seekwell-sim.exe sees what halden-sim plays; unset gives the built-in demo fabric, a file that
// cannot be read or parsed gives an empty fabric (and a line on standard error).
// Tests set everything directly. Every Add and Cancel call is recorded.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fabric/fabric.h"

namespace sw::share::sim {

struct NetworkCall {
  enum class Kind { Add, Cancel };
  Kind kind = Kind::Add;
  std::string remoteName;   // Add only
  std::string localName;    // Add: the local name; Cancel: the name cancelled
  std::string userName;     // Add only; "(null)" stands for a null pointer
  std::string password;     // Add only; "(null)" stands for a null pointer
  std::uint32_t flags = 0;
  bool force = false;       // Cancel only
  std::uint32_t result = 0;
};

// Replaces the whole state by `fabric` (devices, drive types, connections) and clears the call log.
void SetFabric(const fabric::Fabric& fabric);
// LoadFabric and SetFabric; false (state unchanged) when the text is not a valid fabric.
bool SetFabricText(const std::string& jsonText, std::string* error = nullptr);
// The fabric in force (loading it first if nothing was set yet).
fabric::Fabric CurrentFabric();
// Forgets everything; the next use loads SEEKWELL_FABRIC again.
void Reset();

// Drive types per letter ('A'..'Z', any case): kDriveFixed, kDriveCdRom, ...
void SetDriveType(char letter, std::uint32_t type);
// Every letter without a root directory (no local drives at all).
void ClearDriveTypes();
// A connection made outside the program (or "" to remove one), as if mapped before it started.
void SetConnection(char letter, const std::string& remoteName);
// The remote name connected to `letter`, "" when none.
std::string Connection(char letter);

// Volumes on letters, for the simulated volume model (disk/volume_io_sim.cpp): the one letter table
// holds, per letter, a local drive type, a network connection or a volume, never two of them.
// A letter is free when its type is unknown or no-root-directory and nothing is connected or
// mounted there.
bool LetterIsFree(char letter);
// Puts `volumeName` on a free letter with the volume's drive type; false (nothing changed) otherwise.
bool MountVolumeOnLetter(char letter, const std::string& volumeName, std::uint32_t driveType);
// The same without the check: the computer's own volumes (C:) hold their letters from the start.
void SetVolumeOnLetter(char letter, const std::string& volumeName, std::uint32_t driveType);
// The volume name on `letter`, "" when none.
std::string VolumeOnLetter(char letter);
// Frees a letter that holds a volume; false when it holds none.
bool UnmountVolumeFromLetter(char letter);

// The letters that hold volumes, as a JSON list of {"letter", "volume", "driveType"}, and back (on
// top of the fabric's letter table), so that a program run after this one finds the volumes where
// they were (disk/machine_state.h). Import changes nothing and returns false for a malformed list.
std::string ExportLetterVolumes();
bool ImportLetterVolumes(const json::Value& list, std::string* error);

// What Windows' own credential prompt (an Add with kConnectInteractive) answers: return false for a
// cancelled prompt, or true with the user name and password typed. Default: cancelled.
using CredentialPrompt = std::function<bool(const std::string& remoteName, std::string& userName,
                                            std::string& password)>;
void SetCredentialPrompt(CredentialPrompt prompt);

const std::vector<NetworkCall>& Calls();
void ClearCalls();

// True when the fabric has a device at `address` with its web page on (what a reachability check
// of "http://address" would find).
bool DeviceAnswersHttp(const std::string& address);

}  // namespace sw::share::sim
