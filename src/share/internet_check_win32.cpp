// Win32 backend of the reachability check: InternetCheckConnectionA (wininet) with the
// force-connection flag; no logic here.

#include <windows.h>
#include <wininet.h>

#include "share/internet_check.h"

namespace sw::share {

bool InternetCheckConnectionA(const char* url) {
  return ::InternetCheckConnectionA(url, FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
}

}  // namespace sw::share
