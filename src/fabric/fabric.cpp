#include "fabric/fabric.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <initializer_list>

#include "base/ascii_case.h"
#include "base/ipv4_text.h"
#include "fabric/json.h"

namespace sw::fabric {

namespace {

// Room for the variable text of one reply in a 4096-byte datagram after its 28-byte head.
constexpr size_t kReplyTextRoom = 4096 - 28 - 1;
// Names above this cannot fit an announcement (72-byte head) in a 4096-byte datagram.
constexpr size_t kMaxNameBytes = 4096 - 72 - 1;

const char* const kExchangeNames[kExchangeCount] = {"discover", "login", "shares",
                                                    "targets",  "static", "dhcp"};

const char kDefaultFabric[] = R"({
  "devices": [
    {
      "name": "HALDEN-NAS1",
      "nodeId": "00:1c:c0:4e:41:01",
      "address": "10.77.0.10",
      "netmask": "255.255.0.0",
      "gateway": "10.77.0.1",
      "dhcp": false,
      "announcement": "basic",
      "replyTo": "group",
      "adminPassword": "",
      "shares": ["Volume_1", "Public"],
      "dhcpPool": ["10.77.0.110"]
    },
    {
      "name": "HALDEN-NAS2",
      "nodeId": "00:1c:c0:4e:41:02",
      "address": "10.77.0.11",
      "netmask": "255.255.0.0",
      "gateway": "10.77.0.1",
      "dhcp": true,
      "announcement": "extended",
      "iscsi": true,
      "replyTo": "host",
      "adminPassword": "nas2admin",
      "shares": ["Volume_1", "Backup"],
      "targets": [
        {"name": "iqn.2009-11.com.halden:nas2.disk1", "auth": "none", "sizeMiB": 2048},
        {"name": "iqn.2009-11.com.halden:nas2.disk2", "auth": "chap",
         "user": "nas2chap", "secret": "chapsecret12", "sizeMiB": 1024}
      ],
      "dhcpPool": ["10.77.0.111"]
    }
  ]
}
)";

class Reader {
 public:
  std::string error;

  bool Fail(const std::string& where, const std::string& what) {
    if (error.empty()) error = where + ": " + what;
    return false;
  }

  bool CheckMembers(const json::Value& obj, const std::string& where,
                    std::initializer_list<const char*> known) {
    for (const auto& m : obj.AsObject()) {
      bool found = std::any_of(known.begin(), known.end(),
                               [&](const char* k) { return m.first == k; });
      if (!found) return Fail(where, "member \"" + m.first + "\" is not known");
    }
    return true;
  }

  bool String(const json::Value& obj, const char* key, const std::string& where, std::string* out,
              bool required = false) {
    const json::Value* v = obj.Find(key);
    if (!v) return required ? Fail(where, std::string("member \"") + key + "\" is missing") : true;
    if (!v->IsString()) return Fail(where, std::string("\"") + key + "\" must be a string");
    *out = v->AsString();
    return true;
  }

  bool Address(const json::Value& obj, const char* key, const std::string& where, std::string* out,
               bool required = false) {
    std::string text;
    bool present = obj.Find(key) != nullptr;
    if (!String(obj, key, where, &text, required)) return false;
    if (!present) return true;
    Ipv4Bytes b;
    if (!ParseDottedQuad(text, &b)) {
      return Fail(where, std::string("\"") + key + "\" is not a dotted IPv4 address: \"" + text + "\"");
    }
    *out = FormatDottedQuad(b);
    return true;
  }

  bool Bool(const json::Value& obj, const char* key, const std::string& where, bool* out) {
    const json::Value* v = obj.Find(key);
    if (!v) return true;
    if (!v->IsBool()) return Fail(where, std::string("\"") + key + "\" must be true or false");
    *out = v->AsBool();
    return true;
  }

  bool Integer(const json::Value& obj, const char* key, const std::string& where, int64_t lo,
               int64_t hi, int64_t* out) {
    const json::Value* v = obj.Find(key);
    if (!v) return true;
    if (!v->AsInteger(lo, hi, out)) {
      return Fail(where, std::string("\"") + key + "\" must be an integer from " +
                             std::to_string(lo) + " to " + std::to_string(hi));
    }
    return true;
  }

