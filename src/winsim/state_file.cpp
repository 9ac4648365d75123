// The machine's saved state (Machine::ExportState and ImportState): what a program run after this
// one must find of the initiator, the volumes on letters and the letters volumes last had.

#include <cstdio>
#include <filesystem>

#include "fabric/json.h"
#include "winsim/machine.h"

namespace sw::winsim {

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string List(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (const auto& t : texts) out += (out.size() > 1 ? ", " : "") + Quoted(t);
  return out + "]";
}

bool Text(const json::Value& object, const char* key, std::string& out) {
  const json::Value* v = object.Find(key);
  if (v == nullptr || !v->IsString()) return false;
  out = v->AsString();
  return true;
}

bool Number(const json::Value& object, const char* key, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
  const json::Value* v = object.Find(key);
  return v != nullptr && v->AsInteger(lo, hi, &out);
}

bool Flag(const json::Value& object, const char* key, bool& out) {
  const json::Value* v = object.Find(key);
  if (v == nullptr || !v->IsBool()) return false;
  out = v->AsBool();
  return true;
}

bool Texts(const json::Value& object, const char* key, std::vector<std::string>& out) {
  const json::Value* v = object.Find(key);
  if (v == nullptr || !v->IsArray()) return false;
  out.clear();
  for (const auto& item : v->AsArray()) {
    if (!item.IsString()) return false;
    out.push_back(item.AsString());
  }
  return true;
}

const std::vector<json::Value>* Array(const json::Value& object, const char* key) {
  const json::Value* v = object.Find(key);
  return v != nullptr && v->IsArray() ? &v->AsArray() : nullptr;
}

bool Fail(std::string* error, const std::string& what) {
  if (error != nullptr) *error = what;
  return false;
}

char LetterOf(const std::string& text) {
  return text.size() == 1 && text[0] >= 'A' && text[0] <= 'Z' ? text[0] : 0;
}

// A session disk image must be a regular file (not a link) directly inside one of the folders.
bool ImageAllowed(const std::string& image, const std::vector<std::string>& folders) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path path(image);
  const auto status = fs::symlink_status(path, ec);
  if (ec || !fs::is_regular_file(status)) return false;
  const fs::path parent = fs::weakly_canonical(path.parent_path(), ec);
  if (ec) return false;
  for (const auto& folder : folders) {
    if (folder.empty()) continue;
    std::error_code folderError;
    const fs::path allowed = fs::weakly_canonical(fs::path(folder), folderError);
    if (!folderError && parent == allowed) return true;
  }
  return false;
}

}  // namespace

std::string Machine::ExportState() {
  // The remembered letters first: bringing the volumes up to the disks frees the letters of volumes
  // whose sessions ended in this run.
  const std::map<std::string, char> remembered = volumes.RememberedLetters();
  const Initiator::State s = initiator.SavedState();
  auto lock = Lock();
  std::string out = "{\"initiator\": {\"initiatorNames\": " + List(s.initiatorNames) + ",\n   \"portals\": [";
  for (std::size_t i = 0; i < s.portals.size(); ++i) {
    out += std::string(i ? ", " : "") + "{\"address\": " + Quoted(s.portals[i].address) +
           ", \"port\": " + std::to_string(s.portals[i].port) + "}";
  }
  out += "],\n   \"sessions\": [";
  for (std::size_t i = 0; i < s.sessions.size(); ++i) {
    const Initiator::Session& x = s.sessions[i];
    out += std::string(i ? ",\n     " : "") + "{\"id\": " + Quoted(x.id) + ", \"target\": " + Quoted(x.target) +
           ", \"portal\": " + Quoted(x.portalAddress) + ", \"disk\": " + std::to_string(x.disk) +
           ", \"image\": " + Quoted(x.imagePath) + ", \"sizeBytes\": " + std::to_string(x.sizeBytes) +
           ", \"sectorSize\": " + std::to_string(x.bytesPerSector) + ", \"active\": " + (x.active ? "true" : "false") +
           ", \"inUse\": " + (x.inUse ? "true" : "false") + "}";
  }
  out += "],\n   \"persistentLogins\": [";
  for (std::size_t i = 0; i < s.persistentLogins.size(); ++i) {
    const PersistentLoginSnapshot& p = s.persistentLogins[i];
    out += std::string(i ? ", " : "") + "{\"target\": " + Quoted(p.targetName) +
           ", \"initiator\": " + Quoted(p.initiatorInstance) + ", \"portal\": " + Quoted(p.portalAddress) + "}";
  }
  out += "],\n   \"persistentDevices\": " + List(s.persistentDevices) +
         ",\n   \"nextSession\": " + std::to_string(s.nextSession) + "},\n \"letters\": [";
  bool first = true;
  for (char c = 'A'; c <= 'Z'; ++c) {
    const std::string volume = letters.VolumeOn(c);
    if (volume.empty()) continue;
    out += std::string(first ? "" : ",\n   ") + "{\"letter\": \"" + c + "\", \"volume\": " + Quoted(volume) +
           ", \"driveType\": " + std::to_string(letters.DriveType(std::string(1, c) + ":")) + "}";
    first = false;
  }
  out += "],\n \"volumeLetters\": [";
  first = true;
  for (const auto& [name, letter] : remembered) {
    out += std::string(first ? "" : ",\n   ") + "{\"volume\": " + Quoted(name) + ", \"letter\": \"" +
           (letter != 0 ? std::string(1, letter) : std::string()) + "\"}";
    first = false;
  }
  return out + "]}\n";
}

