// Format tools for the simulated Windows of the Windows builds: under Wine, Linux programs run by
// their Unix path through Wine's spawn call, and Wine's own calls translate file names. On a Windows
// that is not Wine nothing translates and no tool runs, so the simulated format reports failure.

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "disk/format_tools.h"

namespace sw::disk::tools {

namespace {

using UnixNameFunction = char*(CDECL*)(LPCWSTR dosName);
using DosNameFunction = WCHAR*(CDECL*)(const char* unixName);
using SpawnFunction = LONG(CDECL*)(char* const* argv, int wait);

template <typename F>
F WineFunction(const char* module, const char* name) {
  HMODULE handle = GetModuleHandleA(module);
  FARPROC p = handle != nullptr ? GetProcAddress(handle, name) : nullptr;
  F f = nullptr;
  static_assert(sizeof f == sizeof p, "function pointers of one size");
  std::memcpy(&f, &p, sizeof f);
  return f;
}

std::wstring WideOf(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], n);
  out.resize(static_cast<std::size_t>(n - 1));
  return out;
}

class File {
 public:
  File(const std::string& path, DWORD access, DWORD disposition)
      : handle_(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~File() {
    if (IsOpen()) CloseHandle(handle_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  bool Seek(std::uint64_t at) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(at);
    return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) != 0;
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::string ToolFilePath(const std::string& path) {
  auto toUnix = WineFunction<UnixNameFunction>("kernel32.dll", "wine_get_unix_file_name");
  if (toUnix == nullptr) return std::string();
  char* unixName = toUnix(WideOf(path).c_str());
  if (unixName == nullptr) return std::string();
  std::string out = unixName;
  HeapFree(GetProcessHeap(), 0, unixName);
  return out;
}

bool ToolExists(const std::string& toolPath) {
  auto toDos = WineFunction<DosNameFunction>("kernel32.dll", "wine_get_dos_file_name");
  if (toDos == nullptr) return false;
  WCHAR* dosName = toDos(toolPath.c_str());
  if (dosName == nullptr) return false;
  DWORD attributes = GetFileAttributesW(dosName);
  HeapFree(GetProcessHeap(), 0, dosName);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// CreateProcessA does start a Linux program by its Unix path, but Wine detaches it (no process
// handle), so nothing could wait for it or read its exit status. Wine's own spawn call from ntdll
// waits and returns the status. The shell only silences the tool's output.
int RunTool(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  auto spawn = WineFunction<SpawnFunction>("ntdll.dll", "__wine_unix_spawnvp");
  if (spawn == nullptr) return -1;
  std::vector<std::string> line = {"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/null 2>&1"};
  line.insert(line.end(), argv.begin(), argv.end());
  std::vector<char*> args;
  for (auto& a : line) args.push_back(&a[0]);
  args.push_back(nullptr);
  const LONG status = spawn(args.data(), 1);
  // Exit statuses are 0..255; anything else is the status of a start that failed.
  return status >= 0 && status <= 255 ? static_cast<int>(status) : -1;
}

bool CreateEmptyFile(const std::string& path, std::uint64_t size) {
  File file(path, GENERIC_WRITE, CREATE_NEW);
  return file.IsOpen() && file.Seek(size) && SetEndOfFile(file.Get()) != 0;
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

// Wine gives no hole punching through the Windows calls; Linux's fallocate does it on the file.
bool ZeroFileRange(const std::string& path, std::uint64_t offset, std::uint64_t length) {
  if (length == 0) return true;
  std::string unixPath = ToolFilePath(path);
  if (unixPath.empty()) return false;
  for (const char* tool : {"/usr/bin/fallocate", "/bin/fallocate"}) {
    if (!ToolExists(tool)) continue;
    return RunTool({tool, "--punch-hole", "--offset", std::to_string(offset), "--length", std::to_string(length),
                    unixPath}) == 0;
  }
  return false;
}

// Wine's file calls cannot tell holes from data and read holes slowly, so Linux's dd copies:
// zero blocks are skipped (the target range was emptied before), which keeps the image sparse.
bool CopyFileData(const std::string& from, const std::string& to, std::uint64_t offset) {
  const std::string source = ToolFilePath(from), target = ToolFilePath(to);
  if (source.empty() || target.empty()) return false;
  for (const char* tool : {"/usr/bin/dd", "/bin/dd"}) {
    if (!ToolExists(tool)) continue;
    return RunTool({tool, "if=" + source, "of=" + target, "bs=1M", "seek=" + std::to_string(offset),
                    "oflag=seek_bytes", "conv=notrunc,sparse", "status=none"}) == 0;
  }
  return false;
}

}  // namespace sw::disk::tools
