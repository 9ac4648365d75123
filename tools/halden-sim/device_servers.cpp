// The device's daemons (tgtd, smbd, nmbd), started as children of halden-sim in its network
// namespace. See device_servers.h.

#include "device_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "base/ascii_case.h"
#include "netbios_query.h"
#include "private_files.h"

namespace sw::sim {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kIscsiPort = 3260;
constexpr const char* kTgtdSocketDir = "/var/run/tgtd";
// The account every share user and the guest act as: nobody owns what clients write.
constexpr const char* kShareAccount = "nobody";
constexpr gid_t kShareGid = 65534;  // the share account's group ("nogroup" in its account list)
// Where smbd finds the device's share folders: the device's private folder is bound there in smbd's
// own mount namespace, so the share account reaches the shares without passing through folders
// that keep everyone else out (the state folder is 0700).
constexpr const char* kShareMount = "/mnt";

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

bool ValidNetbiosName(const std::string& name) {
  if (name.empty() || name.size() > 15) return false;
  for (unsigned char c : name) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              std::strchr("-_!#$&'()^{}~", c) != nullptr;
    if (!ok || c == '\0') return false;
  }
  return true;
}

// Why a share name cannot be a section of the configuration; empty when it can.
std::string ShareNameProblem(const std::string& name, const std::set<std::string>& taken) {
  if (name.empty()) return "empty name";
  if (name.size() > 80) return "longer than 80 bytes";
  if (name.front() == ' ' || name.back() == ' ') return "leading or trailing blank";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f) return "control character";
    // Brackets end the section header, "%" starts a substitution; the rest Windows refuses.
    if (std::strchr("[]%\\/:\"<>*?|+=;,", c) != nullptr) return std::string("character '") +
                                                                 static_cast<char>(c) + "'";
  }
  static const char* const kReserved[] = {"global", "homes", "printers", "print$", "ipc$"};
  for (const char* r : kReserved) {
    if (base::LowerAscii(name) == r) return "name kept by the SMB server";
  }
  if (taken.count(base::LowerAscii(name))) return "same name as an earlier share";
  return "";
}

bool ValidAccountName(const std::string& user) {
  if (user.empty() || user.size() > 32) return false;
  if (!((user[0] >= 'a' && user[0] <= 'z') || user[0] == '_')) return false;
  for (char c : user) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
    if (!ok) return false;
  }
  // Our private account list holds these two already; a share user must not become either.
  return user != "root" && user != kShareAccount;
}

// --- processes ---

struct SpawnOptions {
  std::string logPath;
  std::string stdinText;
  bool feedStdin = false;
  // Bind mounts in a mount namespace of the child's own (the account list smbd sees).
  std::vector<std::pair<std::string, std::string>> binds;
  int deathSignal = SIGTERM;
};

