#include "share/drive_connection_table.h"

#include <cstdio>
#include <cstring>

#include "base/ascii_case.h"
#include "protocol/device_table.h"
#include "share/network_drives.h"

namespace sw::share {

DriveConnectionTableArray DriveConnectionTable = {};

namespace {

bool IsLocalDriveType(unsigned type) {
  return type == kDriveFixed || type == kDriveRemovable || type == kDriveCdRom || type == kDriveRamDisk;
}

// A: and B: are never offered, whatever they are.
constexpr int kFirstFloppyEntry = 24;

}  // namespace

bool SplitRemoteName(const char* remoteName, DriveConnectionEntry& entry) {
  std::size_t length = std::strlen(remoteName);
  if (length < 3) return false;
  const char* slash = std::strchr(remoteName + 2, '\\');
  if (!slash) return false;
  std::string server(remoteName + 2, slash);
  protocol::CopyText(entry.server, sizeof entry.server, server.c_str());
  protocol::CopyText(entry.share, sizeof entry.share, slash + 1);
  return true;
}

void RefreshDriveConnections(DriveConnectionTableArray& table) {
  for (int n = 0; n < kDriveLetterCount; ++n) {
    DriveConnectionEntry& entry = table[n];
    std::snprintf(entry.driveLabel, sizeof entry.driveLabel, "%c:", DriveLetterOf(n));
    char remote[kRemoteNameSize] = {};
    std::uint32_t length = sizeof remote;
    if (WNetGetConnectionA(entry.driveLabel, remote, length) != kNoError) {
      std::memset(entry.server, 0, sizeof entry.server);
      std::memset(entry.share, 0, sizeof entry.share);
      continue;
    }
    remote[sizeof remote - 1] = '\0';
    SplitRemoteName(remote, entry);
  }
}

void RefreshDriveConnections() { RefreshDriveConnections(DriveConnectionTable); }

std::string LocationOfVolume(const DriveConnectionTableArray& table, const char* deviceName,
                             const char* deviceIp, const char* volumeName, bool serverCaseSensitive) {
  std::string location;
  for (int n = 0; n < kDriveLetterCount; ++n) {
    const DriveConnectionEntry& entry = table[n];
    if (entry.server[0] == '\0') continue;
    bool serverMatches =
        serverCaseSensitive
            ? (std::strcmp(entry.server, deviceName) == 0 || std::strcmp(entry.server, deviceIp) == 0)
            : (base::EqualIgnoringAsciiCase(entry.server, deviceName) ||
               base::EqualIgnoringAsciiCase(entry.server, deviceIp));
    if (serverMatches && base::EqualIgnoringAsciiCase(entry.share, volumeName)) {
      location = entry.driveLabel;
    }
  }
  return location;
}

DriveLetterComboContent BuildDriveLetterCombo(const DriveConnectionTableArray& table,
                                              const unsigned (&driveTypes)[kDriveLetterCount]) {
  DriveLetterComboContent content;
  int offered = 0;
  int firstFree = 0;
  for (int n = 0; n < kFirstFloppyEntry; ++n) {
    if (IsLocalDriveType(driveTypes[n])) continue;
    const DriveConnectionEntry& entry = table[n];
    ++offered;
    const std::string label{DriveLetterOf(n), ':'};
    if (entry.server[0] != '\0' && entry.share[0] != '\0') {
      content.items.push_back(label + " \\\\" + entry.server + "\\" + entry.share);
    } else {
      content.items.push_back(label);
      if (firstFree == 0) firstFree = offered;
    }
  }
  content.selection = firstFree - 1;
  return content;
}

DriveLetterComboContent BuildFreeDriveLetters(const DriveConnectionTableArray& table,
                                              const unsigned (&driveTypes)[kDriveLetterCount]) {
  DriveLetterComboContent content;
  for (int n = 0; n < kFirstFloppyEntry; ++n) {
    if (driveTypes[n] > 1) continue;  // only unknown and no-root-directory letters are free
    const DriveConnectionEntry& entry = table[n];
    const std::string label{DriveLetterOf(n), ':'};
    const bool mapped = entry.server[0] != '\0' && entry.share[0] != '\0';
    content.items.push_back(mapped ? label + " \\\\" + entry.server + "\\" + entry.share + "\\" : label + "\\");
    if (content.selection < 0 && entry.server[0] == '\0') content.selection = static_cast<int>(content.items.size()) - 1;
  }
  return content;
}

namespace {
void CurrentDriveTypes(unsigned (&types)[kDriveLetterCount]) {
  for (int n = 0; n < kDriveLetterCount; ++n) {
    char label[kDriveLabelSize];
    std::snprintf(label, sizeof label, "%c:", DriveLetterOf(n));
    types[n] = GetDriveTypeA(label);
  }
}
}  // namespace

DriveLetterComboContent CurrentDriveLetterCombo() {
  unsigned types[kDriveLetterCount];
  CurrentDriveTypes(types);
  return BuildDriveLetterCombo(DriveConnectionTable, types);
}

DriveLetterComboContent CurrentFreeDriveLetters() {
  RefreshDriveConnections();
  unsigned types[kDriveLetterCount];
  CurrentDriveTypes(types);
  return BuildFreeDriveLetters(DriveConnectionTable, types);
}

std::string DriveNameOf(const std::string& text) {
  if (text.size() < 2) return std::string();
  return text.substr(0, 2);
}

}  // namespace sw::share
