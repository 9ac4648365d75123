// Win32 backend of the reachability check: InternetCheckConnectionA (wininet.dll, loaded from the
// system folder by its full path: a static import would be found in the program's folder first)
// with the force-connection flag; no logic here.

#include <windows.h>
#include <wininet.h>

#include "base/system_library.h"
#include "share/internet_check.h"

namespace sw::share {

bool InternetCheckConnectionA(const char* url) {
  using Function = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD);
  static const Function check =
      reinterpret_cast<Function>(base::SystemLibraryFunction("wininet.dll", "InternetCheckConnectionA"));
  return check != nullptr && check(url, FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
}

}  // namespace sw::share
