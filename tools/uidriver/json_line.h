#pragma once
// One JSON object per output line, built field by field. Window texts are ANSI; they are turned
// into JSON through the ANSI code page so that accented captions survive.

#include <windows.h>

#include <cstdio>
#include <string>

namespace sw::uidriver {

inline std::string JsonString(const std::string& ansi) {
  std::wstring wide;
  if (!ansi.empty()) {
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], length);
  }
  std::string out = "\"";
  for (wchar_t c : wide) {
    switch (c) {
      case L'"': out += "\\\""; break;
      case L'\\': out += "\\\\"; break;
      case L'\n': out += "\\n"; break;
      case L'\r': out += "\\r"; break;
      case L'\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c > 0x7E) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c) & 0xFFFF);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

class JsonLine {
 public:
  void Add(const char* key, const std::string& value) { AddRaw(key, JsonString(value)); }
  void Add(const char* key, const char* value) { Add(key, std::string(value)); }
  void Add(const char* key, bool value) { AddRaw(key, value ? "true" : "false"); }
  void Add(const char* key, long long value) { AddRaw(key, std::to_string(value)); }
  void AddRaw(const char* key, const std::string& json) {
    fields_ += (fields_.empty() ? "" : ",") + JsonString(key) + ":" + json;
  }
  void Fail(const std::string& error) {
    ok_ = false;
    error_ = error;
  }
  bool ok() const { return ok_; }
  // The fields alone, as a nested object.
  std::string Object() const { return "{" + fields_ + "}"; }
  // The output line: "ok" and, on failure, "error" first.
  std::string Finish() const {
    std::string head = std::string("\"ok\":") + (ok_ ? "true" : "false");
    if (!ok_) head += ",\"error\":" + JsonString(error_);
    return "{" + head + (fields_.empty() ? "" : "," + fields_) + "}";
  }

 private:
  std::string fields_;
  bool ok_ = true;
  std::string error_;
};

}  // namespace sw::uidriver
