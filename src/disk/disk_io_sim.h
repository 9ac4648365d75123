#pragma once
// Controls of the simulated disks (disk_io_sim.cpp). One set per process maps disk numbers to
// disks: the session disks of the iSCSI initiator model, each a (sparse) image file, and local
// disks that belong to no session. A disk's partition table lives only in its sector 0: GET calls
// answer from those bytes and SET calls write real MBR sectors there, so `sfdisk` reads exactly
// what the program wrote. A sector 0 with a 0xEE entry is a GPT disk (its entries are read from
// the GPT header), one without the 0x55AA marker a raw disk.
//
// Geometry reported: 512-byte sectors, 63 sectors per track, 255 tracks per cylinder, and as many
// whole cylinders as the size holds (so the geometry's size may be below the image size, as on
// Windows); kIoctlDiskGetLengthInfo reports the whole size.
//
// Default set: disk 0, the local system disk (64 GiB, in memory, one NTFS partition from 1 MiB).

#include <cstdint>
#include <string>
#include <vector>

namespace sw::disk::sim {

struct SimulatedDisk {
  std::int32_t number = 0;
  std::string imagePath;        // empty: sector 0 kept in memory, initialised as a system disk
  std::uint64_t sizeBytes = 0;  // the disk's size; the image file may be shorter (sparse)
  bool local = false;           // a disk of this computer, not of an iSCSI session
};

// Replaces the whole set (handles open on removed disks fail from then on).
void SetSimulatedDisks(const std::vector<SimulatedDisk>& disks);
std::vector<SimulatedDisk> SimulatedDisks();
// Back to the default set; forgets the call log.
void ResetSimulatedDisks();

// The next `count` layout GET calls (either set, any disk) fail, as a driver that refuses them;
// a failed read is what makes the extended calls see an empty table.
void FailNextLayoutReads(int count);

// Every DeviceIoControl, in order, so tests see which call set an operation used.
struct DiskCall {
  std::int32_t disk = -1;
  std::uint32_t code = 0;
  std::uint32_t inSize = 0;
  std::uint32_t outSize = 0;
  bool succeeded = false;
};
std::vector<DiskCall> DiskCalls();
void ClearDiskCalls();

}  // namespace sw::disk::sim
