// Win32 backend of the format port: "fmifs.dll" loaded at run time from the system folder by its
// full path, entry points by name, the real FormatEx; no logic here. The library handle is never
// freed.

#include <windows.h>

#include <atomic>
#include <string>

#include "base/system_library.h"
#include "disk/format_engine.h"

namespace sw::disk::fmt {

namespace {

using FormatExCallbackWin32 = BOOLEAN(WINAPI*)(int command, DWORD subAction, PVOID actionInfo);
using FormatExFunction = VOID(WINAPI*)(PWCHAR driveRoot, int mediaType, PWCHAR fileSystem, PWCHAR label,
                                       BOOL quick, ULONG clusterSize, FormatExCallbackWin32 callback);

// Set by the worker that loads the library, read by the next worker too.
std::atomic<HMODULE> g_library{nullptr};

// FormatEx calls back on the thread that called it, so the callback of the running call is kept
// per thread and one WINAPI thunk serves every caller.
thread_local FormatCallback t_callback = nullptr;

BOOLEAN WINAPI CallbackThunk(int command, DWORD subAction, PVOID actionInfo) {
  return t_callback != nullptr && t_callback(command, subAction, actionInfo) ? TRUE : FALSE;
}

std::wstring Wide(const char16_t* text) {
  std::wstring out;
  for (; text != nullptr && *text != 0; ++text) out += static_cast<wchar_t>(*text);
  return out;
}

}  // namespace

bool LoadFormatLibrary() {
  HMODULE module = static_cast<HMODULE>(base::LoadSystemLibrary(kFormatLibraryName));
  if (module != nullptr) g_library.store(module);
  return module != nullptr;
}

EntryPoint FindFormatEntryPoint(const char* name) {
  // The handle of the library loaded above, not a look-up by name, which could find a module of
  // that name loaded from elsewhere (and a full path can be redirected on 64-bit Windows).
  HMODULE module = g_library.load();
  if (module == nullptr) return nullptr;
  return reinterpret_cast<EntryPoint>(GetProcAddress(module, name));
}

void CallFormatEx(EntryPoint formatEx, const char16_t* driveRoot, std::int32_t mediaType, const char16_t* fileSystem,
                  const char16_t* label, bool quick, std::uint32_t clusterSize, FormatCallback callback) {
  // FormatEx takes writable buffers.
  std::wstring root = Wide(driveRoot), system = Wide(fileSystem), name = Wide(label);
  t_callback = callback;
  reinterpret_cast<FormatExFunction>(formatEx)(&root[0], mediaType, &system[0], &name[0], quick ? TRUE : FALSE,
                                               clusterSize, CallbackThunk);
  t_callback = nullptr;
}

}  // namespace sw::disk::fmt
