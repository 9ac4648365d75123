#include "protocol/device_table.h"

#include <cstring>
#include <new>

namespace sw::protocol {

bool CopyText(char* out, std::size_t size, const char* text) {
  if (size == 0) return false;
  std::size_t n = 0;
  while (n + 1 < size && text[n] != 0) {
    out[n] = text[n];
    ++n;
  }
  out[n] = 0;
  return text[n] == 0;
}

bool AddDevice(DeviceList& list, const char* name, const char* ipAddress, const char* netmask,
               const char* gateway, const std::uint8_t deviceId[kDeviceIdSize],
               const char* dhcpState, std::int32_t interfaceIndex, bool iscsiCapable) {
  DeviceRecord* record = new (std::nothrow) DeviceRecord;
  if (record == nullptr) return false;
  std::memset(record, 0, sizeof *record);
  CopyText(record->name, sizeof record->name, name);
  CopyText(record->ipAddress, sizeof record->ipAddress, ipAddress);
  CopyText(record->netmask, sizeof record->netmask, netmask);
  CopyText(record->gateway, sizeof record->gateway, gateway);
  CopyText(record->dhcpState, sizeof record->dhcpState, dhcpState);
  std::memcpy(record->deviceId, deviceId, kDeviceIdSize);
  record->interfaceIndex = interfaceIndex;
  record->iscsiCapable = iscsiCapable ? 1 : 0;
  if (list.tail != nullptr) {
    list.tail->next = record;
  } else {
    list.head = record;
  }
  list.tail = record;
  ++list.count;
  return true;
}

DeviceRecord* FindDeviceByIp(const DeviceList& list, const char* ipAddress) {
  for (DeviceRecord* r = list.head; r != nullptr; r = r->next) {
    if (std::strcmp(r->ipAddress, ipAddress) == 0) return r;
  }
  return nullptr;
}

bool HasDevice(const DeviceList& list, const char* ipAddress) {
  return FindDeviceByIp(list, ipAddress) != nullptr;
}

void ClearDeviceList(DeviceList& list) {
  DeviceRecord* r = list.head;
  while (r != nullptr) {
    DeviceRecord* next = r->next;
    delete r;
    r = next;
  }
  list = DeviceList{};
}

void FreeDeviceList(DeviceList& list) { ClearDeviceList(list); }

bool HasName(const NameList& list, const char* text) {
  for (const NameEntry* e = list.head; e != nullptr; e = e->next) {
    if (std::strcmp(e->text, text) == 0) return true;
  }
  return false;
}

bool AddName(NameList& list, const char* text) {
  if (std::strlen(text) > kNameTextSize - 1) return false;
  if (HasName(list, text)) return true;
  NameEntry* entry = new (std::nothrow) NameEntry;
  if (entry == nullptr) return false;
  std::memset(entry, 0, sizeof *entry);
  CopyText(entry->text, sizeof entry->text, text);
  if (list.tail != nullptr) {
    list.tail->next = entry;
  } else {
    list.head = entry;
  }
  list.tail = entry;
  ++list.count;
  return true;
}

void ClearNames(NameList& list) {
  NameEntry* e = list.head;
  while (e != nullptr) {
    NameEntry* next = e->next;
    delete e;
    e = next;
  }
  list = NameList{};
}

void FreeNames(NameList& list) { ClearNames(list); }

}  // namespace sw::protocol
