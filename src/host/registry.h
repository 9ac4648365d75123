#pragma once
// Port to the registry: open or create a key under one of three roots, read and write values,
// enumerate subkeys. Backends: registry_win32.cpp (RegOpenKeyExA and friends) and registry_sim.cpp
// (an in-memory tree, controlled through registry_sim.h).
//
// State contract: every out-parameter is left untouched when a call fails. A failed Open or
// Create leaves the key closed (an open key is closed first). Key and value names compare
// ignoring case, as Windows does.

#include <cstddef>
#include <cstdint>
#include <string>

namespace sw::host {

enum class RegistryRoot { LocalMachine, CurrentUser, ClassesRoot };

enum class RegistryAccess {
  Read,       // query values, enumerate subkeys
  ReadWrite,  // also set values and create subkeys
};

// Value types, with the numbers Windows gives them.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

// One open key; closed by the destructor. Move-only.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey();
  RegistryKey(RegistryKey&& other) noexcept;
  RegistryKey& operator=(RegistryKey&& other) noexcept;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens an existing key ("Software\\Microsoft\\..."; an empty path opens the root itself).
  bool Open(RegistryRoot root, const std::string& subKey, RegistryAccess access);
  // Opens a key for reading and writing, creating it and any missing parents (non-volatile).
  bool Create(RegistryRoot root, const std::string& subKey);
  bool IsOpen() const { return handle_ != nullptr; }
  void Close();

  // Reads a REG_SZ or REG_EXPAND_SZ value ("" is the key's default value) into `buffer` of `size`
  // bytes, NUL-terminated, as stored (nothing is expanded); `type`, when given, says which of the
  // two it was. Fails when the value is missing, of another type, or does not fit with its
  // terminator: a text that does not fit is never cut short.
  bool ReadString(const char* valueName, char* buffer, std::size_t size,
                  std::uint32_t* type = nullptr) const;
  // Reads a REG_DWORD value.
  bool ReadDword(const char* valueName, std::uint32_t& value) const;
  // Reads a value of any type as raw bytes (RegQueryValueExA without a type check): on success
  // `length` holds the data size and `type` (if given) its type. Fails when the data exceed `size`.
  bool ReadValue(const char* valueName, void* data, std::size_t size, std::size_t& length,
                 std::uint32_t* type = nullptr) const;

  bool WriteDword(const char* valueName, std::uint32_t value);
  bool WriteString(const char* valueName, const std::string& value);

  // Name of the subkey at `index` (RegEnumKeyExA order) into `name` of `size` bytes. Fails at the
  // end of the list and when the name does not fit.
  bool EnumSubKey(std::uint32_t index, char* name, std::size_t size) const;

 private:
  void* handle_ = nullptr;  // HKEY on Windows; the simulation's own record otherwise
};

}  // namespace sw::host