bool Machine::ImportState(const std::string& text, const std::vector<std::string>& allowedImageFolders,
                          std::string* error) {
  json::Value state;
  json::ParseError parseError;
  if (!json::Parse(text, &state, &parseError)) return Fail(error, json::Describe(parseError));
  const json::Value* init = state.Find("initiator");
  const auto* onLetters = Array(state, "letters");
  const auto* remembered = Array(state, "volumeLetters");
  if (init == nullptr || !init->IsObject() || onLetters == nullptr || remembered == nullptr) {
    return Fail(error, "not a machine state");
  }
  Initiator::State next;
  if (!Texts(*init, "initiatorNames", next.initiatorNames)) return Fail(error, "initiator: initiatorNames");
  if (!Texts(*init, "persistentDevices", next.persistentDevices)) return Fail(error, "initiator: persistentDevices");
  const auto* portals = Array(*init, "portals");
  const auto* sessions = Array(*init, "sessions");
  const auto* logins = Array(*init, "persistentLogins");
  if (portals == nullptr || sessions == nullptr || logins == nullptr) return Fail(error, "initiator: a list is missing");
  for (const auto& p : *portals) {
    Initiator::Portal portal;
    std::int64_t port = 0;
    if (!Text(p, "address", portal.address) || !Number(p, "port", 0, 65535, port)) return Fail(error, "initiator: portal");
    portal.port = static_cast<std::int32_t>(port);
    next.portals.push_back(portal);
  }
  for (const auto& v : *sessions) {
    Initiator::Session s;
    std::int64_t disk = 0, size = 0, sector = 512;
    if (!Text(v, "id", s.id) || !Text(v, "target", s.target) || !Text(v, "portal", s.portalAddress) ||
        !Text(v, "image", s.imagePath) || !Number(v, "disk", 1, 0x7FFFFFFF, disk) ||
        !Number(v, "sizeBytes", 0, std::int64_t{1} << 53, size) || !Flag(v, "active", s.active) ||
        !Flag(v, "inUse", s.inUse) || (v.Find("sectorSize") != nullptr && !Number(v, "sectorSize", 512, 4096, sector)) ||
        (sector != 512 && sector != 4096)) {
      return Fail(error, "initiator: session");
    }
    // A session disk is written as the LUN: only an image of the machine's own folders may be one.
    if (!ImageAllowed(s.imagePath, allowedImageFolders)) {
      return Fail(error, "initiator: session disk image " + s.imagePath + " is not a file of the image folder");
    }
    s.disk = static_cast<int>(disk);
    s.sizeBytes = static_cast<std::uint64_t>(size);
    s.bytesPerSector = static_cast<std::uint32_t>(sector);
    next.sessions.push_back(s);
  }
  for (const auto& v : *logins) {
    PersistentLoginSnapshot p;
    if (!Text(v, "target", p.targetName) || !Text(v, "initiator", p.initiatorInstance) ||
        !Text(v, "portal", p.portalAddress)) {
      return Fail(error, "initiator: persistent login");
    }
    next.persistentLogins.push_back(p);
  }
  std::int64_t nextSession = 1;
  if (!Number(*init, "nextSession", 1, 0xFFFFFFFF, nextSession)) return Fail(error, "initiator: nextSession");
  next.nextSession = static_cast<unsigned>(nextSession);

  struct OnLetter {
    char letter;
    std::string volume;
    std::uint32_t type;
  };
  std::vector<OnLetter> volumesOnLetters;
  for (const auto& item : *onLetters) {
    std::string letter, volume;
    std::int64_t type = 0;
    if (!Text(item, "letter", letter) || LetterOf(letter) == 0 || !Text(item, "volume", volume) || volume.empty() ||
        !Number(item, "driveType", 0, 6, type)) {
      return Fail(error, "letters: entry");
    }
    volumesOnLetters.push_back({LetterOf(letter), volume, static_cast<std::uint32_t>(type)});
  }
  std::map<std::string, char> lastLetters;
  for (const auto& item : *remembered) {
    std::string volume, letter;
    if (!Text(item, "volume", volume) || !Text(item, "letter", letter) || (!letter.empty() && LetterOf(letter) == 0)) {
      return Fail(error, "volume letters: entry");
    }
    lastLetters[volume] = letter.empty() ? 0 : letter[0];
  }

  auto lock = Lock();
  // The letters first: the volumes mount returning volumes against them.
  for (const OnLetter& v : volumesOnLetters) letters.SetVolume(v.letter, v.volume, v.type);
  volumes.RestoreRememberedLetters(std::move(lastLetters));
  initiator.RestoreState(std::move(next));
  return true;
}

}  // namespace sw::winsim
