// Win32 backend of the network-drive port: WNetGetConnectionA, WNetAddConnection2A,
// WNetCancelConnection2A (mpr.dll, loaded from the system folder by its full path: a static
// import would be found in the program's folder first) and GetDriveTypeA; no logic here.

#include <windows.h>
#include <winnetwk.h>

#include "base/system_library.h"
#include "share/network_drives.h"

namespace sw::share {

namespace {

template <typename F>
F MprFunction(const char* name) {
  return reinterpret_cast<F>(base::SystemLibraryFunction("mpr.dll", name));
}

}  // namespace

std::uint32_t WNetGetConnectionA(const char* localName, char* remoteName, std::uint32_t& length) {
  using Function = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);
  static const Function getConnection = MprFunction<Function>("WNetGetConnectionA");
  if (getConnection == nullptr) return ERROR_NO_NETWORK;
  DWORD size = length;
  DWORD result = getConnection(localName, remoteName, &size);
  if (result == ERROR_MORE_DATA) length = size;
  return result;
}

std::uint32_t WNetAddConnection2A(const char* remoteName, const char* localName, const char* password,
                                  const char* userName, std::uint32_t flags) {
  using Function = DWORD(WINAPI*)(LPNETRESOURCEA, LPCSTR, LPCSTR, DWORD);
  static const Function addConnection = MprFunction<Function>("WNetAddConnection2A");
  if (addConnection == nullptr) return ERROR_NO_NETWORK;
  NETRESOURCEA resource = {};
  resource.dwType = RESOURCETYPE_DISK;
  resource.lpLocalName = const_cast<char*>(localName);
  resource.lpRemoteName = const_cast<char*>(remoteName);
  resource.lpProvider = nullptr;
  return addConnection(&resource, password, userName, flags);
}

std::uint32_t WNetCancelConnection2A(const char* name, std::uint32_t flags, bool force) {
  using Function = DWORD(WINAPI*)(LPCSTR, DWORD, BOOL);
  static const Function cancelConnection = MprFunction<Function>("WNetCancelConnection2A");
  if (cancelConnection == nullptr) return ERROR_NO_NETWORK;
  return cancelConnection(name, flags, force ? TRUE : FALSE);
}

std::uint32_t GetDriveTypeA(const char* rootPath) { return ::GetDriveTypeA(rootPath); }

}  // namespace sw::share
