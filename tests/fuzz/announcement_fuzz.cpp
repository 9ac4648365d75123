// One datagram from anyone on the LAN: the announcement reader, the list splitter, the name
// lists and the report writers must stay inside their buffers and keep their promises.

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fabric/json.h"
#include "fuzz_client.h"
#include "protocol/datagram.h"
#include "protocol/device_report.h"
#include "protocol/device_text.h"
#include "protocol/device_table.h"

namespace {

using namespace sw::protocol;

using fuzz::Require;

void CheckText(const char* text, std::size_t size) { Require(std::memchr(text, 0, size) != nullptr); }

// The JSON output is valid and reads back: one object per device, whose name is the device's
// own when that is UTF-8 (other bytes were taken as Latin-1), with no raw control byte in it.
void CheckJson(const std::string& json, const DeviceList& devices) {
  for (unsigned char c : json) Require(c >= 0x20 || c == '\n');
  sw::json::Value value;
  sw::json::ParseError error;
  Require(sw::json::Parse(json, &value, &error) && value.IsArray());
  Require(value.AsArray().size() == static_cast<std::size_t>(devices.count));
  const DeviceRecord* r = devices.head;
  for (const sw::json::Value& object : value.AsArray()) {
    const sw::json::Value* name = object.Find("name");
    Require(name != nullptr && name->IsString());
    bool utf8 = true;
    const std::string own = r->name;
    for (std::size_t k = 0; utf8 && k < own.size();) {
      std::uint32_t c = 0;
      const std::size_t n = Utf8Sequence(own, k, c);
      utf8 = n != 0;
      k += n;
    }
    if (utf8) Require(name->AsString() == own);
    const sw::json::Value* ip = object.Find("ip");
    Require(ip != nullptr && ip->AsString() == r->ipAddress);
    r = r->next;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so that any read past what was received is caught.
  std::unique_ptr<std::uint8_t[]> datagram(new std::uint8_t[size ? size : 1]);
  if (size) std::memcpy(datagram.get(), data, size);
  const ReceivedDatagram d{datagram.get(), size};
  const ClientId client = fuzz::TestClientId();

  DeviceList devices;
  for (std::uint8_t filter : {std::uint8_t{3}, std::uint8_t{0}}) {
    Announcement a;
    if (ReadAnnouncement(d, client, filter, filter, a) != AnnouncementVerdict::Accepted) continue;
    CheckText(a.name, sizeof a.name);
    CheckText(a.ipAddress, sizeof a.ipAddress);
    CheckText(a.netmask, sizeof a.netmask);
    CheckText(a.gateway, sizeof a.gateway);
    CheckText(a.dhcpState, sizeof a.dhcpState);
    Require(IsForClient(d, client));
    Require(CarriesAddress(d, a.ipAddress));
    if (!HasDevice(devices, a.ipAddress)) {
      AddDevice(devices, a.name, a.ipAddress, a.netmask, a.gateway, a.deviceId, a.dhcpState, 0,
                a.iscsiCapable);
    }
  }
  Require(devices.count <= 1);
  FormatDeviceTableText(devices);
  CheckJson(FormatDeviceTableJson(devices), devices);
  FreeDeviceList(devices);

  for (char separator : {':', '='}) {
    NameList names;
    const auto items = SplitListReply(d, separator);
    for (const std::string& item : items) {
      Require(!item.empty() && item.find(separator) == std::string::npos);
      AddName(names, item.c_str());
    }
    Require(names.count <= static_cast<std::int32_t>(items.size()));
    for (const NameEntry* e = names.head; e != nullptr; e = e->next) CheckText(e->text, sizeof e->text);
    FreeNames(names);
  }
  return 0;
}
