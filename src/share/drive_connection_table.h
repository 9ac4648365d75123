#pragma once
// The drive connection table: which of the 26 drive letters carries a network connection, and to
// which server and share. Entry 0 is Z:, entry 25 is A:. Read by the drive mapping and the disk
// dialogs; only the UI thread touches it.

#include <cstddef>
#include <string>
#include <vector>

namespace sw::share {

constexpr int kDriveLetterCount = 26;
constexpr std::size_t kServerSize = 256;
constexpr std::size_t kShareSize = 256;
constexpr std::size_t kDriveLabelSize = 8;
constexpr std::size_t kRemoteNameSize = 256;

struct DriveConnectionEntry {
  char server[kServerSize];          // "" when the letter has no network connection
  char share[kShareSize];            // everything after the server's backslash, "" when none
  char driveLabel[kDriveLabelSize];  // "Q:", rewritten on every refresh
};

using DriveConnectionTableArray = DriveConnectionEntry[kDriveLetterCount];

// The process-wide table, zero at start.
extern DriveConnectionTableArray DriveConnectionTable;

// The letter of entry `index` ('Z' for 0, 'A' for 25).
inline char DriveLetterOf(int index) { return static_cast<char>('Z' - index); }

// Splits a remote name "\\SRV\SHARE\SUB" at its first backslash from index 2 on: server "SRV",
// share "SHARE\SUB", each a bounded copy into its 256-byte field. False (entry untouched) when
// there is no such backslash.
bool SplitRemoteName(const char* remoteName, DriveConnectionEntry& entry);

// For each letter Z..A: the label, then WNetGetConnectionA with a 256-byte buffer. A letter whose
// query fails gets empty server and share; a remote name without a server backslash leaves the
// entry's server and share as they were.
void RefreshDriveConnections(DriveConnectionTableArray& table);
void RefreshDriveConnections();  // the process-wide table

// The "Location" of one volume of a device in the volume list: the label of the last entry (so the
// lowest letter) whose server is the device's name or address and whose share equals the volume name
// ignoring case; "" when none. `serverCaseSensitive` is true after Connect, false after Disconnect
// and a device selection. Case is folded for ASCII letters only.
std::string LocationOfVolume(const DriveConnectionTableArray& table, const char* deviceName,
                             const char* deviceIp, const char* volumeName, bool serverCaseSensitive);

// The items of combo 1013 and the one to select (-1: none). Letters Z: down to C: that are not
// fixed, removable, CD-ROM or RAM drives, as "Q:" when free or "Q: \\SRV\SHARE" when mapped;
// the highest free letter is selected. `driveTypes[n]` is GetDriveTypeA of entry n's label.
struct DriveLetterComboContent {
  std::vector<std::string> items;
  int selection = -1;
};
DriveLetterComboContent BuildDriveLetterCombo(const DriveConnectionTableArray& table,
                                              const unsigned (&driveTypes)[kDriveLetterCount]);
// The same over the process-wide table, with the drive types asked from the network-drive port.
DriveLetterComboContent CurrentDriveLetterCombo();

// The free drive letters of the disk dialogs (combo 1049 of the disk manager, combo 1043 of the
// Partition dialog and the wizard): Z: down to C:, only letters whose drive type is unknown (0) or
// no-root-directory (1), each followed by "\" ("E:\", or "Q: \\SRV\SHARE\" for a stale mapping);
// the first letter without a server is selected (-1: none).
DriveLetterComboContent BuildFreeDriveLetters(const DriveConnectionTableArray& table,
                                              const unsigned (&driveTypes)[kDriveLetterCount]);
// The same after a refresh of the process-wide table, with the drive types from the network-drive port.
DriveLetterComboContent CurrentFreeDriveLetters();

// The drive name ("Q:") at the start of a combo item or "Location" text: its first two characters.
// "" when the text is shorter than two characters.
std::string DriveNameOf(const std::string& text);

}  // namespace sw::share
