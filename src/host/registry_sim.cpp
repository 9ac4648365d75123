// Simulated backend of the registry port: an in-memory tree per process, with the same contract
// as the Win32 backend (out-parameters untouched on failure, texts never cut short).

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

#include "host/registry.h"
#include "host/registry_sim.h"

namespace sw::host {

namespace {

std::string Lower(const std::string& text) {
  std::string out = text;
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return Lower(a) < Lower(b); }
};

struct Value {
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;
};

struct Node {
  std::map<std::string, std::unique_ptr<Node>, CaseLess> children;
  std::map<std::string, Value, CaseLess> values;
};

struct Tree {
  std::mutex mutex;
  Node roots[3];
  std::map<std::string, SimKeyAccess> access;  // by lower-case "root\path"
  std::uint64_t generation = 1;
};

Tree& TheTree() {
  static Tree tree;
  return tree;
}

// What a RegistryKey holds in the simulation: the key's path, re-resolved on every call so that a
// reset cannot leave it pointing at freed nodes.
struct SimHandle {
  RegistryRoot root;
  std::vector<std::string> path;
  bool writable;
  std::uint64_t generation;
};

const char* RootName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::LocalMachine: return "HKLM";
    case RegistryRoot::CurrentUser: return "HKCU";
    case RegistryRoot::ClassesRoot: return "HKCR";
  }
  return "?";
}

std::vector<std::string> SplitPath(const std::string& subKey) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : subKey) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string AccessKey(RegistryRoot root, const std::vector<std::string>& path) {
  std::string key = RootName(root);
  for (const auto& p : path) key += "\\" + p;
  return Lower(key);
}

SimKeyAccess AccessOf(Tree& tree, RegistryRoot root, const std::vector<std::string>& path) {
  auto it = tree.access.find(AccessKey(root, path));
  return it == tree.access.end() ? SimKeyAccess::Normal : it->second;
}

Node* Find(Tree& tree, RegistryRoot root, const std::vector<std::string>& path) {
  Node* node = &tree.roots[static_cast<int>(root)];
  for (const auto& part : path) {
    auto it = node->children.find(part);
    if (it == node->children.end()) return nullptr;
    node = it->second.get();
  }
  return node;
}

Node* FindOrCreate(Tree& tree, RegistryRoot root, const std::vector<std::string>& path) {
  Node* node = &tree.roots[static_cast<int>(root)];
  for (const auto& part : path) {
    auto& child = node->children[part];
    if (!child) child = std::make_unique<Node>();
    node = child.get();
  }
  return node;
}

// The node behind an open key, or null when the key was reset away. Caller holds the mutex.
Node* Resolve(Tree& tree, const void* handle) {
  auto* sim = static_cast<const SimHandle*>(handle);
  if (sim == nullptr || sim->generation != tree.generation) return nullptr;
  return Find(tree, sim->root, sim->path);
}

const Value* FindValue(Tree& tree, const void* handle, const char* valueName) {
  Node* node = Resolve(tree, handle);
  if (node == nullptr) return nullptr;
  auto it = node->values.find(valueName == nullptr ? "" : valueName);
  return it == node->values.end() ? nullptr : &it->second;
}

bool SetValue(Tree& tree, void* handle, const char* valueName, Value value) {
  auto* sim = static_cast<SimHandle*>(handle);
  if (sim == nullptr || !sim->writable) return false;
  Node* node = Resolve(tree, handle);
  if (node == nullptr) return false;
  node->values[valueName == nullptr ? "" : valueName] = std::move(value);
  return true;
}

void DumpNode(const Node& node, const std::string& name, bool isRoot, std::ostringstream& out) {
  if (!isRoot) out << name << "\n";
  for (const auto& [valueName, value] : node.values) {
    out << name << " \"" << valueName << "\" ";
    if (value.type == kRegDword && value.data.size() == 4) {
      std::uint32_t v = 0;
      std::memcpy(&v, value.data.data(), 4);
      out << "dword:" << v;
    } else if (value.type == kRegSz || value.type == kRegExpandSz) {
      std::string text(value.data.begin(), value.data.end());
      text = text.substr(0, text.find('\0'));
      out << (value.type == kRegSz ? "sz:\"" : "expand_sz:\"") << text << "\"";
    } else {
      out << "hex(" << value.type << "):";
      const char* digits = "0123456789abcdef";
      for (std::size_t i = 0; i < value.data.size(); ++i) {
        if (i != 0) out << ",";
        out << digits[value.data[i] >> 4] << digits[value.data[i] & 15];
      }
    }
    out << "\n";
  }
  for (const auto& [childName, child] : node.children) DumpNode(*child, name + "\\" + childName, false, out);
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
  delete static_cast<SimHandle*>(handle_);
  handle_ = nullptr;
}

