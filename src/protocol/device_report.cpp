#include "protocol/device_report.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "protocol/device_text.h"

namespace sw::protocol {

namespace {

// A cell for the terminal and its width in characters (an escape counts as what it shows).
std::string TerminalSafe(const std::string& text, std::size_t& width) {
  std::string out = EscapeDeviceText(text);
  width = 0;
  for (std::size_t i = 0; i < out.size();) {
    std::uint32_t c = 0;
    const std::size_t n = Utf8Sequence(out, i, c);
    i += n == 0 ? 1 : n;
    ++width;
  }
  return out;
}

const char* DhcpText(const DeviceRecord& r) { return std::strcmp(r.dhcpState, "1") == 0 ? "yes" : "no"; }
const char* IscsiText(const DeviceRecord& r) { return r.iscsiCapable ? "yes" : "no"; }

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t c = 0;
    std::size_t n = Utf8Sequence(text, i, c);
    if (n == 0) {
      c = static_cast<unsigned char>(text[i]);  // Latin-1
      n = 1;
    }
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (IsControlCharacter(c) || IsBidiControl(c)) {
      // Escaped so that no terminal showing the JSON acts on them; a reader gets them back.
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (n > 1) {
      out.append(text, i, n);
    } else {
      // A Latin-1 byte as its two-byte UTF-8 form.
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    i += n;
  }
  out.push_back('"');
  return out;
}

std::string FormatDeviceTableText(const DeviceList& list) {
  struct Row {
    std::string cells[6];
    std::size_t widths[6];
  };
  std::vector<Row> rows;
  const char* header[6] = {"Name", "IP", "Netmask", "Gateway", "DHCP", "iSCSI"};
  Row head;
  for (int c = 0; c < 6; ++c) head.cells[c] = TerminalSafe(header[c], head.widths[c]);
  rows.push_back(head);
  for (const DeviceRecord* r = list.head; r != nullptr; r = r->next) {
    const char* fields[6] = {r->name, r->ipAddress, r->netmask, r->gateway, DhcpText(*r), IscsiText(*r)};
    Row row;
    for (int c = 0; c < 6; ++c) row.cells[c] = TerminalSafe(fields[c], row.widths[c]);
    rows.push_back(row);
  }
  std::size_t columnWidth[6] = {};
  for (const Row& row : rows) {
    for (int c = 0; c < 6; ++c) {
      if (row.widths[c] > columnWidth[c]) columnWidth[c] = row.widths[c];
    }
  }
  std::string out;
  for (const Row& row : rows) {
    std::string line;
    for (int c = 0; c < 6; ++c) {
      line += row.cells[c];
      if (c < 5) line.append(columnWidth[c] - row.widths[c] + 2, ' ');
    }
    out += line;
    out.push_back('\n');
  }
  return out;
}

std::string FormatDeviceTableJson(const DeviceList& list) {
  std::string out = "[";
  for (const DeviceRecord* r = list.head; r != nullptr; r = r->next) {
    if (r != list.head) out += ",";
    out += "\n  {\"name\": " + JsonString(r->name) + ", \"ip\": " + JsonString(r->ipAddress) +
           ", \"netmask\": " + JsonString(r->netmask) + ", \"gateway\": " + JsonString(r->gateway) +
           ", \"dhcp\": " + (std::strcmp(r->dhcpState, "1") == 0 ? "true" : "false") +
           ", \"iscsi\": " + (r->iscsiCapable ? "true" : "false") + "}";
  }
  out += list.head != nullptr ? "\n]\n" : "]\n";
  return out;
}

}  // namespace sw::protocol
