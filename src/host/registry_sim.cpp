// Simulated backend of the registry port: translates each call to the simulated machine's registry
// (winsim/registry.h), with the Win32 backend's contract (out-parameters untouched on failure,
// texts never cut short). No logic here.

#include <cstring>

#include "host/registry.h"
#include "winsim/machine.h"

namespace sw::host {

namespace {

// What a RegistryKey holds: the key's path, resolved on every call, and the registry's generation
// when it was opened, so that a key opened before a reset names nothing afterwards.
struct SimKey {
  winsim::Hive hive;
  std::string path;
  bool writable;
  std::uint64_t generation;
};

winsim::Hive HiveOf(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::LocalMachine: return winsim::Hive::LocalMachine;
    case RegistryRoot::CurrentUser: return winsim::Hive::CurrentUser;
    case RegistryRoot::ClassesRoot: return winsim::Hive::ClassesRoot;
  }
  return winsim::Hive::LocalMachine;
}

const SimKey* Live(const void* handle) {
  const auto* key = static_cast<const SimKey*>(handle);
  if (key == nullptr || key->generation != winsim::TheMachine().registry.Generation()) return nullptr;
  return key;
}

std::optional<winsim::RegValue> ValueOf(const void* handle, const char* name) {
  const SimKey* key = Live(handle);
  if (key == nullptr) return std::nullopt;
  return winsim::TheMachine().registry.Value(key->hive, key->path, name == nullptr ? "" : name);
}

bool Write(void* handle, const char* name, winsim::RegValue value) {
  const SimKey* key = Live(handle);
  if (key == nullptr || !key->writable) return false;
  return winsim::TheMachine().registry.WriteValue(key->hive, key->path, name == nullptr ? "" : name, std::move(value));
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
  delete static_cast<SimKey*>(handle_);
  handle_ = nullptr;
}

bool RegistryKey::Open(RegistryRoot root, const std::string& subKey, RegistryAccess access) {
  Close();
  winsim::Registry& registry = winsim::TheMachine().registry;
  const bool writable = access == RegistryAccess::ReadWrite;
  if (registry.Open(HiveOf(root), subKey, writable) != winsim::kErrorSuccess) return false;
  handle_ = new SimKey{HiveOf(root), subKey, writable, registry.Generation()};
  return true;
}

bool RegistryKey::Create(RegistryRoot root, const std::string& subKey) {
  Close();
  winsim::Registry& registry = winsim::TheMachine().registry;
  if (registry.Create(HiveOf(root), subKey) != winsim::kErrorSuccess) return false;
  handle_ = new SimKey{HiveOf(root), subKey, true, registry.Generation()};
  return true;
}

bool RegistryKey::ReadString(const char* valueName, char* buffer, std::size_t size, std::uint32_t* type) const {
  const auto value = ValueOf(handle_, valueName);
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) return false;
  // As the Win32 backend: the stored data must fit, and so must the text's terminator.
  if (buffer == nullptr || value->data.size() > size) return false;
  std::size_t length = 0;
  while (length < value->data.size() && value->data[length] != 0) ++length;
  if (length + 1 > size) return false;
  std::memcpy(buffer, value->data.data(), length);
  buffer[length] = '\0';
  if (type != nullptr) *type = value->type;
  return true;
}

bool RegistryKey::ReadDword(const char* valueName, std::uint32_t& result) const {
  const auto value = ValueOf(handle_, valueName);
  if (!value || value->type != kRegDword || value->data.size() != 4) return false;
  std::memcpy(&result, value->data.data(), 4);
  return true;
}

bool RegistryKey::ReadValue(const char* valueName, void* data, std::size_t size, std::size_t& length,
                            std::uint32_t* type) const {
  const auto value = ValueOf(handle_, valueName);
  if (!value || value->data.size() > size) return false;
  if (!value->data.empty()) std::memcpy(data, value->data.data(), value->data.size());
  length = value->data.size();
  if (type != nullptr) *type = value->type;
  return true;
}

bool RegistryKey::WriteDword(const char* valueName, std::uint32_t dword) {
  winsim::RegValue value{kRegDword, std::vector<std::uint8_t>(4)};
  std::memcpy(value.data.data(), &dword, 4);
  return Write(handle_, valueName, std::move(value));
}

bool RegistryKey::WriteString(const char* valueName, const std::string& text) {
  winsim::RegValue value{kRegSz, std::vector<std::uint8_t>(text.begin(), text.end())};
  value.data.push_back(0);
  return Write(handle_, valueName, std::move(value));
}

bool RegistryKey::EnumSubKey(std::uint32_t index, char* name, std::size_t size) const {
  const SimKey* key = Live(handle_);
  if (key == nullptr) return false;
  const auto child = winsim::TheMachine().registry.SubKey(key->hive, key->path, index);
  if (!child || name == nullptr || child->size() + 1 > size) return false;
  std::memcpy(name, child->c_str(), child->size() + 1);
  return true;
}

}  // namespace sw::host
