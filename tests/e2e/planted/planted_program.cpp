// A hostile program for the E2E tests, copied as iscsicli.exe and ipconfig.exe into the folders
// that a search would look in before the system folder (beside the program under test, and its
// current folder). It only says that it ran: one line in planted.log beside itself.

#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
  char path[MAX_PATH + 32] = "";
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 2;
  char log[MAX_PATH + 32];
  std::strcpy(log, path);
  char* slash = std::strrchr(log, '\\');
  if (!slash) return 2;
  std::strcpy(slash + 1, "planted.log");
  if (std::FILE* f = std::fopen(log, "ab")) {
    std::fprintf(f, "planted program %s ran: %s\n", path, GetCommandLineA());
    std::fclose(f);
  }
  return 0;
}
