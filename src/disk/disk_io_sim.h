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
// Default set: disk 0, the local system disk (64 GiB, in memory, one NTFS partition from 1 MiB),
// whose volume holds C:. The session disks of the simulated initiator (iscsi/initiator_sim.h) join
// the set by their disk numbers, unless a disk of that number was set here.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disk/disk_structures.h"

namespace sw::disk::sim {

struct SimulatedDisk {
  std::int32_t number = 0;
  std::string imagePath;        // empty: sector 0 kept in memory, initialised as a system disk
  std::uint64_t sizeBytes = 0;  // the disk's size; the image file may be shorter (sparse)
  bool local = false;           // a disk of this computer, not of an iSCSI session
  std::uint32_t mediaType = 12; // what the geometry reports: 12 fixed hard disk, 11 removable media
  std::uint32_t driveType = 3;  // what GetDriveTypeW says of its volumes: 3 fixed, 2 removable
  char letter = 0;              // a local disk: the letter its first volume holds at start, 0 none
};

// Replaces the whole set (handles open on removed disks fail from then on).
void SetSimulatedDisks(const std::vector<SimulatedDisk>& disks);
// The disks in force, by number: the set above and the initiator's session disks.
std::vector<SimulatedDisk> SimulatedDisks();

// For the other simulated ports (volumes, format): `size` bytes of disk `number` from `offset`
// (zeros past the end of a short image); false when there is no such disk or it cannot be read.
bool ReadDiskBytes(std::int32_t number, std::uint64_t offset, std::uint8_t* out, std::size_t size);
// The geometry the disk port reports for disk `number`.
std::optional<DiskGeometry> SimulatedGeometry(std::int32_t number);
// How often sector 0 of disk `number` was written through the disk port, and the tick of the last
// write (host/clock.h), so the volume model can tell a partition just written from one that was
// there when the disk arrived.
struct LayoutWrites {
  std::uint64_t count = 0;
  std::uint32_t lastTick = 0;
};
LayoutWrites LayoutWritesOf(std::int32_t number);
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
