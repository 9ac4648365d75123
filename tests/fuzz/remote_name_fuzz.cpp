// The remote-name splitting and the volume-location rule over any remote names the network
// provider may report: bounded, terminated fields, and a location only for an entry that matches.

#include <cstring>
#include <string>
#include <vector>

#include "fuzz_client.h"
#include "share/drive_connection_table.h"

using sw::protocol::fuzz::Require;
namespace share = sw::share;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Parts separated by NUL: device name, volume name, then one remote name per letter Z, Y, ...
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      parts.emplace_back();
    } else {
      parts.back().push_back(static_cast<char>(data[i]));
    }
  }
  parts.resize(2 + share::kDriveLetterCount);
  share::DriveConnectionTableArray table{};
  for (int n = 0; n < share::kDriveLetterCount; ++n) {
    share::DriveConnectionEntry& e = table[n];
    std::snprintf(e.driveLabel, sizeof e.driveLabel, "%c:", share::DriveLetterOf(n));
    const std::string& remote = parts[2 + static_cast<std::size_t>(n)];
    if (!share::SplitRemoteName(remote.c_str(), e)) continue;
    Require(std::memchr(e.server, 0, sizeof e.server) && std::memchr(e.share, 0, sizeof e.share));
    Require(std::strchr(e.server, '\\') == nullptr);
    if (remote.size() < share::kServerSize) {
      Require(remote.substr(2) == std::string(e.server) + "\\" + e.share);
    }
  }
  for (bool caseSensitive : {true, false}) {
    const std::string location = share::LocationOfVolume(table, parts[0].c_str(), parts[0].c_str(),
                                                         parts[1].c_str(), caseSensitive);
    if (location.empty()) continue;
    Require(location.size() == 2 && location[1] == ':' && location[0] >= 'A' && location[0] <= 'Z');
    const share::DriveConnectionEntry& e = table['Z' - location[0]];
    Require(std::strlen(e.share) == parts[1].size() && (caseSensitive ? parts[0] == e.server : parts[0].size() == std::strlen(e.server)));
  }
  return 0;
}
