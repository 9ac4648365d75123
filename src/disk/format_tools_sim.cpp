// Format tools for the simulated Windows of the Windows builds: under Wine, Linux programs run by
// their Unix path through CreateProcessA, and Wine's own calls translate file names. On a Windows
// that is not Wine nothing translates and no tool runs, so the simulated format reports failure.

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "disk/format_tools.h"

namespace sw::disk::tools {

namespace {

constexpr DWORD kCopyChunk = 1 << 20;

using UnixNameFunction = char*(CDECL*)(LPCWSTR dosName);
using DosNameFunction = WCHAR*(CDECL*)(const char* unixName);

template <typename F>
F WineFunction(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  FARPROC p = kernel != nullptr ? GetProcAddress(kernel, name) : nullptr;
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

// Windows' rules for one argument of a command line (what the child's argument split undoes).
std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
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

bool AllZero(const std::vector<char>& buffer, DWORD size) {
  for (DWORD i = 0; i < size; ++i) {
    if (buffer[i] != 0) return false;
  }
  return true;
}

}  // namespace

std::string ToolFilePath(const std::string& path) {
  auto toUnix = WineFunction<UnixNameFunction>("wine_get_unix_file_name");
  if (toUnix == nullptr) return std::string();
  char* unixName = toUnix(WideOf(path).c_str());
  if (unixName == nullptr) return std::string();
  std::string out = unixName;
  HeapFree(GetProcessHeap(), 0, unixName);
  return out;
}

bool ToolExists(const std::string& toolPath) {
  auto toDos = WineFunction<DosNameFunction>("wine_get_dos_file_name");
  if (toDos == nullptr) return false;
  WCHAR* dosName = toDos(toolPath.c_str());
  if (dosName == nullptr) return false;
  DWORD attributes = GetFileAttributesW(dosName);
  HeapFree(GetProcessHeap(), 0, dosName);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int RunTool(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  std::string line;
  for (const auto& a : argv) line += (line.empty() ? "" : " ") + Quote(a);
  std::vector<char> mutableLine(line.begin(), line.end());
  mutableLine.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  BOOL got = GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return got ? static_cast<int>(code) : -1;
}

bool CreateEmptyFile(const std::string& path, std::uint64_t size) {
  File file(path, GENERIC_WRITE, CREATE_ALWAYS);
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

// Holes cannot be told apart through the Windows calls, so zero chunks are skipped: the target
// range was emptied before, and skipping keeps the image sparse.
bool CopyFileData(const std::string& from, const std::string& to, std::uint64_t offset) {
  File in(from, GENERIC_READ, OPEN_EXISTING);
  File out(to, GENERIC_WRITE, OPEN_EXISTING);
  if (!in.IsOpen() || !out.IsOpen()) return false;
  std::vector<char> buffer(kCopyChunk);
  std::uint64_t at = 0;
  while (true) {
    DWORD read = 0;
    if (!ReadFile(in.Get(), buffer.data(), kCopyChunk, &read, nullptr)) return false;
    if (read == 0) return true;
    if (!AllZero(buffer, read)) {
      DWORD written = 0;
      if (!out.Seek(offset + at) || !WriteFile(out.Get(), buffer.data(), read, &written, nullptr) || written != read) {
        return false;
      }
    }
    at += read;
  }
}

}  // namespace sw::disk::tools
