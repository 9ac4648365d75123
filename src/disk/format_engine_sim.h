#pragma once
// Controls of the simulated format (format_engine_sim.cpp). FormatEx there writes a real file
// system into the partition behind the drive root: NTFS by mkntfs (quick, into a sparse scratch
// file of the partition's size, then copied in), FAT32 by mkfs.fat in place at the partition's
// offset. Both run as Linux programs (format_tools.h), so an independent tool can check the result.
//
// The partition is found through the simulated volume model (drive letter -> disk number, byte
// offset and length). The format writes only when that answer names a session
// disk of the simulated disk port (not disk 0, not a local disk), lies within it, and matches a
// primary entry really in the disk's sector 0; otherwise, or when a tool is missing or fails, the
// done report says false. Nothing outside the partition is written.
//
// Reports, all from the calling thread: progress 10 (checked), 30 (partition emptied), 70 (file
// system written), 100, then done; each progress report waits SEEKWELL_SIM_FORMAT_STEP_MS first
// when that is set.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "disk/volume_io_sim.h"

namespace sw::disk::sim {

// Upper-case letter -> where its volume lies (VolumeLocation of the volume model); nullopt when the
// letter has no volume.
using VolumeLocator = std::function<std::optional<VolumeLocation>(char driveLetter)>;

// Replaces the volume model's own LocateVolume (the default) as the source of the answer; an empty
// locator puts the default back.
void SetVolumeLocator(VolumeLocator locator);

// A library or entry point that Windows lacks (default: all present).
void SetFormatLibraryPresent(bool library, bool formatEx, bool enableVolumeCompression);

// Where mkntfs, mkfs.fat and fallocate are looked for (empty: /usr/sbin, /sbin, /usr/bin, /bin).
void SetFormatToolFolder(const std::string& folder);

// Back to the defaults above.
void ResetFormatEngine();

}  // namespace sw::disk::sim
