// Simulated backend of the network-drive port: the simulated machine's drive letters and the
// fabric's shares (winsim/letters.h). No logic here.

#include <cstring>

#include "share/network_drives.h"
#include "winsim/machine.h"

namespace sw::share {

std::uint32_t WNetGetConnectionA(const char* localName, char* remoteName, std::uint32_t& length) {
  std::string remote;
  const std::uint32_t result = winsim::TheMachine().letters.GetConnection(localName ? localName : "", remote);
  if (result != kNoError) return result;
  if (remote.size() + 1 > length) {
    length = static_cast<std::uint32_t>(remote.size() + 1);
    return kErrorMoreData;
  }
  std::memcpy(remoteName, remote.c_str(), remote.size() + 1);
  return kNoError;
}

std::uint32_t WNetAddConnection2A(const char* remoteName, const char* localName, const char* password,
                                  const char* userName, std::uint32_t flags) {
  return winsim::TheMachine().letters.AddConnection(remoteName, localName, password, userName, flags);
}

std::uint32_t WNetCancelConnection2A(const char* name, std::uint32_t flags, bool force) {
  return winsim::TheMachine().letters.CancelConnection(name, flags, force);
}

std::uint32_t GetDriveTypeA(const char* rootPath) {
  return winsim::TheMachine().letters.DriveType(rootPath ? rootPath : "");
}

}  // namespace sw::share