pid_t Spawn(const std::vector<std::string>& argv, const SpawnOptions& o) {
  int in[2] = {-1, -1};
  if (o.feedStdin && pipe2(in, O_CLOEXEC) != 0) return -1;
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    // A halden-sim that dies without cleaning up takes its daemons along.
    prctl(PR_SET_PDEATHSIG, o.deathSignal);
    if (getppid() != parent) _exit(127);
    // A session of its own: Samba signals its whole process group when it ends, which would
    // otherwise be halden-sim's and its caller's.
    setsid();
    if (!o.binds.empty()) {
      if (unshare(CLONE_NEWNS) != 0) _exit(126);
      if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(126);
      for (const auto& b : o.binds) {
        if (mount(b.first.c_str(), b.second.c_str(), nullptr, MS_BIND, nullptr) != 0) _exit(126);
      }
    }
    int null = open("/dev/null", O_RDONLY);
    dup2(o.feedStdin ? in[0] : null, 0);
    int log = o.logPath.empty() ? -1 : open(o.logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(log >= 0 ? log : null, 1);
    dup2(log >= 0 ? log : null, 2);
    // Samba's IPC$ share lives in the temporary folder, entered as the share account: the system's
    // own, not a private one halden-sim may have been given.
    if (!o.binds.empty()) unsetenv("TMPDIR");
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  if (o.feedStdin) {
    close(in[0]);
    ssize_t ignored = write(in[1], o.stdinText.data(), o.stdinText.size());
    (void)ignored;
    close(in[1]);
  }
  return pid;
}

// Waits for a child up to `ms`; true with *status when it ended.
bool WaitChild(pid_t pid, int ms, int* status) {
  auto until = Clock::now() + std::chrono::milliseconds(ms);
  while (true) {
    pid_t r = waitpid(pid, status, WNOHANG);
    if (r == pid) return true;
    if (r < 0 && errno != EINTR) return true;
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool RunToEnd(const std::vector<std::string>& argv, const SpawnOptions& o, int timeoutMs = 10000) {
  pid_t pid = Spawn(argv, o);
  if (pid < 0) return false;
  int status = 0;
  if (!WaitChild(pid, timeoutMs, &status)) {
    kill(pid, SIGKILL);
    WaitChild(pid, 1000, &status);
    return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Looks without reaping: an ended child stays a zombie until Stop reaps it, so its pid (and the
// process group named after it) cannot be handed to another process meanwhile.
bool Alive(pid_t pid) {
  if (pid <= 0) return false;
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
  return info.si_pid == 0;
}

std::string FindProgram(const std::string& name) {
  std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  path += ":/usr/sbin:/sbin:/usr/bin:/bin";
  std::istringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string LastLines(const std::string& path, size_t count) {
  std::string text = ReadText(path);
  size_t at = text.size();
  for (size_t n = 0; n <= count && at > 0; ++n) {
    size_t nl = text.rfind('\n', at - 1);
    if (nl == std::string::npos) return text;
    at = nl;
  }
  return text.substr(at + 1);
}

struct ProcessInfo {
  pid_t pid = 0;
  pid_t parent = 0;
  pid_t group = 0;
  bool zombie = false;
  std::string mountNamespace;
};

bool ReadProcess(pid_t pid, ProcessInfo* info) {
  std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
  // "pid (comm) state ppid pgrp ...": comm may hold blanks and parentheses, so read after the last ')'.
  std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream rest(stat.substr(close + 1));
  std::string state;
  long parent = 0;
  long group = 0;
  if (!(rest >> state >> parent >> group)) return false;
  info->pid = pid;
  info->zombie = state == "Z";
  info->parent = static_cast<pid_t>(parent);
  info->group = static_cast<pid_t>(group);
  char link[128] = {};
  ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/ns/mnt").c_str(), link, sizeof link - 1);
  info->mountNamespace = n > 0 ? std::string(link, static_cast<std::size_t>(n)) : std::string();
  return true;
}

std::vector<ProcessInfo> Processes() {
  std::vector<ProcessInfo> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    ProcessInfo info;
    if (ReadProcess(std::atoi(name.c_str()), &info)) found.push_back(info);
  }
  return found;
}

// The private mount namespaces of daemons we started (Spawn gives smbd and nmbd one each), read
// while they run: what they fork stays in it, also a helper that makes a session of its own
// (samba-dcerpcd) and so leaves their process group. Our own namespace is never one of them.
std::set<std::string> PrivateNamespaces(const std::vector<pid_t>& daemons) {
  std::set<std::string> namespaces;
  ProcessInfo self;
  ReadProcess(getpid(), &self);
  for (pid_t d : daemons) {
    ProcessInfo info;
    if (d > 0 && ReadProcess(d, &info) && !info.mountNamespace.empty() &&
        info.mountNamespace != self.mountNamespace) {
      namespaces.insert(info.mountNamespace);
    }
  }
  return namespaces;
}

// Helpers adopted by us (halden-sim is their subreaper) once the daemon that forked them ended:
// our children in one of `namespaces` that lead a process group. Being our children, not yet
// reaped, their pids cannot have been reused.
std::vector<pid_t> AdoptedLeaders(const std::set<std::string>& namespaces) {
  std::vector<pid_t> leaders;
  for (const auto& p : Processes()) {
    if (p.parent == getpid() && p.group == p.pid && namespaces.count(p.mountNamespace)) leaders.push_back(p.pid);
  }
  return leaders;
}

long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// True while a process of the groups led by `leaders` runs (a zombie has ended).
bool GroupsRunning(const std::vector<pid_t>& leaders) {
  for (const auto& p : Processes()) {
    if (std::find(leaders.begin(), leaders.end(), p.group) != leaders.end() && !p.zombie) return true;
  }
  return false;
}

// The groups led by `leaders` (our children) get TERM, up to `graceMs`, then KILL; the leaders are
// reaped last, so until then no group id can name another process's group.
void StopGroups(const std::vector<pid_t>& leaders, int graceMs) {
  for (pid_t p : leaders) kill(-p, SIGTERM);
  auto until = Clock::now() + std::chrono::milliseconds(graceMs);
  while (Clock::now() < until && GroupsRunning(leaders)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (pid_t p : leaders) kill(-p, SIGKILL);
  for (pid_t p : leaders) {
    int status = 0;
    waitpid(p, &status, 0);
    // Members whose parent ended first were adopted by us: reap them too.
    while (waitpid(-p, &status, WNOHANG) > 0) {
    }
  }
}

// Stops daemons we started (each leads its own group: Spawn makes it a session leader) with
// everything they forked, never by name.
void StopDaemons(const std::vector<pid_t>& daemons, int graceMs) {
  const std::set<std::string> namespaces = PrivateNamespaces(daemons);
  std::vector<pid_t> leaders = AdoptedLeaders(namespaces);
  for (pid_t d : daemons) {
    if (d > 0 && std::find(leaders.begin(), leaders.end(), d) == leaders.end()) leaders.push_back(d);
  }
  StopGroups(leaders, graceMs);
  // Helpers whose parent ended just now were adopted meanwhile.
  StopGroups(AdoptedLeaders(namespaces), graceMs);
}

bool IsLocalAddress(const std::string& address) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  if (inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1) return false;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0;
  close(fd);
  return ok;
}

bool AcceptsTcp(const std::string& address, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1) return false;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0;
  close(fd);
  return ok;
}

// A broadcast NetBIOS name query (type 0x20, the file server) on the device's subnet, as a client
// resolving "\\NAME" sends it: true when nmbd answers positively within `ms`. nmbd answers
// unicast queries at once but broadcast ones only once it has registered the name, seconds later.
bool AnswersNameQuery(const std::string& address, int prefixLength, const std::string& name, int ms) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(137);
  if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) return false;
  if (prefixLength >= 0 && prefixLength < 32) {
    uint32_t host = ntohl(to.sin_addr.s_addr) | (0xffffffffu >> prefixLength);
    to.sin_addr.s_addr = htonl(host);
  }
  const std::vector<uint8_t> q = NameQuery(name, 0x5357);
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
  bool ok = false;
  if (sendto(fd, q.data(), q.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)) ==
      static_cast<ssize_t>(q.size())) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, ms) == 1) {
      uint8_t r[512];
      ssize_t n = recv(fd, r, sizeof(r), MSG_DONTWAIT);
      ok = n > 0 && IsPositiveNameAnswer(q, r, static_cast<size_t>(n));
    }
  }
  close(fd);
  return ok;
}

}  // namespace

