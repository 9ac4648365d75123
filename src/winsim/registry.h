#pragma once
// The simulated machine's registry: three hives of keys and values, names compared ignoring case
// as Windows compares them. Keys are addressed by path on every call, so a key handle that outlives
// a reset (Generation changes) names nothing any more, like a deleted key.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sw::winsim {

class Machine;

enum class Hive { LocalMachine, CurrentUser, ClassesRoot };

// What a key lets a non-administrator do: everything, read only, or nothing at all.
enum class KeyAccess { Normal, ReadOnly, Denied };

struct RegValue {
  std::uint32_t type = 0;  // REG_SZ 1, REG_EXPAND_SZ 2, REG_BINARY 3, REG_DWORD 4
  std::vector<std::uint8_t> data;
};

class Registry {
 public:
  explicit Registry(Machine& machine);
  ~Registry();

  void Reset();
  std::uint64_t Generation() const;

  // RegOpenKeyEx: 0, kErrorFileNotFound or kErrorAccessDenied.
  std::uint32_t Open(Hive hive, const std::string& subKey, bool writable) const;
  // RegCreateKeyEx: the key and its missing parents; 0 or kErrorAccessDenied.
  std::uint32_t Create(Hive hive, const std::string& subKey);
  bool Exists(Hive hive, const std::string& subKey) const;

  std::optional<RegValue> Value(Hive hive, const std::string& subKey, const std::string& name) const;
  // Sets a value, creating the key and its parents (no access check: the machine's own set-up).
  void SetValue(Hive hive, const std::string& subKey, const std::string& name, RegValue value);
  void SetValue(Hive hive, const std::string& subKey, const std::string& name, std::uint32_t type,
                std::vector<std::uint8_t> data) {
    SetValue(hive, subKey, name, RegValue{type, std::move(data)});
  }
  // RegSetValueEx on a key opened for writing: false when the key is gone.
  bool WriteValue(Hive hive, const std::string& subKey, const std::string& name, RegValue value);
  // RegEnumKeyEx: the name of subkey `index` in Windows' (alphabetical) order.
  std::optional<std::string> SubKey(Hive hive, const std::string& subKey, std::uint32_t index) const;

  // Restricts one existing or future key (not its subkeys).
  void SetAccess(Hive hive, const std::string& subKey, KeyAccess access);

  // The whole tree as sorted lines, one per key and one per value:
  //   HKLM\Software\Policies
  //   HKLM\Software\Policies\System "EnableLinkedConnections" dword:1
  std::string Dump() const;

  struct Node;

 private:
  Node* Find(Hive hive, const std::vector<std::string>& path) const;
  Node* FindOrCreate(Hive hive, const std::vector<std::string>& path);
  KeyAccess AccessOf(Hive hive, const std::vector<std::string>& path) const;

  Machine& m_;
  std::unique_ptr<Node> m_roots[3];
  std::map<std::string, KeyAccess> m_access;  // by lower-case "HIVE\path"
  std::uint64_t m_generation = 1;
};

}  // namespace sw::winsim
