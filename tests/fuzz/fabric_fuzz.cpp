// The fabric reader over any document: what it accepts keeps the promises halden-sim and the
// simulated Windows rely on (names without NUL, share names without ':', entries without '='),
// and what it refuses leaves the fabric untouched.

#include <string>

#include "fabric/fabric.h"
#include "fuzz_client.h"

using sw::protocol::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  sw::fabric::Fabric fabric;
  fabric.drives.clear();
  std::string error;
  if (!sw::fabric::LoadFabric(text, &fabric, &error)) {
    Require(!error.empty() && fabric.devices.empty() && fabric.drives.empty());
    return 0;
  }
  for (const sw::fabric::Device& d : fabric.devices) {
    Require(!d.name.empty() && d.name.find('\0') == std::string::npos);
    sw::fabric::Ipv4Bytes address;
    Require(sw::fabric::ParseDottedQuad(d.address, &address));
    for (const std::string& s : d.shares) Require(!s.empty() && s.find_first_of(std::string(":\0", 2)) == std::string::npos);
    for (const sw::fabric::Target& t : d.targets) {
      const std::string entry = t.rawEntry.empty() ? sw::fabric::TargetEntryText(t) : t.rawEntry;
      Require(entry.find('=') == std::string::npos);
    }
  }
  return 0;
}