  bool StringList(const json::Value& obj, const char* key, const std::string& where,
                  std::vector<std::string>* out) {
    const json::Value* v = obj.Find(key);
    if (!v) return true;
    if (!v->IsArray()) return Fail(where, std::string("\"") + key + "\" must be an array of strings");
    out->clear();
    for (const auto& item : v->AsArray()) {
      if (!item.IsString()) return Fail(where, std::string("\"") + key + "\" must hold only strings");
      out->push_back(item.AsString());
    }
    return true;
  }

  // "shares": each a name, or {"name", "user", "password"} for a share that needs credentials.
  bool Shares(const json::Value& obj, const std::string& where, Device* d) {
    const json::Value* v = obj.Find("shares");
    if (!v) return true;
    if (!v->IsArray()) return Fail(where, "\"shares\" must be an array");
    d->shares.clear();
    d->shareAccess.clear();
    for (const auto& item : v->AsArray()) {
      ShareAccess access;
      std::string name;
      if (item.IsString()) {
        name = item.AsString();
      } else if (item.IsObject()) {
        std::string at = where + ", share";
        if (!CheckMembers(item, at, {"name", "user", "password"})) return false;
        if (!String(item, "name", at, &name, true)) return false;
        if (!String(item, "user", at, &access.user)) return false;
        if (!String(item, "password", at, &access.password)) return false;
        access.credentialsRequired = item.Find("user") || item.Find("password");
      } else {
        return Fail(where, "a share must be a name or an object with \"name\"");
      }
      d->shares.push_back(std::move(name));
      d->shareAccess.push_back(std::move(access));
    }
    return true;
  }

  static int DriveTypeByName(const std::string& name) {
    static const char* const kNames[] = {"unknown", "none", "removable", "fixed", "remote", "cdrom", "ram"};
    for (int i = 0; i < 7; ++i) {
      if (name == kNames[i]) return i;
    }
    return -1;
  }

  // "Q:" or "Q", any case; 0 when the text is not a drive letter.
  static char DriveLetter(const std::string& text) {
    if (text.empty() || text.size() > 2 || (text.size() == 2 && text[1] != ':')) return 0;
    char c = base::UpperAsciiChar(text[0]);
    return (c >= 'A' && c <= 'Z') ? c : 0;
  }

  bool Drives(const json::Value& doc, Fabric* f) {
    if (const json::Value* drives = doc.Find("drives")) {
      if (!drives->IsObject()) return Fail("fabric", "\"drives\" must be an object");
      f->drives.clear();
      for (const auto& m : drives->AsObject()) {
        char letter = DriveLetter(m.first);
        if (!letter) return Fail("fabric", "\"drives\" names \"" + m.first + "\", not a drive letter");
        int type = m.second.IsString() ? DriveTypeByName(m.second.AsString()) : -1;
        if (type < 0) {
          return Fail("fabric", "drive " + m.first +
                                    " must be \"fixed\", \"removable\", \"cdrom\", \"ram\", "
                                    "\"remote\", \"unknown\" or \"none\"");
        }
        f->drives.push_back({letter, static_cast<uint32_t>(type)});
      }
    }
    if (const json::Value* connections = doc.Find("connections")) {
      if (!connections->IsObject()) return Fail("fabric", "\"connections\" must be an object");
      for (const auto& m : connections->AsObject()) {
        char letter = DriveLetter(m.first);
        if (!letter) return Fail("fabric", "\"connections\" names \"" + m.first + "\", not a drive letter");
        const std::string& remote = m.second.AsString();
        if (!m.second.IsString() || remote.size() < 3 || remote.compare(0, 2, "\\\\") != 0 ||
            remote.size() > 255) {
          return Fail("fabric", "connection " + m.first + " must be a remote name like \\\\SERVER\\SHARE");
        }
        f->connections.push_back({letter, remote});
      }
    }
    return true;
  }

