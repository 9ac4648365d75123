#pragma once
// Controls of the simulated registry (registry_sim.cpp): one in-memory tree per process, shared by
// every RegistryKey. Tests fill it through RegistryKey itself (Create, WriteString, WriteDword) or
// SimRegistrySetValue, and inspect it with SimRegistryDump.

#include <cstdint>
#include <string>
#include <vector>

#include "host/registry.h"

namespace sw::host {

// Empties the tree (the three roots stay). Keys still open fail from then on, like deleted keys.
void SimRegistryReset();

// Sets a value of any type, creating the key and its parents.
void SimRegistrySetValue(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                         std::uint32_t type, const std::vector<std::uint8_t>& data);

enum class SimKeyAccess {
  Normal,
  ReadOnly,  // opening for writing (Open ReadWrite or Create) is refused, as for a non-administrator
  Denied,    // every open is refused
};
// Restricts one existing or future key (not its subkeys).
void SimRegistrySetAccess(RegistryRoot root, const std::string& subKey, SimKeyAccess access);

// True when the key exists.
bool SimRegistryKeyExists(RegistryRoot root, const std::string& subKey);

// The whole tree as sorted lines, one per key and one per value:
//   HKLM\Software\Policies
//   HKLM\Software\Policies\System "EnableLinkedConnections" dword:1
//   HKCU\X "" sz:"text"                       (other types: hex:01,02)
std::string SimRegistryDump();

}  // namespace sw::host
