// The simulated registry (registry.h).

#include "winsim/registry.h"

#include <cstring>
#include <sstream>

#include "winsim/machine.h"
#include "base/ascii_case.h"

namespace sw::winsim {

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return base::LowerAscii(a) < base::LowerAscii(b); }
};

struct Registry::Node {
  std::map<std::string, std::unique_ptr<Node>, CaseLess> children;
  std::map<std::string, RegValue, CaseLess> values;
};

namespace {

const char* HiveName(Hive hive) {
  switch (hive) {
    case Hive::LocalMachine: return "HKLM";
    case Hive::CurrentUser: return "HKCU";
    case Hive::ClassesRoot: return "HKCR";
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

std::string AccessKey(Hive hive, const std::vector<std::string>& path) {
  std::string key = HiveName(hive);
  for (const auto& p : path) key += "\\" + p;
  return base::LowerAscii(key);
}

}  // namespace

Registry::Registry(Machine& machine) : m_(machine) { Reset(); }
Registry::~Registry() = default;

void Registry::Reset() {
  auto lock = m_.Lock();
  for (auto& root : m_roots) root = std::make_unique<Node>();
  m_access.clear();
  ++m_generation;
}

std::uint64_t Registry::Generation() const {
  auto lock = m_.Lock();
  return m_generation;
}

Registry::Node* Registry::Find(Hive hive, const std::vector<std::string>& path) const {
  Node* node = m_roots[static_cast<int>(hive)].get();
  for (const auto& part : path) {
    auto it = node->children.find(part);
    if (it == node->children.end()) return nullptr;
    node = it->second.get();
  }
  return node;
}

Registry::Node* Registry::FindOrCreate(Hive hive, const std::vector<std::string>& path) {
  Node* node = m_roots[static_cast<int>(hive)].get();
  for (const auto& part : path) {
    auto& child = node->children[part];
    if (!child) child = std::make_unique<Node>();
    node = child.get();
  }
  return node;
}

KeyAccess Registry::AccessOf(Hive hive, const std::vector<std::string>& path) const {
  auto it = m_access.find(AccessKey(hive, path));
  return it == m_access.end() ? KeyAccess::Normal : it->second;
}

std::uint32_t Registry::Open(Hive hive, const std::string& subKey, bool writable) const {
  auto lock = m_.Lock();
  const auto path = SplitPath(subKey);
  if (Find(hive, path) == nullptr) return kErrorFileNotFound;
  const KeyAccess access = AccessOf(hive, path);
  if (access == KeyAccess::Denied || (writable && access == KeyAccess::ReadOnly)) return kErrorAccessDenied;
  return kErrorSuccess;
}

std::uint32_t Registry::Create(Hive hive, const std::string& subKey) {
  auto lock = m_.Lock();
  const auto path = SplitPath(subKey);
  // The key itself, and the nearest existing ancestor of a key still to be made, must allow writing.
  std::vector<std::string> probe = path;
  while (true) {
    const bool exists = Find(hive, probe) != nullptr;
    if (AccessOf(hive, probe) != KeyAccess::Normal && (exists || probe.size() == path.size())) {
      return kErrorAccessDenied;
    }
    if (exists || probe.empty()) break;
    probe.pop_back();
  }
  FindOrCreate(hive, path);
  return kErrorSuccess;
}

bool Registry::Exists(Hive hive, const std::string& subKey) const {
  auto lock = m_.Lock();
  return Find(hive, SplitPath(subKey)) != nullptr;
}

std::optional<RegValue> Registry::Value(Hive hive, const std::string& subKey, const std::string& name) const {
  auto lock = m_.Lock();
  const Node* node = Find(hive, SplitPath(subKey));
  if (node == nullptr) return std::nullopt;
  auto it = node->values.find(name);
  if (it == node->values.end()) return std::nullopt;
  return it->second;
}

void Registry::SetValue(Hive hive, const std::string& subKey, const std::string& name, RegValue value) {
  auto lock = m_.Lock();
  FindOrCreate(hive, SplitPath(subKey))->values[name] = std::move(value);
}

bool Registry::WriteValue(Hive hive, const std::string& subKey, const std::string& name, RegValue value) {
  auto lock = m_.Lock();
  Node* node = Find(hive, SplitPath(subKey));
  if (node == nullptr) return false;
  node->values[name] = std::move(value);
  return true;
}

std::optional<std::string> Registry::SubKey(Hive hive, const std::string& subKey, std::uint32_t index) const {
  auto lock = m_.Lock();
  const Node* node = Find(hive, SplitPath(subKey));
  if (node == nullptr || index >= node->children.size()) return std::nullopt;
  auto it = node->children.begin();
  std::advance(it, index);
  return it->first;
}

void Registry::SetAccess(Hive hive, const std::string& subKey, KeyAccess access) {
  auto lock = m_.Lock();
  const std::string key = AccessKey(hive, SplitPath(subKey));
  if (access == KeyAccess::Normal) {
    m_access.erase(key);
  } else {
    m_access[key] = access;
  }
}

namespace {

void DumpNode(const Registry::Node& node, const std::string& name, bool isRoot, std::ostringstream& out);

}  // namespace

std::string Registry::Dump() const {
  auto lock = m_.Lock();
  std::ostringstream out;
  for (Hive hive : {Hive::LocalMachine, Hive::CurrentUser, Hive::ClassesRoot}) {
    DumpNode(*m_roots[static_cast<int>(hive)], HiveName(hive), true, out);
  }
  return out.str();
}

namespace {

void DumpNode(const Registry::Node& node, const std::string& name, bool isRoot, std::ostringstream& out) {
  if (!isRoot) out << name << "\n";
  for (const auto& [valueName, value] : node.values) {
    out << name << " \"" << valueName << "\" ";
    if (value.type == 4 && value.data.size() == 4) {
      std::uint32_t v = 0;
      std::memcpy(&v, value.data.data(), 4);
      out << "dword:" << v;
    } else if (value.type == 1 || value.type == 2) {
      std::string text(value.data.begin(), value.data.end());
      text = text.substr(0, text.find('\0'));
      out << (value.type == 1 ? "sz:\"" : "expand_sz:\"") << text << "\"";
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

}  // namespace sw::winsim
