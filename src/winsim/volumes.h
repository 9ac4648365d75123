#pragma once
// The simulated machine's volumes: one per real partition of a disk's layout (primaries and logical
// drives of MBR disks, the entries of GPT disks; extended containers give none), with its file
// system read from the partition's boot sector (NTFS, FAT32, FAT; otherwise none, and
// GetVolumeInformation fails as on a RAW volume). Each CD drive of the letters without a disc is a
// volume without media.
//
// Arrival: the partitions a disk holds when it appears (at start, or when a session brings it) have
// their volumes at once; a partition written through a disk handle while the disk is present has
// its volume only after the arrival delay, as Windows takes a moment to mount it. The mount manager
// then gives it the letter it last had, or (automount on) the first free letter from C:; a local
// disk's first volume holds the disk's configured letter. A volume whose letter was removed stays
// without one. Volume names are "\\?\Volume{...}\", made from the disk's signature, the disk and the
// partition's start, so the same partition keeps its name.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sw::winsim {

class Machine;

// What IOCTL_DISK_GET_PARTITION_INFO, IOCTL_DISK_GET_LENGTH_INFO and
// IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS report of a volume.
struct VolumeExtent {
  std::int32_t disk = -1;
  std::uint32_t style = 0;
  std::uint32_t number = 0;
  std::int64_t start = 0;
  std::int64_t length = 0;
  std::uint8_t type = 0;
  bool boot = false;
  std::uint32_t hiddenSectors = 0;
};

// Where the volume on a letter lies, for the simulated format.
struct VolumeLocation {
  std::int32_t diskNumber = -1;
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::uint32_t bytesPerSector = 512;
  std::string imagePath;
};

class Volumes {
 public:
  explicit Volumes(Machine& machine) : m_(machine) {}

  // Forgets arrivals, remembered letters and handles; the delay from the settings, automount on.
  void Reset();
  void SetArrivalDelay(std::uint32_t ms);
  void SetAutomount(bool on);

  // FindFirstVolume / FindNextVolume / FindVolumeClose: 0 or kErrorNoMoreFiles.
  std::uint32_t FindFirst(std::intptr_t& find, std::string& name);
  std::uint32_t FindNext(std::intptr_t find, std::string& name);
  void FindClose(std::intptr_t find);

  // GetDriveType on a root ("E:\") or a volume name (with its backslash).
  std::uint32_t DriveType(const std::string& root);
  // GetVolumeInformation's file system name: 0, kErrorUnrecognizedVolume (no file system),
  // kErrorNotReady (a CD drive without a disc) or kErrorPathNotFound.
  std::uint32_t FileSystem(const std::string& root, std::string& name);
  // GetDiskFreeSpaceEx's total bytes.
  std::uint32_t TotalBytes(const std::string& root, std::uint64_t& bytes);
  // QueryDosDevice of "E:" or "Volume{...}": the first device name.
  std::uint32_t DosDevice(const std::string& deviceName, std::string& target);

  // CreateFile on "\\?\Volume{...}" or "\\.\E:" (no trailing backslash): a handle or 0 and error.
  std::intptr_t Open(const std::string& path, std::uint32_t& error);
  void Close(std::intptr_t handle);
  // The partition behind a volume handle: 0, kErrorInvalidHandle, or kErrorNotReady (gone, or a CD
  // drive without a disc).
  std::uint32_t Extent(std::intptr_t handle, VolumeExtent& out);

  // SetVolumeMountPoint("E:\", "\\?\Volume{...}\") and DeleteVolumeMountPoint("E:\"): 0 or an
  // error (kErrorInvalidName for a malformed name, kErrorInvalidParameter for a volume that holds a
  // letter already, kErrorDirNotEmpty for a letter in use, kErrorFileNotFound).
  std::uint32_t SetMountPoint(const std::string& mountPoint, const std::string& volumeName);
  std::uint32_t DeleteMountPoint(const std::string& mountPoint);

  void FailCriticalErrors();
  bool CriticalErrorsFail() const;

  std::optional<VolumeLocation> Locate(char letter);

  // The letter each volume last had (0 once removed), saved with the machine's state.
  std::map<std::string, char> RememberedLetters();
  void RestoreRememberedLetters(std::map<std::string, char> letters);

 private:
  struct Volume {
    std::string name;     // "\\?\Volume{...}\"
    std::string device;   // "\Device\HarddiskVolumeN", set on arrival
    VolumeExtent extent;
    std::uint32_t driveType = 3;
    char cdLetter = 0;       // a CD drive without a disc
    bool immediate = false;  // there when its disk appeared
    std::uint32_t since = 0; // the tick from which the arrival delay runs
    bool arrived = false;
  };
  struct DiskTrack {
    std::string imagePath;
    std::uint64_t writes = 0;
  };
  struct Find {
    std::vector<std::string> names;
    std::size_t next = 0;
  };
  void Scan();
  void Mount(Volume& v, char configuredLetter);
  std::vector<Volume> Listed();
  std::optional<Volume> Resolve(std::string name);
  bool ReadFileSystem(const Volume& v, std::string& name, std::uint64_t& totalBytes) const;

  Machine& m_;
  std::uint32_t m_delayMs = 1500;
  bool m_automount = true;
  bool m_failCriticalErrors = false;
  std::map<std::int32_t, DiskTrack> m_disks;
  std::vector<Volume> m_volumes;
  std::map<std::string, char> m_letters;
  unsigned m_nextDevice = 1;
  std::map<std::intptr_t, Find> m_finds;
  std::map<std::intptr_t, std::string> m_handles;
  std::intptr_t m_nextHandle = 1;
};

}  // namespace sw::winsim
