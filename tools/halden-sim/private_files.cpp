// Private folders and disk files of halden-sim; see private_files.h.

#include "private_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace sw::sim {

namespace {

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

bool Trusted(uid_t owner) { return owner == 0 || owner == geteuid(); }

// Every prefix of an absolute path: "/", "/a", "/a/b", ...
std::vector<std::string> Prefixes(const std::string& path) {
  std::vector<std::string> out = {"/"};
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at == path.size() || path[at] == '/') {
      if (path[at - 1] != '/') out.push_back(path.substr(0, at));
    }
  }
  return out;
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

}  // namespace

std::string MakePrivateFolder(const std::string& parent, const std::string& prefix, std::string* error) {
  std::string pattern = parent + "/" + prefix + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    *error = Errno("cannot make a folder from " + pattern);
    return "";
  }
  return name.data();
}

bool UsePrivateFolder(const std::string& path, std::string* resolved, std::string* error) {
  if (path.empty()) {
    *error = "no folder given";
    return false;
  }
  const std::string absolute = Absolute(path);
  // A link planted on the way by someone else could send us anywhere, also once we checked.
  for (const std::string& p : Prefixes(absolute)) {
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) break;  // the rest is made below, by us
    if (S_ISLNK(st.st_mode) && !Trusted(st.st_uid)) {
      *error = p + " is a link of user " + std::to_string(st.st_uid) + ", not ours";
      return false;
    }
  }
  if (mkdir(absolute.c_str(), 0700) != 0 && errno != EEXIST) {
    *error = Errno("cannot create " + absolute);
    return false;
  }
  char real[PATH_MAX];
  if (realpath(absolute.c_str(), real) == nullptr) {
    *error = Errno("cannot resolve " + absolute);
    return false;
  }
  const std::vector<std::string> chain = Prefixes(real);
  for (std::size_t i = 0; i < chain.size(); ++i) {
    struct stat st {};
    if (lstat(chain[i].c_str(), &st) != 0) {
      *error = Errno("cannot examine " + chain[i]);
      return false;
    }
    const bool last = i + 1 == chain.size();
    if (!S_ISDIR(st.st_mode)) {
      *error = chain[i] + " is not a folder";
      return false;
    }
    if (last) {
      if (st.st_uid != geteuid()) {
        *error = chain[i] + " belongs to user " + std::to_string(st.st_uid) + ", not to us (" +
                 std::to_string(geteuid()) + ")";
        return false;
      }
      if (st.st_mode & (S_IWGRP | S_IWOTH)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(st.st_mode & 0777));
        *error = chain[i] + " is writable by other users (mode " + mode + ")";
        return false;
      }
    } else if (!Trusted(st.st_uid) || ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(st.st_mode & S_ISVTX))) {
      // Whoever may rename entries here could replace the folder below with one of their own.
      *error = chain[i] + " (above the folder) can be changed by another user";
      return false;
    }
  }
  *resolved = real;
  return true;
}

bool PrepareDiskFile(const std::string& folder, const std::string& name, std::uint64_t size, std::string* error) {
  const std::string path = folder + "/" + name;
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
    *error = "\"" + name + "\" cannot be a file name";
    return false;
  }
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) {
    *error = Errno("cannot open " + folder);
    return false;
  }
  // Nothing but a regular file is even opened (a device or a FIFO could act on the open itself).
  struct stat before {};
  if (fstatat(dir, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(before.st_mode)) {
    close(dir);
    *error = path + (S_ISLNK(before.st_mode) ? " is a symbolic link" : " is not a regular file");
    return false;
  }
  int fd = openat(dir, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  const int openErrno = errno;
  close(dir);
  if (fd < 0) {
    errno = openErrno;
    *error = openErrno == ELOOP ? path + " is a symbolic link" : Errno("cannot open " + path);
    return false;
  }
  struct stat st {};
  bool ok = false;
  if (fstat(fd, &st) != 0) {
    *error = Errno("cannot examine " + path);
  } else if (!S_ISREG(st.st_mode)) {
    *error = path + " is not a regular file";
  } else if (st.st_uid != geteuid()) {
    *error = path + " belongs to user " + std::to_string(st.st_uid) + ", not to us";
  } else if (st.st_nlink != 1) {
    *error = path + " has " + std::to_string(st.st_nlink) + " names (a hard link)";
  } else if (static_cast<std::uint64_t>(st.st_size) != size && ftruncate(fd, static_cast<off_t>(size)) != 0) {
    *error = Errno("cannot size " + path);
  } else {
    ok = true;
  }
  close(fd);
  return ok;
}

}  // namespace sw::sim