SmbSetup BuildSmbSetup(const fabric::Device& device, const std::string& address, int prefixLength,
                       const std::string& stateDir) {
  SmbSetup setup;
  if (!ValidNetbiosName(device.name)) {
    setup.skipped.push_back("no shares: \"" + device.name +
                            "\" cannot be a NetBIOS name (1 to 15 letters, digits, - _ and a few signs)");
    return setup;
  }
  const std::string smb = stateDir + "/smb";
  std::ostringstream c;
  c << "# Written by halden-sim for " << device.name << "; private to this device.\n"
    << "[global]\n"
    << "netbios name = " << device.name << "\n"
    << "workgroup = WORKGROUP\n"
    << "server string = " << device.name << "\n"
    << "server role = standalone server\n"
    << "interfaces = " << address << "/" << prefixLength << "\n"
    << "bind interfaces only = yes\n"
    << "smb ports = 445 139\n"
    << "disable netbios = no\n"
    // A played device must not take part in browser elections of a real segment.
    << "local master = no\ndomain master = no\npreferred master = no\n"
    << "dns proxy = no\nwins support = no\n"
    << "security = user\nmap to guest = Bad User\nguest account = " << kShareAccount << "\n"
    << "passdb backend = tdbsam:" << smb << "/private/passdb.tdb\n"
    << "private dir = " << smb << "/private\n"
    << "lock directory = " << smb << "/lock\n"
    << "state directory = " << smb << "/state\n"
    << "cache directory = " << smb << "/cache\n"
    << "pid directory = " << smb << "/pid\n"
    << "ncalrpc dir = " << smb << "/ncalrpc\n"
    << "binddns dir = " << smb << "/bind-dns\n"
    << "log file = " << smb << "/log.%m\nmax log size = 1000\nlog level = 1\n"
    << "load printers = no\nprintcap name = /dev/null\ndisable spoolss = yes\n"
    << "usershare max shares = 0\nunix charset = UTF-8\n";
  std::set<std::string> taken;
  for (size_t i = 0; i < device.shares.size(); ++i) {
    const std::string& name = device.shares[i];
    std::string problem = ShareNameProblem(name, taken);
    const fabric::ShareAccess* access = i < device.shareAccess.size() ? &device.shareAccess[i] : nullptr;
    std::string user;
    if (problem.empty() && access && access->credentialsRequired) {
      user = base::LowerAscii(access->user);
      if (!ValidAccountName(user)) {
        problem = "user \"" + access->user + "\" cannot be an account";
      } else if (access->password.empty() ||
                 access->password.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        problem = "the password cannot be set (empty, or a line break in it)";
      } else {
        auto same = std::find_if(setup.accounts.begin(), setup.accounts.end(),
                                 [&](const SmbAccount& a) { return a.user == user; });
        if (same == setup.accounts.end()) {
          setup.accounts.push_back({user, access->password});
        } else if (same->password != access->password) {
          problem = "user \"" + user + "\" already has another password on an earlier share";
        }
      }
    }
    if (!problem.empty()) {
      setup.skipped.push_back("share \"" + name + "\" not served: " + problem);
      continue;
    }
    taken.insert(base::LowerAscii(name));
    c << "[" << name << "]\n"
      << "path = " << kShareMount << "/s" << i << "\n"
      << "read only = no\nforce user = " << kShareAccount << "\nbrowseable = yes\n";
    if (!user.empty()) {
      c << "guest ok = no\nvalid users = " << user << "\n";
    } else {
      c << "guest ok = yes\n";
    }
    setup.shares.push_back(name);
  }
  setup.config = c.str();
  return setup;
}

