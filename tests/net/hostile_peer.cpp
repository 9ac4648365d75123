// hostile-peer: a scriptable device impostor for the net tests. It waits for requests and answers
// DISCOVERs with crafted announcements, QUERYs and SETs with crafted replies, and can flood the
// link with datagrams of a chosen opcode, all described by a JSON script:
//
// {
//   "once": true,                 answer only the first DISCOVER (default: every one)
//   "answers": [                  sent in order, for each DISCOVER answered
//     { "opcode": 7,              2 basic, 7 extended (default 2); any other byte is sent as is
//       "name": "X", "address": "10.77.1.1", "nodeId": "02:00:00:00:00:01",
//       "netmask": "255.255.0.0", "gateway": "10.77.0.1", "dhcp": true,
//       "filter": [3, 4],  "iscsi": true,  "tag": "69 73 63 73 69 31",
//       "clientId": "echo" | "foreign" | "hex of 10 bytes",
//                                 foreign: bytes 1-6 differ from the request, 7-10 are echoed
//       "nameLength": 5000,       overrides the name length field
//       "poke": [[22, 255]],      [offset, byte] pairs written last (the datagram grows if needed)
//       "size": 40,               cuts or zero-extends the datagram to this many bytes
//       "to": "group" | "host",   destination (default group), port 13579
//       "repeat": 60,             send this answer N times, address +i and name "-i" suffixed
//       "gapUs": 0,               pause between repeated copies
//       "delayMs": 0 }            pause before this answer
//   ],
//   "replies": [                  sent in order for each QUERY or SET received
//     { "for": "any",             login, shares, targets, static, dhcp, query, set or any
//       "opcode": 4,              default 4 to a QUERY, 6 to a SET; any byte is sent as is
//       "address": "10.77.1.9",   bytes 17-20 (default: what a sound device sends: the request's
//                                 address, or the new one a static change asks for)
//       "clientId": "echo" | "foreign" | "hex of 10 bytes",
//       "result": "vol1::vol2:",  text from offset 28 (no NUL); or
//       "resultHex": "ff",        bytes from offset 28; or
//       "verdict": 255,           byte 28 alone
//       "poke", "size", "to", "repeat", "gapUs", "delayMs": as for answers
//     }
//   ],
//   "flood": {                    on the first QUERY or SET (and again after it ended)
//     "opcode": 9,                byte 0 of every flood datagram; bytes 1-10 echo the client
//     "size": 28, "gapUs": 500, "durationMs": 4000, "to": "group" | "host" }
// }
//
// usage: hostile-peer --script FILE [--ready-file PATH] [--capture FILE]
//   --capture FILE  appends every datagram received, one line each: its length, then its bytes
//                   in hex; flushed at once, so a test can read it right after an exchange.
// Stops on SIGTERM/SIGINT.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device_peer.h"
#include "fabric/fabric.h"
#include "fabric/json.h"
#include "sim_net.h"

