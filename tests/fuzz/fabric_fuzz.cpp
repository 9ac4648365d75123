// The fabric reader over any document: what it accepts keeps the promises halden-sim and the
// simulated Windows rely on (names without NUL, share names without ':', entries without '='),
// and what it refuses leaves the fabric untouched.

#include <set>
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
  // No two targets share a disk file, and no CHAP user of a device has two secrets.
  std::set<std::string> files;
  for (const sw::fabric::Device& d : fabric.devices) {
    for (std::size_t i = 0; i < d.targets.size(); ++i) {
      const sw::fabric::Target& t = d.targets[i];
      if (!t.name.empty()) Require(files.insert(sw::fabric::TargetImageFileName(d.address, t.name)).second);
      for (std::size_t j = 0; j < i; ++j) {
        const sw::fabric::Target& u = d.targets[j];
        const auto chap = [](const std::string& a) { return a.size() == 4 && (a[0] | 0x20) == 'c' && (a[1] | 0x20) == 'h' &&
                                                            (a[2] | 0x20) == 'a' && (a[3] | 0x20) == 'p'; };
        if (chap(t.auth) && chap(u.auth) && t.user == u.user) Require(t.secret == u.secret);
      }
    }
  }
  for (const sw::fabric::Device& d : fabric.devices) {
    Require(!d.name.empty() && d.name.find('\0') == std::string::npos);
    sw::fabric::Ipv4Bytes address;
    Require(sw::fabric::ParseDottedQuad(d.address, &address));
    for (const std::string& s : d.shares) Require(!s.empty() && s.find_first_of(std::string(":\0", 2)) == std::string::npos);
    for (const sw::fabric::Target& t : d.targets) {
      // '=' separates entries: only the Base64 padding at an entry's end may hold it, and the list
      // reader's split (empty items skipped) leaves the entry whole.
      std::string entry = t.rawEntry.empty() ? sw::fabric::TargetEntryText(t) : t.rawEntry;
      while (t.rawEntry.empty() && !entry.empty() && entry.back() == '=') entry.pop_back();
      Require(entry.find('=') == std::string::npos);
    }
  }
  return 0;
}
