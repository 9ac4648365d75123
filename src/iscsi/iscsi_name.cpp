// The iSCSI name grammar (see iscsi_name.h).

#include "iscsi/iscsi_name.h"

namespace sw::iscsi {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f'); }
bool IsLabelChar(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || c == '-'; }
bool IsNameChar(char c) { return IsLabelChar(c) || c == '.' || c == ':'; }

bool AllHex(const std::string& s, std::size_t from) {
  for (std::size_t i = from; i < s.size(); ++i) {
    if (!IsHex(s[i])) return false;
  }
  return true;
}

bool IsQualifiedName(const std::string& s) {
  // "iqn." yyyy "-" mm "."
  if (s.size() < 12) return false;
  for (std::size_t i = 4; i < 8; ++i) {
    if (!IsDigit(s[i])) return false;
  }
  if (s[8] != '-' || !IsDigit(s[9]) || !IsDigit(s[10]) || s[11] != '.') return false;
  int month = (s[9] - '0') * 10 + (s[10] - '0');
  if (month < 1 || month > 12) return false;
  std::size_t colon = s.find(':', 12);
  std::size_t domainEnd = colon == std::string::npos ? s.size() : colon;
  // Reversed domain: labels separated by single dots, none empty.
  std::size_t labelLength = 0;
  for (std::size_t i = 12; i < domainEnd; ++i) {
    if (s[i] == '.') {
      if (labelLength == 0) return false;
      labelLength = 0;
    } else if (IsLabelChar(s[i])) {
      ++labelLength;
    } else {
      return false;
    }
  }
  if (labelLength == 0) return false;
  return colon == std::string::npos || colon + 1 < s.size();
}

}  // namespace

bool IsValidIscsiName(const std::string& name) {
  if (name.empty() || name.size() > kMaxIscsiNameBytes) return false;
  const std::string s = LowerAscii(name);
  for (char c : s) {
    if (!IsNameChar(c)) return false;
  }
  const std::string type = s.substr(0, 4);
  if (type == "iqn.") return IsQualifiedName(s);
  if (type == "eui.") return s.size() == 4 + 16 && AllHex(s, 4);
  if (type == "naa.") return (s.size() == 4 + 16 || s.size() == 4 + 32) && AllHex(s, 4);
  return false;
}

}  // namespace sw::iscsi
