#pragma once
// Controls of the simulated volumes (volume_io_sim.cpp). The volumes are read from the bytes of the
// simulated disks (disk_io_sim.h): one per partition entry really in sector 0 of a disk's MBR
// (extended containers and empty entries give none; GPT and raw disks give none), its file system
// read from the partition's boot sector (NTFS, FAT32, FAT, otherwise none: GetVolumeInformation
// fails as on a raw volume). Each empty CD drive of the letter table is a volume without media.
//
// Arrival: the partitions a disk holds when it appears (at start, or when a session brings it) have
// their volumes at once; a partition written through the disk port while the disk is present has
// its volume only after the arrival delay, as Windows takes a moment to mount it. The mount manager
// then gives it the letter it last had, or (automount on) the first free letter from C:, in the one
// letter table the simulated network drives keep (share/network_drives_sim.h); a local disk's first
// volume holds the disk's configured letter. A volume whose letter was removed stays without one.
// Volume names are "\\?\Volume{...}\", made from the disk signature, the disk, the slot and the
// partition's start, so the same partition keeps its name.

#include <cstdint>
#include <optional>
#include <string>

#include "fabric/json.h"

namespace sw::disk::sim {

// Default 1500 ms, or SEEKWELL_SIM_VOLUME_DELAY_MS when set. Measured on the clock port.
void SetVolumeArrivalDelay(std::uint32_t ms);
void SetAutomount(bool on);  // default on

// Where the volume on `letter` lies: for the simulated format, which writes the file system there.
// None when the letter holds no volume of a disk backed by an image file.
struct VolumeLocation {
  std::int32_t diskNumber = -1;
  std::uint64_t offset = 0;  // bytes from the start of the disk
  std::uint64_t length = 0;  // bytes
  std::string imagePath;
};
std::optional<VolumeLocation> LocateVolume(char letter);

// True once FailCriticalErrors was called.
bool CriticalErrorsFail();

// The letter each volume last had (0 once removed), as a JSON list of {"volume", "letter"}, and
// back, so that a program run after this one gives a returning volume its letter again
// (disk/machine_state.h). Export first brings the model up to the disks, so the letters of volumes
// that left with their sessions are free in the letter table. Import changes nothing and returns
// false for a malformed list.
std::string ExportVolumeLetters();
bool ImportVolumeLetters(const json::Value& list, std::string* error);

// Forgets the model (arrivals, remembered letters, handles) and the settings above; letters stay
// in the letter table until that is reset too.
void ResetVolumes();

}  // namespace sw::disk::sim
