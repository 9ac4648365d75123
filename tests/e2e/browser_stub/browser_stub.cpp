// A stand-in web browser for the E2E tests: writes the command line it was started with to
// browser_stub.log beside itself, so the runner can check what the program ran. Opens nothing.

#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH + 32] = "";
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 2;
  char* slash = std::strrchr(path, '\\');
  if (!slash) return 2;
  std::strcpy(slash + 1, "browser_stub.log");
  std::FILE* log = std::fopen(path, "wb");
  if (!log) return 3;
  std::fputs(GetCommandLineA(), log);
  std::fclose(log);
  return 0;
}