namespace sw::sim {
namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

struct Answer {
  fabric::Device device;
  int opcode = kOpDiscoverReply;
  std::string clientId = "echo";
  bool hasNameLength = false;
  uint32_t nameLength = 0;
  std::vector<std::pair<size_t, uint8_t>> pokes;
  bool hasSize = false;
  size_t size = 0;
  bool toGroup = true;
  int repeat = 1;
  int gapUs = 0;
  int delayMs = 0;
};

// Which requests a reply answers.
enum class ReplyFor { Any, Query, Set, Login, Shares, Targets, Static, Dhcp };

struct CraftedReply {
  ReplyFor forRequests = ReplyFor::Any;
  int opcode = -1;  // -1: the sound reply opcode of the request
  bool hasAddress = false;
  fabric::Ipv4Bytes address{};
  std::string clientId = "echo";
  bool hasResult = false;
  std::vector<uint8_t> result;
  std::vector<std::pair<size_t, uint8_t>> pokes;
  bool hasSize = false;
  size_t size = 0;
  bool toGroup = true;
  int repeat = 1;
  int gapUs = 0;
  int delayMs = 0;
};

struct Flood {
  bool enabled = false;
  uint8_t opcode = 9;
  size_t size = 28;
  int gapUs = 500;
  int durationMs = 4000;
  bool toGroup = true;
};

bool Fail(const std::string& message) {
  std::fprintf(stderr, "hostile-peer: %s\n", message.c_str());
  return false;
}

bool HexBytes(const std::string& text, std::vector<uint8_t>* out) {
  std::string digits;
  for (char c : text) {
    if (c == ' ' || c == ':' || c == '-') continue;
    digits.push_back(c);
  }
  if (digits.size() % 2 != 0) return false;
  out->clear();
  for (size_t i = 0; i < digits.size(); i += 2) {
    char* end = nullptr;
    std::string pair = digits.substr(i, 2);
    long v = std::strtol(pair.c_str(), &end, 16);
    if (*end != '\0') return false;
    out->push_back(static_cast<uint8_t>(v));
  }
  return true;
}

bool ReadAnswer(const json::Value& v, Answer* a) {
  if (!v.IsObject()) return Fail("an answer must be an object");
  // The device part goes through the fabric reader so that its fields mean the same there.
  std::vector<json::Value::Member> deviceMembers = {
      {"name", json::Value::MakeString("IMPOSTOR")},
      {"address", json::Value::MakeString("10.77.1.1")}};
  int64_t n = 0;
  for (const auto& m : v.AsObject()) {
    const std::string& k = m.first;
    if (k == "opcode") {
      if (!m.second.AsInteger(0, 255, &n)) return Fail("bad opcode");
      a->opcode = static_cast<int>(n);
    } else if (k == "clientId") {
      a->clientId = m.second.AsString();
    } else if (k == "nameLength") {
      if (!m.second.AsInteger(0, 0xFFFFFFFFll, &n)) return Fail("bad nameLength");
      a->hasNameLength = true;
      a->nameLength = static_cast<uint32_t>(n);
    } else if (k == "poke") {
      for (const auto& p : m.second.AsArray()) {
        int64_t offset = 0;
        int64_t byte = 0;
        if (p.AsArray().size() != 2 || !p.AsArray()[0].AsInteger(0, 4095, &offset) ||
            !p.AsArray()[1].AsInteger(0, 255, &byte)) {
          return Fail("poke entries are [offset 0-4095, byte]");
        }
        a->pokes.emplace_back(static_cast<size_t>(offset), static_cast<uint8_t>(byte));
      }
    } else if (k == "size") {
      if (!m.second.AsInteger(0, 4096, &n)) return Fail("bad size");
      a->hasSize = true;
      a->size = static_cast<size_t>(n);
    } else if (k == "to") {
      a->toGroup = m.second.AsString() != "host";
    } else if (k == "repeat") {
      if (!m.second.AsInteger(1, 10000, &n)) return Fail("bad repeat");
      a->repeat = static_cast<int>(n);
    } else if (k == "delayMs") {
      if (!m.second.AsInteger(0, 10000, &n)) return Fail("bad delayMs");
      a->delayMs = static_cast<int>(n);
    } else if (k == "gapUs") {
      if (!m.second.AsInteger(0, 1000000, &n)) return Fail("bad gapUs");
      a->gapUs = static_cast<int>(n);
    } else {
      bool replaced = false;
      for (auto& dm : deviceMembers) {
        if (dm.first == k) {
          dm.second = m.second;
          replaced = true;
        }
      }
      if (!replaced) deviceMembers.emplace_back(k, m.second);
    }
  }
  // The extended layout is needed for filter and tag bytes; the opcode byte is set separately.
  bool extendedLayout = a->opcode == kOpDiscoverReplyExt;
  bool hasAnnouncement = false;
  for (const auto& dm : deviceMembers) hasAnnouncement |= dm.first == "announcement";
  if (!hasAnnouncement) {
    deviceMembers.emplace_back("announcement",
                               json::Value::MakeString(extendedLayout ? "extended" : "basic"));
  }
  std::string error;
  if (!fabric::ReadDevice(json::Value::MakeObject(deviceMembers), &a->device, &error)) {
    return Fail(error);
  }
  return true;
}

std::vector<uint8_t> Craft(const Answer& a, int copy, const uint8_t* request) {
  fabric::Device d = a.device;
  if (a.repeat > 1) {
    fabric::Ipv4Bytes b;
    fabric::ParseDottedQuad(d.address, &b);
    uint32_t v = (uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]) +
                 static_cast<uint32_t>(copy);
    d.address = fabric::FormatDottedQuad({uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    d.name += "-" + std::to_string(copy);
    d.nodeId[5] = static_cast<uint8_t>(d.nodeId[5] + copy);
  }
  DeviceState state(d);
  std::vector<uint8_t> bytes = BuildAnnouncement(state, request + 1);
  bytes[0] = static_cast<uint8_t>(a.opcode);
  if (a.clientId == "foreign") {
    for (int i = 1; i <= 6; ++i) bytes[i] = static_cast<uint8_t>(request[i] ^ 0x5A);
  } else if (a.clientId != "echo") {
    std::vector<uint8_t> id;
    if (HexBytes(a.clientId, &id) && id.size() == 10) std::memcpy(bytes.data() + 1, id.data(), 10);
  }
  if (a.hasNameLength) {
    size_t offset = d.announcement == fabric::Announcement::Extended ? 68 : 56;
    PutLength(&bytes, offset, a.nameLength);
  }
  for (const auto& p : a.pokes) {
    if (p.first >= bytes.size()) bytes.resize(p.first + 1, 0);
    bytes[p.first] = p.second;
  }
  if (a.hasSize) bytes.resize(a.size, 0);
  return bytes;
}

bool ReadReplyFor(const std::string& text, ReplyFor* out) {
  static const std::pair<const char*, ReplyFor> kNames[] = {
      {"any", ReplyFor::Any},       {"query", ReplyFor::Query},     {"set", ReplyFor::Set},
      {"login", ReplyFor::Login},   {"shares", ReplyFor::Shares},   {"targets", ReplyFor::Targets},
      {"static", ReplyFor::Static}, {"dhcp", ReplyFor::Dhcp}};
  for (const auto& n : kNames) {
    if (text == n.first) {
      *out = n.second;
      return true;
    }
  }
  return false;
}

bool ReadReply(const json::Value& v, CraftedReply* r) {
  if (!v.IsObject()) return Fail("a reply must be an object");
  int64_t n = 0;
  for (const auto& m : v.AsObject()) {
    const std::string& k = m.first;
    if (k == "for") {
      if (!ReadReplyFor(m.second.AsString(), &r->forRequests)) return Fail("bad \"for\"");
    } else if (k == "opcode") {
      if (!m.second.AsInteger(0, 255, &n)) return Fail("bad opcode");
      r->opcode = static_cast<int>(n);
    } else if (k == "address") {
      if (!fabric::ParseDottedQuad(m.second.AsString(), &r->address)) return Fail("bad address");
      r->hasAddress = true;
    } else if (k == "clientId") {
      r->clientId = m.second.AsString();
    } else if (k == "result") {
      const std::string& text = m.second.AsString();
      r->result.assign(text.begin(), text.end());
      r->hasResult = true;
    } else if (k == "resultHex") {
      if (!HexBytes(m.second.AsString(), &r->result)) return Fail("bad resultHex");
      r->hasResult = true;
    } else if (k == "verdict") {
      if (!m.second.AsInteger(0, 255, &n)) return Fail("bad verdict");
      r->result = {static_cast<uint8_t>(n)};
      r->hasResult = true;
    } else if (k == "poke") {
      for (const auto& p : m.second.AsArray()) {
        int64_t offset = 0;
        int64_t byte = 0;
        if (p.AsArray().size() != 2 || !p.AsArray()[0].AsInteger(0, 4095, &offset) ||
            !p.AsArray()[1].AsInteger(0, 255, &byte)) {
          return Fail("poke entries are [offset 0-4095, byte]");
        }
        r->pokes.emplace_back(static_cast<size_t>(offset), static_cast<uint8_t>(byte));
      }
    } else if (k == "size") {
      if (!m.second.AsInteger(0, 4096, &n)) return Fail("bad size");
      r->hasSize = true;
      r->size = static_cast<size_t>(n);
    } else if (k == "to") {
      r->toGroup = m.second.AsString() != "host";
    } else if (k == "repeat") {
      if (!m.second.AsInteger(1, 100000, &n)) return Fail("bad repeat");
      r->repeat = static_cast<int>(n);
    } else if (k == "gapUs") {
      if (!m.second.AsInteger(0, 1000000, &n)) return Fail("bad gapUs");
      r->gapUs = static_cast<int>(n);
    } else if (k == "delayMs") {
      if (!m.second.AsInteger(0, 30000, &n)) return Fail("bad delayMs");
      r->delayMs = static_cast<int>(n);
    } else {
      return Fail("unknown reply member \"" + k + "\"");
    }
  }
  return true;
}

bool ReadFlood(const json::Value& v, Flood* f) {
  if (!v.IsObject()) return Fail("\"flood\" must be an object");
  f->enabled = true;
  int64_t n = 0;
  for (const auto& m : v.AsObject()) {
    const std::string& k = m.first;
    if (k == "opcode") {
      if (!m.second.AsInteger(0, 255, &n)) return Fail("bad flood opcode");
      f->opcode = static_cast<uint8_t>(n);
    } else if (k == "size") {
      if (!m.second.AsInteger(11, 4096, &n)) return Fail("flood size is 11 to 4096");
      f->size = static_cast<size_t>(n);
    } else if (k == "gapUs") {
      if (!m.second.AsInteger(0, 1000000, &n)) return Fail("bad flood gapUs");
      f->gapUs = static_cast<int>(n);
    } else if (k == "durationMs") {
      if (!m.second.AsInteger(1, 120000, &n)) return Fail("bad flood durationMs");
      f->durationMs = static_cast<int>(n);
    } else if (k == "to") {
      f->toGroup = m.second.AsString() != "host";
    } else {
      return Fail("unknown flood member \"" + k + "\"");
    }
  }
  return true;
}

bool Matches(ReplyFor f, uint8_t opcode, uint8_t sub) {
  switch (f) {
    case ReplyFor::Any: return true;
    case ReplyFor::Query: return opcode == kOpQuery;
    case ReplyFor::Set: return opcode == kOpSet;
    case ReplyFor::Login: return opcode == kOpQuery && sub == kSubQueryLogin;
    case ReplyFor::Shares: return opcode == kOpQuery && sub == kSubQueryShares;
    case ReplyFor::Targets: return opcode == kOpQuery && sub == kSubQueryTargets;
    case ReplyFor::Static: return opcode == kOpSet && sub == kSubSetStatic;
    case ReplyFor::Dhcp: return opcode == kOpSet && sub == kSubSetDhcp;
  }
  return false;
}

// The address a sound device would put in bytes 17-20: the one a static change asks for, else
// the one the request was addressed to.
fabric::Ipv4Bytes SoundReplyAddress(const uint8_t* request, size_t size) {
  fabric::Ipv4Bytes a{};
  if (size >= 21) std::memcpy(a.data(), request + 17, 4);
  if (size >= 60 && request[0] == kOpSet && request[21] == kSubSetStatic) {
    size_t length = std::min<size_t>(GetLength(request, size, 56), size - 60);
    fabric::Ipv4Bytes asked;
    if (fabric::ParseDottedQuad(std::string(reinterpret_cast<const char*>(request) + 60, length), &asked)) {
      a = asked;
    }
  }
  return a;
}

std::vector<uint8_t> CraftReply(const CraftedReply& r, const uint8_t* request, size_t size) {
  std::vector<uint8_t> bytes(28, 0);
  bytes[0] = static_cast<uint8_t>(r.opcode >= 0 ? r.opcode
                                                : (request[0] == kOpQuery ? kOpQueryReply : kOpSetReply));
  std::memcpy(bytes.data() + 1, request + 1, 20);  // client and device identifiers as asked
  fabric::Ipv4Bytes a = r.hasAddress ? r.address : SoundReplyAddress(request, size);
  std::memcpy(bytes.data() + 17, a.data(), 4);
  if (r.clientId == "foreign") {
    for (int i = 1; i <= 6; ++i) bytes[i] = static_cast<uint8_t>(request[i] ^ 0x5A);
  } else if (r.clientId != "echo") {
    std::vector<uint8_t> id;
    if (HexBytes(r.clientId, &id) && id.size() == 10) std::memcpy(bytes.data() + 1, id.data(), 10);
  }
  if (r.hasResult) bytes.insert(bytes.end(), r.result.begin(), r.result.end());
  for (const auto& p : r.pokes) {
    if (p.first >= bytes.size()) bytes.resize(p.first + 1, 0);
    bytes[p.first] = p.second;
  }
  if (r.hasSize) bytes.resize(r.size, 0);
  if (bytes.size() > 4096) bytes.resize(4096);
  return bytes;
}

// Sends flood datagrams from its own thread, so that replies and captures go on meanwhile.
class Flooder {
 public:
  explicit Flooder(const Flood& flood) : flood_(flood) {}
  ~Flooder() {
    stop_ = true;
    Join();
  }

  // Starts a flood that echoes `clientId` unless one is still running.
  void Trigger(const uint8_t* clientId, const std::string& requester) {
    if (!flood_.enabled || running_) return;
    Join();
    running_ = true;
    std::vector<uint8_t> bytes(flood_.size, 0);
    bytes[0] = flood_.opcode;
    std::memcpy(bytes.data() + 1, clientId, 10);
    std::string to = flood_.toGroup ? kGroupAddress : requester;
    thread_ = std::thread([this, bytes, to] { Run(bytes, to); });
  }

 private:
  void Run(const std::vector<uint8_t>& bytes, const std::string& to) {
    std::string warning;
    int sender = net::OpenSender("", 0, &warning);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(flood_.durationMs);
    long sent = 0;
    while (sender >= 0 && !stop_ && !g_stop && std::chrono::steady_clock::now() < end) {
      if (net::SendTo(sender, bytes.data(), bytes.size(), to, kDevicePort)) ++sent;
      if (flood_.gapUs > 0) usleep(static_cast<useconds_t>(flood_.gapUs));
    }
    if (sender >= 0) close(sender);
    std::fprintf(stderr, "hostile-peer: flood of %ld datagrams ended\n", sent);
    running_ = false;
  }

  void Join() {
    if (thread_.joinable()) thread_.join();
  }

  Flood flood_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void Capture(FILE* file, const uint8_t* data, size_t size) {
  if (file == nullptr) return;
  std::fprintf(file, "%zu", size);
  if (size > 0) std::fputc(' ', file);
  for (size_t i = 0; i < size; ++i) std::fprintf(file, "%02x", data[i]);
  std::fputc('\n', file);
  std::fflush(file);
}

int Main(int argc, char** argv) {
  std::string scriptPath;
  std::string readyFile;
  std::string capturePath;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string k = argv[i];
    if (k == "--script") scriptPath = argv[i + 1];
    else if (k == "--ready-file") readyFile = argv[i + 1];
    else if (k == "--capture") capturePath = argv[i + 1];
  }
  if (scriptPath.empty()) {
    std::fprintf(stderr, "usage: hostile-peer --script FILE [--ready-file PATH] [--capture FILE]\n");
    return 2;
  }
  std::ifstream in(scriptPath);
  std::stringstream buf;
  buf << in.rdbuf();
  json::Value script;
  json::ParseError perr;
  if (!in || !json::Parse(buf.str(), &script, &perr)) {
    Fail(scriptPath + ": " + json::Describe(perr));
    return 2;
  }
  bool once = script.Find("once") && script.Find("once")->AsBool();
  std::vector<Answer> answers;
  std::vector<CraftedReply> replies;
  Flood flood;
  const json::Value* answerList = script.Find("answers");
  const json::Value* replyList = script.Find("replies");
  const json::Value* floodEntry = script.Find("flood");
  if (!answerList && !replyList && !floodEntry) {
    Fail("the script needs \"answers\", \"replies\" or \"flood\"");
    return 2;
  }
  if (answerList) {
    if (!answerList->IsArray()) {
      Fail("\"answers\" must be a list");
      return 2;
    }
    for (const auto& v : answerList->AsArray()) {
      Answer a;
      if (!ReadAnswer(v, &a)) return 2;
      answers.push_back(std::move(a));
    }
  }
  if (replyList) {
    if (!replyList->IsArray()) {
      Fail("\"replies\" must be a list");
      return 2;
    }
    for (const auto& v : replyList->AsArray()) {
      CraftedReply r;
      if (!ReadReply(v, &r)) return 2;
      replies.push_back(std::move(r));
    }
  }
  if (floodEntry && !ReadFlood(*floodEntry, &flood)) return 2;

  FILE* capture = nullptr;
  if (!capturePath.empty()) {
    capture = std::fopen(capturePath.c_str(), "a");
    if (capture == nullptr) {
      Fail("cannot open " + capturePath);
      return 2;
    }
  }

  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);
  std::string error;
  int receiver = net::OpenGroupReceiver(0, &error);
  if (receiver < 0) {
    Fail(error);
    return 1;
  }
  int sender = net::OpenSender("", 0, &error);
  if (sender < 0) {
    Fail(error);
    return 1;
  }
  Flooder flooder(flood);
  if (!readyFile.empty()) std::ofstream(readyFile) << getpid() << "\n";

  bool answered = false;
  while (!g_stop) {
    pollfd p{receiver, POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    uint8_t request[4097];
    sockaddr_in from;
    socklen_t fromSize = sizeof(from);
    ssize_t n = recvfrom(receiver, request, 4096, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (n < 0) continue;
    size_t size = static_cast<size_t>(n);
    Capture(capture, request, size);
    std::string requester = net::PeerAddress(&from);
    if (size >= 22 && (request[0] == kOpQuery || request[0] == kOpSet)) {
      flooder.Trigger(request + 1, requester);
      for (const auto& r : replies) {
        if (!Matches(r.forRequests, request[0], request[21])) continue;
        if (r.delayMs > 0) usleep(static_cast<useconds_t>(r.delayMs) * 1000);
        std::vector<uint8_t> bytes = CraftReply(r, request, size);
        for (int copy = 0; copy < r.repeat && !g_stop; ++copy) {
          net::SendTo(sender, bytes.data(), bytes.size(), r.toGroup ? kGroupAddress : requester,
                      kDevicePort);
          if (r.gapUs > 0) usleep(static_cast<useconds_t>(r.gapUs));
        }
      }
      continue;
    }
    if (size < 11 || request[0] != kOpDiscover) continue;
    if (once && answered) continue;
    answered = true;
    for (const auto& a : answers) {
      if (a.delayMs > 0) usleep(static_cast<useconds_t>(a.delayMs) * 1000);
      for (int copy = 0; copy < a.repeat; ++copy) {
        std::vector<uint8_t> bytes = Craft(a, copy, request);
        net::SendTo(sender, bytes.data(), bytes.size(), a.toGroup ? kGroupAddress : requester,
                    kDevicePort);
        if (a.gapUs > 0) usleep(static_cast<useconds_t>(a.gapUs));
      }
    }
  }
  close(receiver);
  close(sender);
  if (capture) std::fclose(capture);
  return 0;
}

}  // namespace
}  // namespace sw::sim

int main(int argc, char** argv) { return sw::sim::Main(argc, argv); }