  static bool ParseHexBytes(const std::string& text, uint8_t* out, size_t count) {
    std::string digits;
    for (char c : text) {
      if (c == ':' || c == '-' || c == ' ') continue;
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
      digits.push_back(c);
    }
    if (digits.size() != count * 2) return false;
    for (size_t i = 0; i < count; ++i) {
      unsigned v = 0;
      std::sscanf(digits.c_str() + 2 * i, "%2x", &v);
      out[i] = static_cast<uint8_t>(v);
    }
    return true;
  }

  bool ExchangeMap(const json::Value& obj, const std::string& where, Device* d) {
    if (const json::Value* delays = obj.Find("delays")) {
      if (!delays->IsObject()) return Fail(where, "\"delays\" must be an object");
      for (const auto& m : delays->AsObject()) {
        int index = ExchangeIndex(m.first);
        if (index < 0) return Fail(where, "\"delays\" names an unknown exchange \"" + m.first + "\"");
        int64_t ms = 0;
        if (!m.second.AsInteger(0, 600000, &ms)) {
          return Fail(where, "delay of \"" + m.first + "\" must be 0 to 600000 ms");
        }
        d->delayMs[index] = static_cast<int>(ms);
      }
    }
    std::vector<std::string> silent;
    if (!StringList(obj, "silent", where, &silent)) return false;
    for (const auto& s : silent) {
      int index = ExchangeIndex(s);
      if (index < 0) return Fail(where, "\"silent\" names an unknown exchange \"" + s + "\"");
      d->silent[index] = true;
    }
    return true;
  }

  static int ExchangeIndex(const std::string& name) {
    for (int i = 0; i < kExchangeCount; ++i) {
      if (name == kExchangeNames[i]) return i;
    }
    return -1;
  }

  bool ReadTarget(const json::Value& obj, const std::string& where, Target* t) {
    if (!obj.IsObject()) return Fail(where, "a target must be an object");
    if (!CheckMembers(obj, where, {"name", "auth", "user", "secret", "sizeMiB", "sectorSize", "entry"})) {
      return false;
    }
    if (!String(obj, "entry", where, &t->rawEntry)) return false;
    bool needName = t->rawEntry.empty();
    if (!String(obj, "name", where, &t->name, needName)) return false;
    if (!String(obj, "auth", where, &t->auth)) return false;
    if (!String(obj, "user", where, &t->user)) return false;
    if (!String(obj, "secret", where, &t->secret)) return false;
    int64_t mib = static_cast<int64_t>(t->sizeBytes / 1048576ull);
    if (!Integer(obj, "sizeMiB", where, 1, 16ll * 1024 * 1024, &mib)) return false;
    t->sizeBytes = static_cast<uint64_t>(mib) * 1048576ull;
    int64_t sector = t->sectorSize;
    if (!Integer(obj, "sectorSize", where, 512, 4096, &sector)) return false;
    if (sector != 512 && sector != 4096) return Fail(where, "\"sectorSize\" must be 512 or 4096");
    t->sectorSize = static_cast<uint32_t>(sector);
    if (!t->rawEntry.empty()) {
      if (t->rawEntry.find('=') != std::string::npos) {
        return Fail(where, "\"entry\" must not contain '=', the entry separator");
      }
      return true;
    }
    if (t->name.empty() || t->name.find_first_of(std::string("|=\0", 3)) != std::string::npos) {
      return Fail(where, "target name must be non-empty without '|', '=' or NUL");
    }
    if (t->auth.find_first_of("@|=") != std::string::npos) {
      return Fail(where, "\"auth\" must not contain '@', '|' or '='");
    }
    if (t->user.find_first_of(std::string("$=\0", 3)) != std::string::npos) {
      return Fail(where, "\"user\" must not contain '$', '=' or NUL");
    }
    return true;
  }

  // One portal holds one account per CHAP user: a user given again with another secret would
  // silently keep the first one, and the later target could never be logged in to.
  bool ChapAccounts(const Device& d, const std::string& where) {
    for (size_t i = 0; i < d.targets.size(); ++i) {
      const Target& t = d.targets[i];
      if (!t.AsksForChap()) continue;
      for (size_t j = 0; j < i; ++j) {
        const Target& earlier = d.targets[j];
        if (earlier.AsksForChap() && earlier.user == t.user && earlier.secret != t.secret) {
          return Fail(where, TargetLabel(i, t) + ": CHAP user \"" + t.user + "\" has another secret in " +
                                 TargetLabel(j, earlier));
        }
      }
    }
    return true;
  }

