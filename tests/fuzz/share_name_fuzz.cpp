// The share-name and server-name checks and the UTF-8 to ANSI conversion over any two texts: a
// remote name is built only from names that cannot leave the share or reach another provider, and
// it splits back into exactly those two names.

#include <string>

#include "fuzz_client.h"
#include "share/ansi_text.h"
#include "share/drive_connection_table.h"
#include "share/share_names.h"

using sw::protocol::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\0');
  const std::string device = input.substr(0, cut);
  const std::string share = cut == std::string::npos ? std::string() : input.substr(cut + 1);

  std::string ansi;
  const bool exact = sw::share::Utf8ToAnsi(share, ansi);
  if (exact) Require(ansi == share);
  if (!exact) Require(ansi.find('?') != std::string::npos);

  std::string remote = "untouched";
  if (!sw::share::BuildRemoteName(device, share, remote)) {
    Require(remote == "untouched");
    return 0;
  }
  Require(sw::share::IsSafeServerName(device) && sw::share::IsSafeNetworkName(share));
  Require(device.find_first_of("\\/@%: \"'") == std::string::npos);
  for (unsigned char c : share) Require(c >= 0x20 && c != 0x7F && c != '\\' && c != '/');
  Require(remote.size() < sw::share::kRemoteNameSize);
  sw::share::DriveConnectionEntry entry{};
  Require(sw::share::SplitRemoteName(remote.c_str(), entry));
  Require(entry.server == device && entry.share == share);
  return 0;
}
