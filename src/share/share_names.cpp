#include "share/share_names.h"

#include "share/drive_connection_table.h"

namespace sw::share {

bool IsSafeNetworkName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '/' || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

bool BuildRemoteName(const std::string& deviceName, const std::string& shareName, std::string& out) {
  if (!IsSafeNetworkName(deviceName) || !IsSafeNetworkName(shareName)) return false;
  std::string remote = "\\\\" + deviceName + "\\" + shareName;
  if (remote.size() >= kRemoteNameSize) return false;
  out = remote;
  return true;
}

}  // namespace sw::share
