#pragma once
// Port to the reachability check of a web address. Backends: internet_check_win32.cpp
// (InternetCheckConnectionA with FLAG_ICC_FORCE_CONNECTION) and internet_check_posix.cpp (a TCP
// connect to the URL's host, port 80 or the URL's port, within kInternetCheckTimeoutMs).
// Dialogs never call this directly: they go through reachability.h, which tests can replace.

#include <cstdint>

namespace sw::share {

constexpr int kInternetCheckTimeoutMs = 3000;  // POSIX backend only; Windows has its own limit

// True when a connection to the host of `url` ("http://10.77.0.10") could be made.
bool InternetCheckConnectionA(const char* url);

}  // namespace sw::share
