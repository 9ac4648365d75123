// POSIX backend of the reachability check: a TCP connect to the URL's host within
// kInternetCheckTimeoutMs; no HTTP is spoken.

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "share/internet_check.h"

namespace sw::share {

namespace {

// Host and port of "http://host[:port][/path]"; false for anything else.
bool SplitUrl(const std::string& url, std::string& host, std::string& port) {
  const std::string scheme = "http://";
  if (url.compare(0, scheme.size(), scheme) != 0) return false;
  std::string rest = url.substr(scheme.size());
  rest = rest.substr(0, rest.find('/'));
  std::size_t colon = rest.find(':');
  host = rest.substr(0, colon);
  port = colon == std::string::npos ? "80" : rest.substr(colon + 1);
  return !host.empty() && !port.empty();
}

bool ConnectWithin(const addrinfo& address, int timeoutMs) {
  int fd = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol);
  if (fd < 0) return false;
  bool connected = false;
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0) {
    int rc = connect(fd, address.ai_addr, address.ai_addrlen);
    if (rc == 0) {
      connected = true;
    } else if (errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int ready;
      do {
        ready = poll(&p, 1, timeoutMs);
      } while (ready < 0 && errno == EINTR);
      int error = 0;
      socklen_t length = sizeof error;
      connected = ready == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
  }
  close(fd);
  return connected;
}

}  // namespace

bool InternetCheckConnectionA(const char* url) {
  std::string host;
  std::string port;
  if (!url || !SplitUrl(url, host, port)) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0 || !list) return false;
  bool reachable = ConnectWithin(*list, kInternetCheckTimeoutMs);
  freeaddrinfo(list);
  return reachable;
}

}  // namespace sw::share