DeviceServers::DeviceServers(const fabric::Device& device, Settings settings)
    : device_(device), settings_(std::move(settings)) {}

void DeviceServers::Log(const std::string& line) const {
  std::fprintf(stderr, "halden-sim: %s: %s\n", device_.name.c_str(), line.c_str());
}

bool DeviceServers::Tgtadm(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"tgtadm", "-C", std::to_string(controlPort_), "--lld", "iscsi"};
  argv.insert(argv.end(), args.begin(), args.end());
  SpawnOptions o;
  o.logPath = settings_.stateDir + "/tgtadm.log";
  return RunToEnd(argv, o);
}

// A CHAP account given to tgtd through its control socket, as tgtadm would send it (tgt 1.0.x:
// a 120-byte request head, then "user=U,password=S"): tgtadm takes the secret only as an argument,
// which every local user can read in the process list.
bool DeviceServers::AddTgtAccount(const std::string& user, const std::string& secret, std::string* error) {
  for (const std::string* text : {&user, &secret}) {
    for (unsigned char c : *text) {
      if (c < 0x20 || c == ',' || c == 0x7f) {
        *error = "a control character or ',' in the user or the secret";
        return false;
      }
    }
  }
  const std::string params = "user=" + user + ",password=" + secret;
  constexpr std::size_t kHead = 120;
  std::vector<uint8_t> request(kHead + params.size() + 1, 0);
  auto put32 = [&](std::size_t at, uint32_t v) { std::memcpy(&request[at], &v, 4); };
  auto put64 = [&](std::size_t at, uint64_t v) { std::memcpy(&request[at], &v, 8); };
  put32(0, 7);  // mode: account
  put32(4, 0);  // op: new
  std::memcpy(&request[8], "iscsi", 5);  // lld[64]
  put32(72, static_cast<uint32_t>(request.size()));
  put32(76, 0xffffffffu);  // tid: none
  put64(80, 0);            // sid
  put64(88, ~0ull);        // lun: none
  std::memcpy(&request[kHead], params.data(), params.size());

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s/socket.%d", kTgtdSocketDir, controlPort_);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    *error = std::string("tgtd's control socket: ") + std::strerror(errno);
    if (fd >= 0) close(fd);
    return false;
  }
  timeval timeout{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  bool sent = send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
  std::fill(request.begin(), request.end(), 0);
  uint32_t response[2] = {1, 0};  // err, len
  std::size_t got = 0;
  while (sent && got < sizeof response) {
    ssize_t n = recv(fd, reinterpret_cast<char*>(response) + got, sizeof response - got, 0);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  if (got < sizeof response) {
    *error = "no answer from tgtd";
    return false;
  }
  if (response[0] != 0) {
    *error = "tgtd error " + std::to_string(response[0]);
    return false;
  }
  return true;
}

bool DeviceServers::Start(const std::string& address, int prefixLength) {
  address_ = address;
  prefixLength_ = prefixLength;
  started_ = Clock::now();
  std::error_code ec;
  fs::create_directories(settings_.stateDir, ec);
  if (ec) {
    Log("cannot create " + settings_.stateDir + ": " + ec.message());
    return false;
  }
  // Accounts, logs and configuration: ours alone (the shares reach smbd through kShareMount).
  chmod(settings_.stateDir.c_str(), 0700);
  stopped_ = false;
  if (!IsLocalAddress(address_)) {
    Log("no iSCSI portal and no shares: " + address_ + " is not an address of this host");
    return true;
  }
  if (device_.iscsi) StartPortal();
  if (!device_.shares.empty()) StartShares(true);
  return true;
}

bool DeviceServers::StartPortal() {
  if (FindProgram("tgtd").empty() || FindProgram("tgtadm").empty()) {
    Log("NO iSCSI PORTAL: tgtd/tgtadm are not installed (package tgt; scripts/setup installs it)");
    return false;
  }
  std::error_code ec;
  fs::create_directories(kTgtdSocketDir, ec);
  // tgtd's control socket lives in the file system, which every namespace shares: the port must
  // be free machine-wide. A port whose lock tgtd holds is taken.
  unsigned seed = static_cast<unsigned>(getpid()) * 131u + static_cast<unsigned>(std::hash<std::string>()(device_.name));
  for (int attempt = 0; attempt < 16 && tgtd_ < 0; ++attempt) {
    int port = 10000 + static_cast<int>((seed + static_cast<unsigned>(attempt) * 7919u) % 50000u);
    std::string lock = std::string(kTgtdSocketDir) + "/socket." + std::to_string(port) + ".lock";
    int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) continue;
    bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    if (!free) continue;
    controlPort_ = port;
    SpawnOptions o;
    o.logPath = settings_.stateDir + "/tgtd.log";
    o.deathSignal = SIGKILL;
    pid_t pid = Spawn({"tgtd", "-f", "--iscsi", "portal=" + address_ + ":" + std::to_string(kIscsiPort),
                       "-C", std::to_string(port)},
                      o);
    if (pid < 0) break;
    auto until = Clock::now() + std::chrono::seconds(5);
    bool up = false;
    while (Clock::now() < until && Alive(pid)) {
      if (Tgtadm({"--mode", "system", "--op", "show"})) {
        up = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (up) {
      tgtd_ = pid;
    } else {
      StopDaemons({pid}, 500);
    }
  }
  if (tgtd_ < 0) {
    Log("NO iSCSI PORTAL: tgtd did not start: " + LastLines(settings_.stateDir + "/tgtd.log", 3));
    return false;
  }
  std::set<std::string> users;
  std::vector<std::string> served;
  for (size_t i = 0; i < device_.targets.size(); ++i) {
    const fabric::Target& t = device_.targets[i];
    const std::string tid = std::to_string(i + 1);
    const std::string name = fabric::TargetImageFileName(device_.address, t.name);
    const std::string file = settings_.diskFolder + "/" + name;
    // Made sparse at the target's size when missing; kept otherwise, so data stay on the device.
    std::string fileProblem;
    const bool sized = t.sizeBytes > 0 && PrepareDiskFile(settings_.diskFolder, name, t.sizeBytes, &fileProblem);
    const bool chap = t.AsksForChap();
    std::string problem;
    if (!sized) {
      problem = "no backing file: " + (fileProblem.empty() ? file : fileProblem);
    } else if (!Tgtadm({"--mode", "target", "--op", "new", "--tid", tid, "--targetname", t.name})) {
      problem = "tgtadm refused the name";
    } else if (!Tgtadm({"--mode", "logicalunit", "--op", "new", "--tid", tid, "--lun", "1",
                        "--backing-store", file, "--blocksize", std::to_string(t.sectorSize)})) {
      problem = "tgtadm refused the LUN";
    } else if (chap && users.insert(t.user).second && !AddTgtAccount(t.user, t.secret, &problem)) {
      problem = "the CHAP account \"" + t.user + "\" was refused: " + problem;
    } else if (chap && !Tgtadm({"--mode", "account", "--op", "bind", "--tid", tid, "--user", t.user})) {
      problem = "tgtadm refused to bind the CHAP account";
    } else if (!Tgtadm({"--mode", "target", "--op", "bind", "--tid", tid, "--initiator-address", "ALL"})) {
      problem = "tgtadm refused to open it";
    }
    if (!problem.empty()) {
      // A half-made target must not be offered without its CHAP account.
      Tgtadm({"--mode", "target", "--op", "delete", "--force", "--tid", tid});
      Log("target \"" + t.name + "\" not served: " + problem);
      continue;
    }
    served.push_back(t.name + (chap ? " (CHAP)" : ""));
  }
  portalSeconds_ = SecondsSince(started_);
  std::string list;
  for (const auto& s : served) list += (list.empty() ? "" : ", ") + s;
  Log("iSCSI portal " + address_ + ":3260 with " + (list.empty() ? "no target" : list));
  return true;
}

bool DeviceServers::StartShares(bool firstTime) {
  for (const char* program : {"smbd", "nmbd", "smbpasswd"}) {
    if (FindProgram(program).empty()) {
      Log(std::string("NO SHARES: ") + program + " is not installed (package samba; scripts/setup installs it)");
      return false;
    }
  }
  SmbSetup setup = BuildSmbSetup(device_, address_, prefixLength_, settings_.stateDir);
  if (firstTime) {
    for (const auto& s : setup.skipped) Log(s);
  }
  if (setup.config.empty()) return false;
  netbiosName_ = device_.name;
  const std::string& dir = settings_.stateDir;
  std::error_code ec;
  for (const char* sub : {"smb/private", "smb/lock", "smb/state", "smb/cache", "smb/pid",
                          "smb/ncalrpc", "smb/bind-dns", "shares"}) {
    fs::create_directories(dir + "/" + sub, ec);
  }
  // The share account (and root) alone may enter: the folders are the group's, the account's
  // group, and closed to everyone else.
  const std::string shares = dir + "/shares";
  bool foldersOk = chown(shares.c_str(), 0, kShareGid) == 0 && chmod(shares.c_str(), 0750) == 0;
  for (size_t i = 0; i < device_.shares.size(); ++i) {
    std::string share = shares + "/s" + std::to_string(i);
    fs::create_directories(share, ec);
    foldersOk = foldersOk && chown(share.c_str(), 0, kShareGid) == 0 && chmod(share.c_str(), 0770) == 0;
  }
  if (!foldersOk) {
    Log("NO SHARES: the share folders cannot be given to the share account: " + std::string(std::strerror(errno)));
    return false;
  }
  std::ofstream(dir + "/smb.conf") << setup.config;
  // smbd looks share users up as system accounts: they get a private account list in which
  // every one of them is the unprivileged account.
  {
    std::ofstream passwd(dir + "/passwd");
    passwd << "root:x:0:0:root:/root:/usr/sbin/nologin\n"
           << kShareAccount << ":x:65534:65534:nobody:/nonexistent:/usr/sbin/nologin\n";
    for (const auto& a : setup.accounts) {
      passwd << a.user << ":x:65534:65534:share user:/nonexistent:/usr/sbin/nologin\n";
    }
    std::ofstream(dir + "/group") << "root:x:0:\nnogroup:x:65534:\n";
  }
  SpawnOptions o;
  o.binds = {{dir + "/passwd", "/etc/passwd"}, {dir + "/group", "/etc/group"}};
  const std::string conf = dir + "/smb.conf";
  SpawnOptions daemon = o;
  daemon.binds.push_back({shares, kShareMount});
  if (firstTime) {
    for (const auto& a : setup.accounts) {
      SpawnOptions p = o;
      p.logPath = dir + "/smbpasswd.log";
      p.feedStdin = true;
      p.stdinText = a.password + "\n" + a.password + "\n";
      if (!RunToEnd({"smbpasswd", "-c", conf, "-s", "-a", a.user}, p)) {
        Log("cannot set the password of share user \"" + a.user + "\": " +
            LastLines(p.logPath, 2));
      }
    }
  }
  daemon.logPath = dir + "/smbd.log";
  smbd_ = Spawn({"smbd", "-F", "--no-process-group", "-s", conf}, daemon);
  o.logPath = dir + "/nmbd.log";
  nmbd_ = Spawn({"nmbd", "-F", "--no-process-group", "-s", conf}, o);
  std::string list;
  for (const auto& s : setup.shares) list += (list.empty() ? "" : ", ") + s;
  if (firstTime) Log("shares \\\\" + netbiosName_ + " at " + address_ + ": " + (list.empty() ? "none" : list));
  return smbd_ > 0 && nmbd_ > 0;
}

bool DeviceServers::PollReady() {
  bool ready = true;
  if (smbd_ > 0 && sharesSeconds_ < 0) {
    if (AcceptsTcp(address_, 445)) {
      sharesSeconds_ = SecondsSince(started_);
    } else {
      ready = false;
      if (!Alive(smbd_)) {
        Log("NO SHARES: smbd ended: " + LastLines(settings_.stateDir + "/smbd.log", 3));
        smbd_ = -1;
      }
    }
  }
  if (nmbd_ > 0 && nameSeconds_ < 0) {
    if (AnswersNameQuery(address_, prefixLength_, netbiosName_, 100)) {
      nameSeconds_ = SecondsSince(started_);
    } else {
      ready = false;
      if (!Alive(nmbd_)) {
        Log("NO NAME SERVICE: nmbd ended: " + LastLines(settings_.stateDir + "/nmbd.log", 3));
        nmbd_ = -1;
      }
    }
  }
  if (ready && memoryKiB_ == 0) {
    tgtdKiB_ = tgtd_ > 0 ? ResidentKiB(tgtd_) : 0;
    memoryKiB_ = tgtdKiB_;
    std::vector<pid_t> samba = AdoptedLeaders(PrivateNamespaces({smbd_, nmbd_}));
    samba.push_back(smbd_);
    samba.push_back(nmbd_);
    for (const auto& p : Processes()) {
      if (std::find(samba.begin(), samba.end(), p.group) != samba.end()) memoryKiB_ += ResidentKiB(p.pid);
    }
  }
  return ready;
}

std::string DeviceServers::Report() const {
  auto secs = [](double s) {
    if (s < 0) return std::string("-");
    char b[32];
    std::snprintf(b, sizeof b, "%.2f s", s);
    return std::string(b);
  };
  double total = std::max({portalSeconds_, sharesSeconds_, nameSeconds_});
  char mem[96];
  std::snprintf(mem, sizeof mem, "memory %.1f MiB (tgtd %.1f, Samba %.1f)", memoryKiB_ / 1024.0,
                tgtdKiB_ / 1024.0, (memoryKiB_ - tgtdKiB_) / 1024.0);
  return "servers up in " + secs(total) + " (portal " + secs(portalSeconds_) + ", smbd " +
         secs(sharesSeconds_) + ", NetBIOS name " + secs(nameSeconds_) + "); " + mem;
}

void DeviceServers::MoveTo(const std::string& address, int prefixLength) {
  if (stopped_ || (address == address_ && prefixLength == prefixLength_)) return;
  const std::string old = address_;
  address_ = address;
  prefixLength_ = prefixLength;
  if (tgtd_ > 0) {
    bool added = Tgtadm({"--mode", "portal", "--op", "new", "--param", "portal=" + address + ":3260"});
    bool removed = address == old ||
                   Tgtadm({"--mode", "portal", "--op", "delete", "--param", "portal=" + old + ":3260"});
    if (!added || !removed) Log("the iSCSI portal did not fully move to " + address);
  }
  if (smbd_ > 0 || nmbd_ > 0) {
    // smbd and nmbd bind their interfaces at start: they start again on the new address.
    StopShares();
    StartShares(false);
  }
  Log("servers moved from " + old + " to " + address);
}

void DeviceServers::StopShares() {
  // smbd, nmbd and what they forked (also the RPC helpers that detach): never by name.
  StopDaemons({smbd_, nmbd_}, 2000);
  smbd_ = nmbd_ = -1;
}

void DeviceServers::Stop() {
  if (stopped_) return;
  stopped_ = true;
  if (tgtd_ > 0) {
    StopDaemons({tgtd_}, 1000);
    tgtd_ = -1;
    std::string socket = std::string(kTgtdSocketDir) + "/socket." + std::to_string(controlPort_);
    unlink(socket.c_str());
    unlink((socket + ".lock").c_str());
  }
  StopShares();
  std::error_code ec;
  fs::remove_all(settings_.stateDir, ec);
}

void StopOwnChildren() {
  std::vector<pid_t> children;
  for (const auto& p : Processes()) {
    if (p.parent == getpid()) children.push_back(p.pid);
  }
  // Each is ours and not yet reaped: its pid, and a group it leads, are still its own.
  std::vector<pid_t> leaders;
  for (pid_t c : children) {
    ProcessInfo info;
    if (ReadProcess(c, &info) && info.group == c) {
      leaders.push_back(c);
    } else {
      kill(c, SIGKILL);
    }
  }
  StopGroups(leaders, 1000);
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
}

}  // namespace sw::sim
