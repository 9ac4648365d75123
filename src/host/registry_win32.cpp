// Win32 backend of the registry port: RegOpenKeyExA, RegCreateKeyExA, RegQueryValueExA,
// RegSetValueExA, RegEnumKeyExA; no logic here beyond the bounded-buffer contract.

#include <cstring>
#include <vector>

#include <windows.h>

#include "host/registry.h"

namespace sw::host {

namespace {

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
  }
  return HKEY_LOCAL_MACHINE;
}

HKEY AsKey(void* handle) { return static_cast<HKEY>(handle); }

// Registry APIs take DWORD sizes; a larger buffer is simply offered as the largest DWORD.
DWORD ClampSize(std::size_t size) {
  return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(size);
}

}  // namespace

RegistryKey::~RegistryKey() { Close(); }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

void RegistryKey::Close() {
  if (handle_ != nullptr) RegCloseKey(AsKey(handle_));
  handle_ = nullptr;
}

bool RegistryKey::Open(RegistryRoot root, const std::string& subKey, RegistryAccess access) {
  Close();
  REGSAM sam = access == RegistryAccess::Read ? KEY_READ : (KEY_READ | KEY_WRITE);
  HKEY key = nullptr;
  if (RegOpenKeyExA(RootKey(root), subKey.c_str(), 0, sam, &key) != ERROR_SUCCESS) return false;
  handle_ = key;
  return true;
}

bool RegistryKey::Create(RegistryRoot root, const std::string& subKey) {
  Close();
  HKEY key = nullptr;
  if (RegCreateKeyExA(RootKey(root), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  handle_ = key;
  return true;
}

bool RegistryKey::ReadString(const char* valueName, char* buffer, std::size_t size,
                             std::uint32_t* valueType) const {
  if (handle_ == nullptr || buffer == nullptr || size == 0) return false;
  // Read into a copy so that the caller's buffer is untouched on failure.
  std::vector<char> data(size);
  DWORD type = 0;
  DWORD length = ClampSize(size);
  if (RegQueryValueExA(AsKey(handle_), valueName, nullptr, &type,
                       reinterpret_cast<BYTE*>(data.data()), &length) != ERROR_SUCCESS) {
    return false;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  // Stored strings need not end in NUL; there must be room to add one.
  std::size_t textLength = strnlen(data.data(), length);
  if (textLength + 1 > size) return false;
  std::memcpy(buffer, data.data(), textLength);
  buffer[textLength] = '\0';
  if (valueType != nullptr) *valueType = type;
  return true;
}

bool RegistryKey::ReadDword(const char* valueName, std::uint32_t& value) const {
  if (handle_ == nullptr) return false;
  DWORD type = 0;
  DWORD data = 0;
  DWORD length = sizeof data;
  if (RegQueryValueExA(AsKey(handle_), valueName, nullptr, &type, reinterpret_cast<BYTE*>(&data),
                       &length) != ERROR_SUCCESS) {
    return false;
  }
  if (type != REG_DWORD || length != sizeof data) return false;
  value = data;
  return true;
}

bool RegistryKey::ReadValue(const char* valueName, void* data, std::size_t size, std::size_t& length,
                            std::uint32_t* type) const {
  if (handle_ == nullptr) return false;
  std::vector<BYTE> copy(size == 0 ? 1 : size);
  DWORD valueType = 0;
  DWORD got = ClampSize(size);
  if (RegQueryValueExA(AsKey(handle_), valueName, nullptr, &valueType, copy.data(), &got) != ERROR_SUCCESS) {
    return false;
  }
  if (got != 0) std::memcpy(data, copy.data(), got);
  length = got;
  if (type != nullptr) *type = valueType;
  return true;
}

bool RegistryKey::WriteDword(const char* valueName, std::uint32_t value) {
  if (handle_ == nullptr) return false;
  DWORD data = value;
  return RegSetValueExA(AsKey(handle_), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data) == ERROR_SUCCESS;
}

bool RegistryKey::WriteString(const char* valueName, const std::string& value) {
  if (handle_ == nullptr) return false;
  return RegSetValueExA(AsKey(handle_), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        ClampSize(value.size() + 1)) == ERROR_SUCCESS;
}

bool RegistryKey::EnumSubKey(std::uint32_t index, char* name, std::size_t size) const {
  if (handle_ == nullptr || name == nullptr || size == 0) return false;
  std::vector<char> copy(size);
  DWORD length = ClampSize(size);
  if (RegEnumKeyExA(AsKey(handle_), index, copy.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  std::memcpy(name, copy.data(), length + 1);
  return true;
}

}  // namespace sw::host