  static std::string TargetLabel(size_t index, const Target& t) {
    return "target " + std::to_string(index + 1) + " (" + t.name + ")";
  }

  // Targets whose names differ only in what the file name folds would share one disk file (the
  // portal's LUN and the initiator's disk), the later one truncating the earlier; also across
  // devices that share an address.
  bool DiskFiles(const std::vector<Device>& devices) {
    struct Owner {
      size_t device;
      size_t target;
    };
    std::vector<std::pair<std::string, Owner>> seen;
    for (size_t i = 0; i < devices.size(); ++i) {
      for (size_t k = 0; k < devices[i].targets.size(); ++k) {
        const Target& t = devices[i].targets[k];
        if (t.name.empty()) continue;  // a raw entry without a name has no disk
        const std::string file = TargetImageFileName(devices[i].address, t.name);
        for (const auto& s : seen) {
          if (s.first != file) continue;
          const Device& other = devices[s.second.device];
          return Fail(DeviceLabel(i, devices[i]),
                      TargetLabel(k, t) + " and " +
                          (s.second.device == i ? std::string() : DeviceLabel(s.second.device, other) + ", ") +
                          TargetLabel(s.second.target, other.targets[s.second.target]) +
                          " would share the disk file " + file);
        }
        seen.push_back({file, {i, k}});
      }
    }
    return true;
  }

  static std::string DeviceLabel(size_t index, const Device& d) {
    return "device " + std::to_string(index + 1) + " (" + d.name + ")";
  }

