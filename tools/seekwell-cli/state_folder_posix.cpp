// POSIX backend of state_folder.h: a per-user folder checked by owner and mode, and flock(2) on a
// lock file inside it.

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "state_folder.h"

namespace sw::cli {

namespace {

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

// Creates the missing folders of `path` (mode 0700), outermost first.
bool MakeFolders(const std::string& path, std::string* error) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != '/') continue;
    const std::string prefix = path.substr(0, at);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = Errno("cannot create " + prefix);
      return false;
    }
  }
  return true;
}

class FlockedFile : public StateLock {
 public:
  explicit FlockedFile(int fd) : fd_(fd) {}
  ~FlockedFile() override { close(fd_); }  // closing releases the lock

 private:
  int fd_;
};

}  // namespace

std::string DefaultStateFolder(std::string* error) {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/seekwell-cli";
  std::string home;
  if (const char* h = std::getenv("HOME"); h != nullptr && h[0] == '/') {
    home = h;
  } else if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_dir != nullptr) {
    home = pw->pw_dir;
  }
  if (home.empty() || home == "/") {
    *error = "no home folder for the state: give --state DIR";
    return "";
  }
  return home + "/.local/state/seekwell-cli";
}

bool PrepareStateFolder(const std::string& folder, bool isDefault, std::string* error) {
  if (folder.empty()) {
    *error = "no state folder";
    return false;
  }
  struct stat st {};
  if (lstat(folder.c_str(), &st) != 0) {
    if (errno != ENOENT) {
      *error = Errno("cannot examine " + folder);
      return false;
    }
    if (!MakeFolders(folder[0] == '/' ? folder : "./" + folder, error)) return false;
    if (lstat(folder.c_str(), &st) != 0) {
      *error = Errno("cannot examine " + folder);
      return false;
    }
  }
  // A link someone else planted where the folder is looked for would hand them the state.
  if (S_ISLNK(st.st_mode) && st.st_uid != geteuid()) {
    *error = "refusing the state folder " + folder + ": it is a link of user " + std::to_string(st.st_uid);
    return false;
  }
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = "refusing the state folder " + folder + ": not a folder";
    return false;
  }
  if (st.st_uid != geteuid()) {
    *error = "refusing the state folder " + folder + ": it belongs to user " + std::to_string(st.st_uid) +
             ", not to you (" + std::to_string(geteuid()) + ")";
    return false;
  }
  if (isDefault && (st.st_mode & 077) != 0) {
    // Ours, so it is closed again rather than refused.
    if (chmod(folder.c_str(), 0700) != 0) {
      *error = Errno("cannot close " + folder);
      return false;
    }
  } else if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(st.st_mode & 0777));
    *error = "refusing the state folder " + folder + ": other users may write in it (mode " + mode + ")";
    return false;
  }
  return true;
}

std::unique_ptr<StateLock> LockStateFolder(const std::string& folder, std::string* error) {
  const std::string path = folder + "/lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = Errno("cannot open " + path);
    return nullptr;
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStateLockWaitMs);
  bool said = false;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      *error = Errno("cannot lock " + path);
      close(fd);
      return nullptr;
    }
    if (std::chrono::steady_clock::now() >= until) {
      *error = "the state in " + folder + " is in use by another seekwell-cli (waited " +
               std::to_string(kStateLockWaitMs / 1000) + " s); try again when it has ended";
      close(fd);
      return nullptr;
    }
    if (!said) {
      std::fprintf(stderr, "seekwell-cli: waiting for another seekwell-cli using %s\n", folder.c_str());
      said = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return std::make_unique<FlockedFile>(fd);
}

}  // namespace sw::cli