bool RegistryKey::Open(RegistryRoot root, const std::string& subKey, RegistryAccess access) {
  Close();
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  auto path = SplitPath(subKey);
  if (Find(tree, root, path) == nullptr) return false;
  SimKeyAccess restriction = AccessOf(tree, root, path);
  if (restriction == SimKeyAccess::Denied) return false;
  bool writable = access == RegistryAccess::ReadWrite;
  if (writable && restriction == SimKeyAccess::ReadOnly) return false;
  handle_ = new SimHandle{root, std::move(path), writable, tree.generation};
  return true;
}

bool RegistryKey::Create(RegistryRoot root, const std::string& subKey) {
  Close();
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  auto path = SplitPath(subKey);
  // The key itself, and the nearest existing ancestor of a key still to be made, must allow writing.
  std::vector<std::string> probe = path;
  while (true) {
    bool exists = Find(tree, root, probe) != nullptr;
    if (AccessOf(tree, root, probe) != SimKeyAccess::Normal && (exists || probe.size() == path.size())) {
      return false;
    }
    if (exists || probe.empty()) break;
    probe.pop_back();
  }
  FindOrCreate(tree, root, path);
  handle_ = new SimHandle{root, std::move(path), true, tree.generation};
  return true;
}

bool RegistryKey::ReadString(const char* valueName, char* buffer, std::size_t size,
                             std::uint32_t* type) const {
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  const Value* value = FindValue(tree, handle_, valueName);
  if (value == nullptr || (value->type != kRegSz && value->type != kRegExpandSz)) return false;
  // Same rule as the Win32 backend: the stored data must fit, and so must the text's terminator.
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
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  const Value* value = FindValue(tree, handle_, valueName);
  if (value == nullptr || value->type != kRegDword || value->data.size() != 4) return false;
  std::memcpy(&result, value->data.data(), 4);
  return true;
}

bool RegistryKey::ReadValue(const char* valueName, void* data, std::size_t size, std::size_t& length,
                            std::uint32_t* type) const {
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  const Value* value = FindValue(tree, handle_, valueName);
  if (value == nullptr || value->data.size() > size) return false;
  if (!value->data.empty()) std::memcpy(data, value->data.data(), value->data.size());
  length = value->data.size();
  if (type != nullptr) *type = value->type;
  return true;
}

bool RegistryKey::WriteDword(const char* valueName, std::uint32_t dword) {
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  Value value{kRegDword, std::vector<std::uint8_t>(4)};
  std::memcpy(value.data.data(), &dword, 4);
  return SetValue(tree, handle_, valueName, std::move(value));
}

bool RegistryKey::WriteString(const char* valueName, const std::string& text) {
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  Value value{kRegSz, std::vector<std::uint8_t>(text.begin(), text.end())};
  value.data.push_back(0);
  return SetValue(tree, handle_, valueName, std::move(value));
}

bool RegistryKey::EnumSubKey(std::uint32_t index, char* name, std::size_t size) const {
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  Node* node = Resolve(tree, handle_);
  if (node == nullptr || index >= node->children.size()) return false;
  auto it = node->children.begin();
  std::advance(it, index);
  const std::string& childName = it->first;
  if (name == nullptr || childName.size() + 1 > size) return false;
  std::memcpy(name, childName.c_str(), childName.size() + 1);
  return true;
}

void SimRegistryReset() {
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  for (Node& root : tree.roots) {
    root.children.clear();
    root.values.clear();
  }
  tree.access.clear();
  ++tree.generation;
}

void SimRegistrySetValue(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                         std::uint32_t type, const std::vector<std::uint8_t>& data) {
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  FindOrCreate(tree, root, SplitPath(subKey))->values[valueName] = Value{type, data};
}

void SimRegistrySetAccess(RegistryRoot root, const std::string& subKey, SimKeyAccess access) {
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  std::string key = AccessKey(root, SplitPath(subKey));
  if (access == SimKeyAccess::Normal) {
    tree.access.erase(key);
  } else {
    tree.access[key] = access;
  }
}

bool SimRegistryKeyExists(RegistryRoot root, const std::string& subKey) {
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  return Find(tree, root, SplitPath(subKey)) != nullptr;
}

std::string SimRegistryDump() {
  Tree& tree = TheTree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  std::ostringstream out;
  for (RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser, RegistryRoot::ClassesRoot}) {
    DumpNode(tree.roots[static_cast<int>(root)], RootName(root), true, out);
  }
  return out.str();
}

}  // namespace sw::host