  bool ReadDevice(const json::Value& obj, size_t index, Device* d) {
    std::string where = "device " + std::to_string(index + 1);
    if (!obj.IsObject()) return Fail(where, "a device must be an object");
    if (const json::Value* n = obj.Find("name"); n && n->IsString()) {
      where += " (" + n->AsString() + ")";
    }
    if (!CheckMembers(obj, where,
                      {"name", "nodeId", "address", "netmask", "gateway", "dhcp", "announcement",
                       "filter", "iscsi", "tag", "replyTo", "adminUser", "adminPassword", "shares",
                       "targets", "dhcpPool", "dhcpNetmask", "dhcpGateway", "delays", "silent",
                       "http", "httpPort"})) {
      return false;
    }
    if (!String(obj, "name", where, &d->name, true)) return false;
    if (d->name.empty() || d->name.size() > kMaxNameBytes) {
      return Fail(where, "\"name\" must hold 1 to " + std::to_string(kMaxNameBytes) + " bytes");
    }
    // A NUL ends the name for every client: "NAS\u0000hidden" would be seen as "NAS".
    if (d->name.find('\0') != std::string::npos) return Fail(where, "\"name\" must not hold a NUL");
    if (!Address(obj, "address", where, &d->address, true)) return false;
    if (!Address(obj, "netmask", where, &d->netmask)) return false;
    if (NetmaskPrefixLength(d->netmask) < 0) return Fail(where, "\"netmask\" is not a contiguous mask");
    if (!Address(obj, "gateway", where, &d->gateway)) return false;
    if (!Bool(obj, "dhcp", where, &d->dhcp)) return false;

    std::string nodeId;
    if (!String(obj, "nodeId", where, &nodeId)) return false;
    if (nodeId.empty()) {
      // A stable default derived from the address keeps identifiers distinct across devices.
      Ipv4Bytes a;
      ParseDottedQuad(d->address, &a);
      d->nodeId = {0x00, 0x1c, 0xc0, a[1], a[2], a[3]};
    } else if (!ParseHexBytes(nodeId, d->nodeId.data(), 6)) {
      return Fail(where, "\"nodeId\" must be six hex bytes, e.g. \"00:1c:c0:00:00:01\"");
    }

    if (!Bool(obj, "iscsi", where, &d->iscsi)) return false;
    std::string announcement = d->iscsi ? "extended" : "basic";
    if (!String(obj, "announcement", where, &announcement)) return false;
    if (announcement == "basic") {
      d->announcement = Announcement::Basic;
    } else if (announcement == "extended") {
      d->announcement = Announcement::Extended;
    } else {
      return Fail(where, "\"announcement\" must be \"basic\" or \"extended\"");
    }
    if (d->iscsi && d->announcement == Announcement::Basic) {
      return Fail(where, "the iSCSI tag needs the extended announcement");
    }
    if (const json::Value* f = obj.Find("filter")) {
      int64_t a = 0;
      int64_t b = 0;
      if (!f->IsArray() || f->AsArray().size() != 2 || !f->AsArray()[0].AsInteger(0, 255, &a) ||
          !f->AsArray()[1].AsInteger(0, 255, &b)) {
        return Fail(where, "\"filter\" must be two bytes, e.g. [3, 3]");
      }
      d->filterA = static_cast<uint8_t>(a);
      d->filterB = static_cast<uint8_t>(b);
    }
    std::string tag;
    if (!String(obj, "tag", where, &tag)) return false;
    if (obj.Find("tag")) {
      if (!ParseHexBytes(tag, d->rawTag.data(), 6)) {
        return Fail(where, "\"tag\" must be six hex bytes, e.g. \"69:73:63:73:69:31\"");
      }
      d->hasRawTag = true;
    }

    std::string replyTo = "group";
    if (!String(obj, "replyTo", where, &replyTo)) return false;
    if (replyTo == "group") {
      d->replyTo = ReplyDestination::Group;
    } else if (replyTo == "host") {
      d->replyTo = ReplyDestination::Host;
    } else {
      return Fail(where, "\"replyTo\" must be \"group\" or \"host\"");
    }

    if (!String(obj, "adminUser", where, &d->adminUser)) return false;
    if (!String(obj, "adminPassword", where, &d->adminPassword)) return false;

    if (!Shares(obj, where, d)) return false;
    size_t shareText = 0;
    for (const auto& s : d->shares) {
      if (s.empty() || s.find(':') != std::string::npos || s.find('\0') != std::string::npos) {
        return Fail(where, "share name \"" + s + "\" must be non-empty without ':' or NUL");
      }
      shareText += s.size() + 1;
    }
    if (shareText > kReplyTextRoom) return Fail(where, "the share list does not fit one datagram");

    if (const json::Value* targets = obj.Find("targets")) {
      if (!targets->IsArray()) return Fail(where, "\"targets\" must be an array");
      size_t entryText = 0;
      for (size_t i = 0; i < targets->AsArray().size(); ++i) {
        Target t;
        if (!ReadTarget(targets->AsArray()[i], where + ", target " + std::to_string(i + 1), &t)) {
          return false;
        }
        entryText += TargetEntryText(t).size() + 1;
        d->targets.push_back(std::move(t));
      }
      if (entryText > kReplyTextRoom) return Fail(where, "the target list does not fit one datagram");
    }

    std::vector<std::string> pool;
    if (!StringList(obj, "dhcpPool", where, &pool)) return false;
    for (const auto& p : pool) {
      Ipv4Bytes b;
      if (!ParseDottedQuad(p, &b)) return Fail(where, "\"dhcpPool\" holds a bad address \"" + p + "\"");
      d->dhcpPool.push_back(FormatDottedQuad(b));
    }
    if (!Address(obj, "dhcpNetmask", where, &d->dhcpNetmask)) return false;
    if (!d->dhcpNetmask.empty() && NetmaskPrefixLength(d->dhcpNetmask) < 0) {
      return Fail(where, "\"dhcpNetmask\" is not a contiguous mask");
    }
    if (!Address(obj, "dhcpGateway", where, &d->dhcpGateway)) return false;
    if (!ChapAccounts(*d, where)) return false;
    if (!ExchangeMap(obj, where, d)) return false;
    if (!Bool(obj, "http", where, &d->http)) return false;
    int64_t port = d->httpPort;
    if (!Integer(obj, "httpPort", where, 1, 65535, &port)) return false;
    d->httpPort = static_cast<int>(port);
    return true;
  }
};

}  // namespace

