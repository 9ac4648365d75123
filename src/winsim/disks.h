#pragma once
// The simulated machine's physical disks, by disk number: local disks that belong to no session
// (by default disk 0, the 64 GiB system disk whose table lives in memory, one NTFS partition from
// 1 MiB holding C:) and the disks of the initiator's sessions, each a (sparse) image file whose
// bytes are the LUN's. Partition tables live only in the disks' bytes: layout reads come from
// them and layout writes go there (partition_table.h), so `sfdisk` reads exactly what was written.
//
// Geometry: the disk's sector size (512, or 4096 for a LUN that has it), 63 sectors per track, 255
// tracks per cylinder, and as many whole cylinders as the size holds, so the geometry's size may
// be below the disk's size, as on Windows; the length query reports the whole size.
//
// A handle names the disk it was opened on: when that disk leaves (its session ends, or another
// LUN takes its number), the handle fails from then on.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "winsim/partition_table.h"

namespace sw::winsim {

class Machine;

struct DiskConfig {
  std::int32_t number = 0;
  std::string imagePath;          // empty: the bytes are kept in memory
  std::uint64_t sizeBytes = 0;    // the image file may be shorter (sparse): zeros past its end
  bool local = false;             // a disk of this computer, not of an iSCSI session
  std::uint32_t mediaType = 12;   // 12 fixed hard disk, 11 removable media
  std::uint32_t driveType = 3;    // what GetDriveType says of its volumes: 3 fixed, 2 removable
  char letter = 0;                // a local disk: the letter its first volume holds at start
  std::uint32_t bytesPerSector = 512;
};

struct DiskGeometry {
  std::int64_t cylinders = 0;
  std::uint32_t mediaType = 12;
  std::uint32_t tracksPerCylinder = 255;
  std::uint32_t sectorsPerTrack = 63;
  std::uint32_t bytesPerSector = 512;
};

// How often the disk's tables were written through a handle, and the clock tick of the last write:
// the volumes tell a partition just written from one that was there when the disk arrived.
struct LayoutWrites {
  std::uint64_t count = 0;
  std::uint32_t lastTick = 0;
};

// One DeviceIoControl as the disk port saw it, for tests that check which call set was used.
struct DiskCall {
  std::int32_t disk = -1;
  std::uint32_t code = 0;
  std::uint32_t inSize = 0;
  std::uint32_t outSize = 0;
  bool succeeded = false;
  std::uint32_t error = 0;
};

// What a handle was opened for: CreateFile's access 0 (queries only), GENERIC_READ, or
// GENERIC_READ | GENERIC_WRITE.
enum class DiskAccess { Query, Read, ReadWrite };

class Disks {
 public:
  explicit Disks(Machine& machine) : m_(machine) {}

  void Reset();  // the system disk alone; no handles; empty call log
  // Replaces the disks attached to the machine other than by a session: local disks, and for tests
  // disks that stand for a LUN without a session behind them. A session disk of the same number is
  // hidden behind one; sessions take other numbers.
  void SetAttachedDisks(const std::vector<DiskConfig>& disks);
  bool IsAttached(std::int32_t number) const;
  std::optional<DiskConfig> Find(std::int32_t number) const;
  std::vector<DiskConfig> All() const;  // by number

  // CreateFile on "\\.\PhysicalDriveN" (plain decimal N): a handle, or 0 and `error`.
  std::intptr_t Open(const std::string& path, DiskAccess access, std::uint32_t& error);
  void Close(std::intptr_t handle);
  // The disk behind an open handle: 0, kErrorInvalidHandle, or kErrorDeviceNotConnected when the
  // disk it was opened on has left.
  std::uint32_t HandleDisk(std::intptr_t handle, std::int32_t& disk, DiskAccess& access) const;

  std::uint32_t Geometry(std::int32_t disk, DiskGeometry& out) const;
  // IOCTL_DISK_GET_DRIVE_LAYOUT(_EX): the layout as partition_table.h reads it. The legacy call
  // knows no GPT (kErrorInvalidFunction there).
  std::uint32_t ReadLayout(std::int32_t disk, bool extended, DiskLayout& out);
  std::uint32_t WriteLayout(std::int32_t disk, const DiskLayout& layout);
  std::uint32_t CreateDisk(std::int32_t disk, std::uint32_t style, std::uint32_t signature);
  // ReadFile on a disk handle: whole sectors only (kErrorInvalidParameter otherwise).
  std::uint32_t ReadSectors(std::int32_t disk, std::uint64_t offset, std::uint8_t* out, std::size_t size) const;
  // The bytes as they are, for the machine's other parts (volumes, format): zeros past the end of a
  // short image; false when there is no such disk or it cannot be read.
  bool ReadBytes(std::int32_t disk, std::uint64_t offset, std::uint8_t* out, std::size_t size) const;
  LayoutWrites WritesOf(std::int32_t disk) const;
  // The layout as the disk's bytes hold it now, for the machine's own parts: no failure injected,
  // nothing logged. False when there is no such disk or it cannot be read.
  bool Table(std::int32_t disk, DiskLayout& out) const;

  // The next `count` layout reads (either call set, any disk) fail, as a driver that refuses them.
  void FailNextLayoutReads(int count);

  void LogCall(const DiskCall& call);
  std::vector<DiskCall> Calls() const;
  void ClearCalls();

 private:
  struct Handle {
    std::int32_t disk = -1;
    DiskAccess access = DiskAccess::Query;
    std::string imagePath;  // the disk it was opened on
  };
  bool WriteBytes(std::int32_t disk, std::uint64_t offset, const std::uint8_t* data, std::size_t size);
  ByteReader ReaderOf(std::int32_t disk) const;

  Machine& m_;
  std::map<std::int32_t, DiskConfig> m_attached;
  std::map<std::int32_t, std::map<std::uint64_t, std::vector<std::uint8_t>>> m_memory;  // 512-byte records
  std::map<std::int32_t, LayoutWrites> m_writes;
  std::map<std::int32_t, std::string> m_writesImage;  // the image the write record belongs to
  std::map<std::intptr_t, Handle> m_handles;
  std::intptr_t m_nextHandle = 1;
  int m_failingLayoutReads = 0;
  std::vector<DiskCall> m_calls;
};

}  // namespace sw::winsim
