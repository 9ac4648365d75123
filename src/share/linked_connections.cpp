#include "share/linked_connections.h"

#include <cstdint>

#include "host/registry.h"
#include "host/windows_version.h"
#include "share/drive_connection_table.h"

namespace sw::share {

int FindLinkedConnectionsPolicy() {
  host::RegistryKey policies;
  if (!policies.Open(host::RegistryRoot::LocalMachine, kPoliciesKey, host::RegistryAccess::Read)) return 0;
  char name[256];
  for (std::uint32_t index = 0; policies.EnumSubKey(index, name, sizeof name); ++index) {
    host::RegistryKey subKey;
    if (!subKey.Open(host::RegistryRoot::LocalMachine, std::string(kPoliciesKey) + "\\" + name,
                     host::RegistryAccess::Read)) {
      continue;
    }
    std::uint8_t data[256] = {};
    std::size_t length = 0;
    if (!subKey.ReadValue(kLinkedConnectionsValue, data, sizeof data, length)) continue;
    // The type is not checked: the first data byte decides, as for a REG_DWORD on little-endian.
    if (length > 0 && data[0] == 1) return 1;
    if (length > 0 && data[0] == 0) return -1;
  }
  return 0;
}

void EnsureLinkedConnections() {
  host::WindowsVersionInfo info;
  if (!host::QueryWindowsVersion(info)) return;
  if (host::IsVistaOrLaterClient(info) && FindLinkedConnectionsPolicy() == 0) {
    host::RegistryKey system;
    if (system.Create(host::RegistryRoot::LocalMachine, kPoliciesSystemKey)) {
      system.WriteDword(kLinkedConnectionsValue, 1);
    }
  }
  RefreshDriveConnections();
}

}  // namespace sw::share