bool ParseDottedQuad(const std::string& text, Ipv4Bytes* out) {
  return base::ParseIpv4(text, base::Ipv4Syntax::kDottedQuad, out->data());
}

std::string FormatDottedQuad(const Ipv4Bytes& a) { return base::FormatIpv4(a.data()); }

int NetmaskPrefixLength(const std::string& netmask) {
  Ipv4Bytes b;
  if (!ParseDottedQuad(netmask, &b)) return -1;
  uint32_t m = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
  int prefix = 0;
  while (prefix < 32 && (m & (0x80000000u >> prefix))) ++prefix;
  uint32_t expected = prefix == 0 ? 0 : (0xFFFFFFFFu << (32 - prefix));
  return m == expected ? prefix : -1;
}

std::string EncodeBase64(const std::string& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t v = (uint32_t(uint8_t(bytes[i])) << 16) | (uint32_t(uint8_t(bytes[i + 1])) << 8) |
                 uint8_t(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
    if (rest == 2) v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

const char* ExchangeName(Exchange e) { return kExchangeNames[static_cast<int>(e)]; }

bool AuthAsksForChap(const std::string& auth) { return base::EqualIgnoringAsciiCase(auth, "chap"); }

bool Target::AsksForChap() const { return AuthAsksForChap(auth); }

std::string TargetEntryText(const Target& t) {
  if (!t.rawEntry.empty()) return t.rawEntry;
  return t.name + "|" + t.auth + "@" + t.user + "$" + EncodeBase64(t.secret);
}

const ShareAccess* Device::AccessOf(const std::string& share) const {
  static const ShareAccess kOpen;
  for (size_t i = 0; i < shares.size(); ++i) {
    if (shares[i] == share) return i < shareAccess.size() ? &shareAccess[i] : &kOpen;
  }
  return nullptr;
}

const Device* Fabric::FindByName(const std::string& name) const {
  for (const auto& d : devices) {
    if (d.name == name) return &d;
  }
  return nullptr;
}

const Device* Fabric::FindByAddress(const std::string& address) const {
  for (const auto& d : devices) {
    if (d.address == address) return &d;
  }
  return nullptr;
}

bool LoadFabric(const std::string& jsonText, Fabric* fabric, std::string* error) {
  json::Value doc;
  json::ParseError parseError;
  if (!json::Parse(jsonText, &doc, &parseError)) {
    if (error) *error = json::Describe(parseError);
    return false;
  }
  Reader r;
  Fabric result;
  if (!doc.IsObject()) {
    r.Fail("fabric", "the document must be an object with \"devices\"");
  } else if (r.CheckMembers(doc, "fabric", {"devices", "drives", "connections"}) && r.Drives(doc, &result)) {
    const json::Value* devices = doc.Find("devices");
    if (!devices || !devices->IsArray()) {
      r.Fail("fabric", "\"devices\" must be an array");
    } else {
      for (size_t i = 0; i < devices->AsArray().size(); ++i) {
        Device d;
        if (!r.ReadDevice(devices->AsArray()[i], i, &d)) break;
        if (result.FindByName(d.name)) {
          r.Fail("device " + std::to_string(i + 1), "the name \"" + d.name + "\" is used twice");
          break;
        }
        result.devices.push_back(std::move(d));
      }
      if (r.error.empty()) r.DiskFiles(result.devices);
    }
  }
  if (!r.error.empty()) {
    if (error) *error = r.error;
    return false;
  }
  *fabric = std::move(result);
  return true;
}

bool ReadDevice(const json::Value& object, Device* device, std::string* error) {
  Reader r;
  Device d;
  if (!r.ReadDevice(object, 0, &d) || !r.DiskFiles({d})) {
    if (error) *error = r.error;
    return false;
  }
  *device = std::move(d);
  return true;
}

const char* DefaultFabricJson() { return kDefaultFabric; }

std::string TargetImageFileName(const std::string& deviceAddress, const std::string& targetName) {
  std::string file = deviceAddress + "_" + targetName + ".img";
  for (char& c : file) {
    c = base::LowerAsciiChar(c);
    bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    if (!plain) c = '_';
  }
  return file;
}

}  // namespace sw::fabric
