#pragma once
// Port to the raw disk devices: open "\\.\PhysicalDriveN", send disk control codes with byte
// buffers, read whole sectors, flush, close. Each call forwards one Windows call. Backends:
// disk_io_win32.cpp (CreateFileA, DeviceIoControl, SetFilePointerEx and ReadFile, FlushFileBuffers,
// CloseHandle) and disk_io_sim.cpp (the simulated machine's disks, winsim/disks.h).
//
// State contract: `returned` is set on success only; `error`, when given, receives GetLastError()
// on failure only, captured at once. An output buffer may be partly written on failure, as Windows
// may do, so callers zero their buffers first.

#include <cstdint>
#include <string>

namespace sw::disk::io {

enum class DiskAccess {
  Query,      // access 0: geometry and layout queries only
  Read,       // GENERIC_READ: also the disk's sectors
  ReadWrite,  // GENERIC_READ | GENERIC_WRITE
};

// An open disk; `value` is the HANDLE on Windows, the simulation's own number otherwise.
struct DiskHandle {
  std::intptr_t value = -1;
  bool IsValid() const { return value != -1; }
};

// CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, no flags).
// Invalid on failure.
DiskHandle OpenDisk(const std::string& path, DiskAccess access);
void CloseDisk(DiskHandle& handle);  // invalidates `handle`; nothing happens for an invalid one

// DeviceIoControl, synchronous, no overlapped structure. Either buffer may be null with size 0.
bool DeviceIoControl(DiskHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                     void* out, std::uint32_t outSize, std::uint32_t* returned, std::uint32_t* error = nullptr);

// ReadFile of `size` bytes from byte `offset` (SetFilePointerEx first) on a disk opened for
// reading. Windows takes whole sectors only: `offset` and `size` multiples of the sector size.
bool ReadDisk(DiskHandle handle, std::uint64_t offset, void* out, std::uint32_t size, std::uint32_t* error = nullptr);

// Error codes the disk code tells apart.
constexpr std::uint32_t kErrorInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER
constexpr std::uint32_t kErrorMoreData = 234;            // ERROR_MORE_DATA

// FlushFileBuffers.
bool FlushDisk(DiskHandle handle);

}  // namespace sw::disk::io
