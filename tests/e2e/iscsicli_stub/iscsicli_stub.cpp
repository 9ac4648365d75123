// A stand-in for the initiator's command-line tool in the Wine tests, placed in the prefix's system
// folder: writes "program: " and its own path, then its arguments, one per line, to
// iscsicli_stub.log beside itself, then prints a numbered pattern whose length is the number after
// "--print" among its arguments (default 0) to standard output, and a last line to standard error.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  char self[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 2;
  char path[MAX_PATH + 32] = "";
  std::strcpy(path, self);
  char* slash = std::strrchr(path, '\\');
  if (!slash) return 2;
  std::strcpy(slash + 1, "iscsicli_stub.log");
  std::FILE* log = std::fopen(path, "wb");
  if (!log) return 3;
  std::fprintf(log, "program: %s\n", self);
  long bytes = 0;
  for (int i = 1; i < argc; ++i) {
    std::fprintf(log, "%s\n", argv[i]);
    if (std::strcmp(argv[i], "--print") == 0 && i + 1 < argc) bytes = std::strtol(argv[i + 1], nullptr, 10);
  }
  std::fclose(log);
  for (long i = 0; i < bytes; ++i) std::putchar('A' + static_cast<int>(i % 26));
  std::fflush(stdout);
  std::fputs("The end\n", stderr);
  return 0;
}
