#pragma once
// The EnableLinkedConnections policy: on Vista and later workstations a drive mapped by the
// elevated program is otherwise invisible to the user's unelevated Explorer. Goes through the
// registry port and the version functions.

namespace sw::share {

constexpr const char* kPoliciesKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
constexpr const char* kPoliciesSystemKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kLinkedConnectionsValue = "EnableLinkedConnections";

// 1 when some subkey of HKLM\...\Policies has the value with first data byte 1, -1 when the first
// deciding subkey has 0, 0 when the key cannot be opened or no subkey decides.
int FindLinkedConnectionsPolicy();

// When the version can be read: on a Vista-or-later workstation without the value anywhere under
// the policies, writes HKLM\...\Policies\System "EnableLinkedConnections" = REG_DWORD 1 (failures
// silent), then RefreshDriveConnections. When the version cannot be read, does nothing at all.
void EnsureLinkedConnections();

}  // namespace sw::share
