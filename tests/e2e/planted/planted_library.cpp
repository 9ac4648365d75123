// A hostile library for the E2E tests, copied as fmifs.dll, wsock32.dll, mpr.dll and wininet.dll
// into the folders that a search would look in before the system folder. Loading it is enough: one
// line in planted.log beside itself, naming the process that loaded it. It exports the format
// entry points, so a program that took it would go on to call them.

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

void Say(HINSTANCE self, const char* what) {
  char path[MAX_PATH + 32] = "";
  char program[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  char log[MAX_PATH + 32];
  std::strcpy(log, path);
  char* slash = std::strrchr(log, '\\');
  if (!slash) return;
  std::strcpy(slash + 1, "planted.log");
  if (std::FILE* f = std::fopen(log, "ab")) {
    std::fprintf(f, "planted library %s %s %s\n", path, what, program);
    std::fclose(f);
  }
}

HINSTANCE g_self = nullptr;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = self;
    Say(self, "loaded into");
  }
  return TRUE;
}

extern "C" __declspec(dllexport) VOID WINAPI FormatEx(PWCHAR, int, PWCHAR, PWCHAR, BOOL, ULONG, PVOID) {
  Say(g_self, "FormatEx called by");
}

extern "C" __declspec(dllexport) BOOLEAN WINAPI EnableVolumeCompression(PWCHAR, USHORT) { return FALSE; }
