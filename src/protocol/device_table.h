#pragma once
// The device table and the name lists read from the selected device: singly linked lists of
// fixed-size heap records, appended at the tail, freed one by one. Only the UI thread touches them.
//
// Texts are bounded copies into their fields. A device name longer than 255 characters is cut to
// 255; a share name or target entry longer than 255 characters is not added at all, because a cut
// one would name a different share or carry a wrong secret.

#include <cstddef>
#include <cstdint>

#include "protocol/datagram.h"

namespace sw::protocol {

struct DeviceRecord {
  char name[kNameTextSize];
  char ipAddress[kIpTextSize];  // the record's key
  char netmask[kIpTextSize];
  char gateway[kIpTextSize];
  char dhcpState[8];            // "1" when the device's DHCP client is on
  std::uint8_t deviceId[kDeviceIdSize];
  std::int32_t interfaceIndex;
  std::uint8_t iscsiCapable;
  DeviceRecord* next;
};

// Records in order of first announcement; no two share an ipAddress. Empty: count 0, both null.
struct DeviceList {
  std::int32_t count = 0;
  DeviceRecord* head = nullptr;
  DeviceRecord* tail = nullptr;
};

struct NameEntry {
  char text[kNameTextSize];
  NameEntry* next;
};

// Distinct texts (exact comparison) in order of arrival.
struct NameList {
  std::int32_t count = 0;
  NameEntry* head = nullptr;
  NameEntry* tail = nullptr;
};
using ShareNameList = NameList;
using TargetEntryList = NameList;

// Appends a zero-filled record with the given fields. Does not look for duplicates: callers test
// HasDevice first. Returns false (list unchanged) when the allocation fails.
bool AddDevice(DeviceList& list, const char* name, const char* ipAddress, const char* netmask,
               const char* gateway, const std::uint8_t deviceId[kDeviceIdSize],
               const char* dhcpState, std::int32_t interfaceIndex, bool iscsiCapable);
bool HasDevice(const DeviceList& list, const char* ipAddress);
DeviceRecord* FindDeviceByIp(const DeviceList& list, const char* ipAddress);
void ClearDeviceList(DeviceList& list);
// Frees every record at exit. The header is reset as well, so nothing can follow a freed pointer.
void FreeDeviceList(DeviceList& list);

// Appends `text` unless it is already present or longer than 255 characters. Returns true when
// the text is in the list afterwards.
bool AddName(NameList& list, const char* text);
bool HasName(const NameList& list, const char* text);
void ClearNames(NameList& list);
// As ClearDeviceList: frees every entry and resets the header.
void FreeNames(NameList& list);

// Bounded text copy: copies at most size - 1 characters and always terminates. Returns false when
// the text had to be cut.
bool CopyText(char* out, std::size_t size, const char* text);

}  // namespace sw::protocol
