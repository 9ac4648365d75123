// Win32 backend of the network-drive port: WNetGetConnectionA, WNetAddConnection2A,
// WNetCancelConnection2A (mpr) and GetDriveTypeA; no logic here.

#include <windows.h>
#include <winnetwk.h>

#include "share/network_drives.h"

namespace sw::share {

std::uint32_t WNetGetConnectionA(const char* localName, char* remoteName, std::uint32_t& length) {
  DWORD size = length;
  DWORD result = ::WNetGetConnectionA(localName, remoteName, &size);
  if (result == ERROR_MORE_DATA) length = size;
  return result;
}

std::uint32_t WNetAddConnection2A(const char* remoteName, const char* localName, const char* password,
                                  const char* userName, std::uint32_t flags) {
  NETRESOURCEA resource = {};
  resource.dwType = RESOURCETYPE_DISK;
  resource.lpLocalName = const_cast<char*>(localName);
  resource.lpRemoteName = const_cast<char*>(remoteName);
  resource.lpProvider = nullptr;
  return ::WNetAddConnection2A(&resource, password, userName, flags);
}

std::uint32_t WNetCancelConnection2A(const char* name, std::uint32_t flags, bool force) {
  return ::WNetCancelConnection2A(name, flags, force ? TRUE : FALSE);
}

std::uint32_t GetDriveTypeA(const char* rootPath) { return ::GetDriveTypeA(rootPath); }

}  // namespace sw::share
