#include "protocol/device_report.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace sw::protocol {

namespace {

// Length of the well-formed UTF-8 sequence at text[i] and its code point; 0 when the byte there
// does not start one (overlong forms, surrogates and values past U+10FFFF included).
std::size_t Utf8Sequence(const std::string& text, std::size_t i, std::uint32_t& codePoint) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  std::size_t length;
  std::uint32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, codePoint = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, codePoint = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, codePoint = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return 0;
  }
  return length;
}

bool IsControl(std::uint32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Text safe for a terminal: well-formed UTF-8 kept, control characters and stray bytes as '?'.
std::string TerminalSafe(const std::string& text, std::size_t& width) {
  std::string out;
  width = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t c = 0;
    const std::size_t n = Utf8Sequence(text, i, c);
    if (n == 0 || IsControl(c)) {
      out.push_back('?');
      i += n == 0 ? 1 : n;
    } else {
      out.append(text, i, n);
      i += n;
    }
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
    } else if (c < 0x20 || c == 0x7F) {
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
