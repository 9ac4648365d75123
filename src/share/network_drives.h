#pragma once
// Port to the network-drive functions: each call forwards one Windows call and returns its result
// code unchanged. Backends: network_drives_win32.cpp (mpr and GetDriveTypeA) and
// network_drives_sim.cpp (the simulated machine's drive letters, connections decided by the fabric).
//
// State contract: `remoteName` and `length` are only written as Windows writes them (see below).

#include <cstddef>
#include <cstdint>

namespace sw::share {

// Result codes, with the numbers Windows gives them.
constexpr std::uint32_t kNoError = 0;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorBadNetPath = 53;        // no such server
constexpr std::uint32_t kErrorBadNetName = 67;        // the server has no such share
constexpr std::uint32_t kErrorAlreadyAssigned = 85;   // the local name is in use
constexpr std::uint32_t kErrorInvalidPassword = 86;
constexpr std::uint32_t kErrorMoreData = 234;
constexpr std::uint32_t kErrorBadDevice = 1200;       // not a drive name
constexpr std::uint32_t kErrorCancelled = 1223;       // the user cancelled Windows' own prompt
constexpr std::uint32_t kErrorNotConnected = 2250;

// Flags of WNetAddConnection2A / WNetCancelConnection2A.
constexpr std::uint32_t kConnectUpdateProfile = 1;
constexpr std::uint32_t kConnectInteractive = 8;

// GetDriveTypeA results.
constexpr std::uint32_t kDriveUnknown = 0;
constexpr std::uint32_t kDriveNoRootDir = 1;
constexpr std::uint32_t kDriveRemovable = 2;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kDriveRemote = 4;
constexpr std::uint32_t kDriveCdRom = 5;
constexpr std::uint32_t kDriveRamDisk = 6;

// WNetGetConnectionA: the remote name connected to `localName` ("Q:"). `length` is the size of
// `remoteName` in bytes. On success `remoteName` holds the NUL-terminated name; on kErrorMoreData
// `length` holds the size needed and `remoteName` is untouched; on other failures both are untouched.
std::uint32_t WNetGetConnectionA(const char* localName, char* remoteName, std::uint32_t& length);

// WNetAddConnection2A with a disk resource (no provider): connects `remoteName` ("\\SRV\share") to
// `localName` ("Q:"). Null `password` or `userName` mean the logged-on user's defaults; the program
// passes empty texts instead.
std::uint32_t WNetAddConnection2A(const char* remoteName, const char* localName, const char* password,
                                  const char* userName, std::uint32_t flags);

// WNetCancelConnection2A: removes the connection on `name` ("Q:"); `force` also when files are open.
std::uint32_t WNetCancelConnection2A(const char* name, std::uint32_t flags, bool force);

// GetDriveTypeA on `rootPath` ("Q:", no backslash).
std::uint32_t GetDriveTypeA(const char* rootPath);

}  // namespace sw::share
