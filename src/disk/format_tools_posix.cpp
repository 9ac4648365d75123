// POSIX backend of the format tools: fork/exec, SEEK_DATA/SEEK_HOLE and hole punching on Linux;
// no logic here.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "disk/format_tools.h"

namespace sw::disk::tools {

namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size, off_t at) {
  while (size > 0) {
    ssize_t n = ::pwrite(fd, data, size, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
    at += n;
  }
  return true;
}

}  // namespace

std::string ToolFilePath(const std::string& path) { return path; }

bool ToolExists(const std::string& toolPath) { return ::access(toolPath.c_str(), X_OK) == 0; }

int RunTool(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CreateEmptyFile(const std::string& path, std::uint64_t size) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  return fd.get() >= 0 && ::ftruncate(fd.get(), static_cast<off_t>(size)) == 0;
}

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }

bool ZeroFileRange(const std::string& path, std::uint64_t offset, std::uint64_t length) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
  if (fd.get() < 0) return false;
  if (length == 0) return true;
  if (::fallocate(fd.get(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                  static_cast<off_t>(length)) == 0) {
    return true;
  }
  // A file system without holes: write the zeros.
  std::vector<char> zeros(kCopyChunk, 0);
  while (length > 0) {
    std::size_t n = length < zeros.size() ? static_cast<std::size_t>(length) : zeros.size();
    if (!WriteAll(fd.get(), zeros.data(), n, static_cast<off_t>(offset))) return false;
    offset += n;
    length -= n;
  }
  return true;
}

bool CopyFileData(const std::string& from, const std::string& to, std::uint64_t offset) {
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  Fd out(::open(to.c_str(), O_WRONLY | O_CLOEXEC));
  if (in.get() < 0 || out.get() < 0) return false;
  struct stat st{};
  if (::fstat(in.get(), &st) != 0) return false;
  const off_t end = st.st_size;
  std::vector<char> buffer(kCopyChunk);
  off_t pos = 0;
  while (pos < end) {
    off_t data = ::lseek(in.get(), pos, SEEK_DATA);
    if (data < 0) break;  // ENXIO: only a hole is left
    off_t hole = ::lseek(in.get(), data, SEEK_HOLE);
    if (hole < 0) hole = end;
    for (off_t at = data; at < hole;) {
      std::size_t want = static_cast<std::size_t>(hole - at < static_cast<off_t>(buffer.size()) ? hole - at : buffer.size());
      ssize_t n = ::pread(in.get(), buffer.data(), want, at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      if (!WriteAll(out.get(), buffer.data(), static_cast<std::size_t>(n), static_cast<off_t>(offset) + at)) return false;
      at += n;
    }
    pos = hole;
  }
  return true;
}

}  // namespace sw::disk::tools
