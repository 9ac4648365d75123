#pragma once
// ASCII case folding: Windows compares names (drives, keys, services, targets, paths) without
// regard to the case of A-Z; other bytes compare as they are.

#include <string>

namespace sw::base {

inline char LowerAsciiChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
inline char UpperAsciiChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string LowerAscii(std::string text) {
  for (char& c : text) c = LowerAsciiChar(c);
  return text;
}

inline std::string UpperAscii(std::string text) {
  for (char& c : text) c = UpperAsciiChar(c);
  return text;
}

inline bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAsciiChar(a[i]) != LowerAsciiChar(b[i])) return false;
  }
  return true;
}

}  // namespace sw::base
