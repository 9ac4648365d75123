// A small strict JSON reader (RFC 8259) for the fabric files: no dependencies, no OS headers.
// Objects keep their members in file order; duplicate keys are an error, since a fabric file
// with two "address" members is a mistake the author should hear about.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sw::json {

enum class Type { Null, Bool, Number, String, Array, Object };

class Value {
 public:
  using Member = std::pair<std::string, Value>;

  Value() = default;
  static Value MakeBool(bool b);
  static Value MakeNumber(double d);
  static Value MakeString(std::string s);
  static Value MakeArray(std::vector<Value> items);
  static Value MakeObject(std::vector<Member> members);

  Type type() const { return type_; }
  bool IsNull() const { return type_ == Type::Null; }
  bool IsBool() const { return type_ == Type::Bool; }
  bool IsNumber() const { return type_ == Type::Number; }
  bool IsString() const { return type_ == Type::String; }
  bool IsArray() const { return type_ == Type::Array; }
  bool IsObject() const { return type_ == Type::Object; }

  // Accessors return a neutral value (false, 0, empty) when the type does not match.
  bool AsBool() const { return type_ == Type::Bool && bool_; }
  double AsNumber() const { return type_ == Type::Number ? number_ : 0.0; }
  const std::string& AsString() const;
  const std::vector<Value>& AsArray() const;
  const std::vector<Member>& AsObject() const;

  // True and *out set when the value is a number with no fractional part within [lo, hi].
  bool AsInteger(int64_t lo, int64_t hi, int64_t* out) const;

  // Member lookup for objects; null when absent or when this is not an object.
  const Value* Find(const std::string& key) const;

 private:
  Type type_ = Type::Null;
  bool bool_ = false;
  double number_ = 0.0;
  std::string string_;
  std::vector<Value> array_;
  std::vector<Member> object_;
};

struct ParseError {
  std::string message;
  size_t line = 0;    // 1-based
  size_t column = 0;  // 1-based, in bytes
};

// Parses a whole document (one value, surrounded only by white space). Nesting deeper than
// kMaxDepth is refused so that hostile input cannot exhaust the stack.
constexpr int kMaxDepth = 64;
bool Parse(const std::string& text, Value* out, ParseError* error);

// "line L, column C: message" for error reports.
std::string Describe(const ParseError& error);

}  // namespace sw::json
