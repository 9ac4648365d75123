#include "fabric/json.h"

#include <charconv>
#include <cmath>
#include <unordered_set>

namespace sw::json {

namespace {

const std::string kEmptyString;
const std::vector<Value> kEmptyArray;
const std::vector<Value::Member> kEmptyObject;

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  bool Document(Value* out, ParseError* error) {
    SkipSpace();
    if (!ParseValue(out, 0)) {
      Report(error);
      return false;
    }
    SkipSpace();
    if (pos_ != text_.size()) {
      Fail("unexpected text after the document");
      Report(error);
      return false;
    }
    return true;
  }

 private:
  bool ParseValue(Value* out, int depth) {
    if (depth > kMaxDepth) return Fail("nesting too deep");
    if (pos_ >= text_.size()) return Fail("unexpected end of input");
    char c = text_[pos_];
    switch (c) {
      case '{': return ParseObject(out, depth);
      case '[': return ParseArray(out, depth);
      case '"': {
        std::string s;
        if (!ParseString(&s)) return false;
        *out = Value::MakeString(std::move(s));
        return true;
      }
      case 't': return ParseLiteral("true", Value::MakeBool(true), out);
      case 'f': return ParseLiteral("false", Value::MakeBool(false), out);
      case 'n': return ParseLiteral("null", Value(), out);
      default:
        if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber(out);
        return Fail("unexpected character");
    }
  }

  bool ParseLiteral(const char* word, Value v, Value* out) {
    std::string w(word);
    if (text_.compare(pos_, w.size(), w) != 0) return Fail("invalid literal");
    pos_ += w.size();
    *out = std::move(v);
    return true;
  }

  bool ParseNumber(Value* out) {
    size_t start = pos_;
    if (Peek('-')) ++pos_;
    if (Peek('0')) {
      ++pos_;
    } else if (PeekDigit()) {
      while (PeekDigit()) ++pos_;
    } else {
      return Fail("invalid number");
    }
    if (Peek('.')) {
      ++pos_;
      if (!PeekDigit()) return Fail("invalid number");
      while (PeekDigit()) ++pos_;
    }
    if (Peek('e') || Peek('E')) {
      ++pos_;
      if (Peek('+') || Peek('-')) ++pos_;
      if (!PeekDigit()) return Fail("invalid number");
      while (PeekDigit()) ++pos_;
    }
    double d = 0.0;
    const char* first = text_.data() + start;
    const char* last = text_.data() + pos_;
    auto result = std::from_chars(first, last, d);
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(d)) {
      pos_ = start;
      return Fail("number out of range");
    }
    *out = Value::MakeNumber(d);
    return true;
  }

  bool ParseHex4(uint32_t* out) {
    if (text_.size() - pos_ < 4) return Fail("truncated \\u escape");
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      char c = text_[pos_++];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') v |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= static_cast<uint32_t>(c - 'A' + 10);
      else return Fail("invalid \\u escape");
    }
    *out = v;
    return true;
  }

  static void AppendUtf8(uint32_t cp, std::string* s) {
    if (cp < 0x80) {
      s->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      s->push_back(static_cast<char>(0xC0 | (cp >> 6)));
      s->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      s->push_back(static_cast<char>(0xE0 | (cp >> 12)));
      s->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      s->push_back(static_cast<char>(0xF0 | (cp >> 18)));
      s->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      s->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  bool ParseString(std::string* out) {
    ++pos_;  // opening quote
    while (true) {
      if (pos_ >= text_.size()) return Fail("unterminated string");
      unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) return Fail("control character in string");
      if (c != '\\') {
        out->push_back(static_cast<char>(c));
        ++pos_;
        continue;
      }
      ++pos_;
      if (pos_ >= text_.size()) return Fail("unterminated string");
      char e = text_[pos_++];
      switch (e) {
        case '"': out->push_back('"'); break;
        case '\\': out->push_back('\\'); break;
        case '/': out->push_back('/'); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'u': {
          uint32_t cp = 0;
          if (!ParseHex4(&cp)) return false;
          if (cp >= 0xDC00 && cp <= 0xDFFF) return Fail("lone low surrogate");
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (text_.compare(pos_, 2, "\\u") != 0) return Fail("lone high surrogate");
            pos_ += 2;
            uint32_t low = 0;
            if (!ParseHex4(&low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return Fail("invalid surrogate pair");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(cp, out);
          break;
        }
        default:
          --pos_;
          return Fail("invalid escape");
      }
    }
  }

  bool ParseArray(Value* out, int depth) {
    ++pos_;
    std::vector<Value> items;
    SkipSpace();
    if (Peek(']')) {
      ++pos_;
      *out = Value::MakeArray(std::move(items));
      return true;
    }
    while (true) {
      SkipSpace();
      Value item;
      if (!ParseValue(&item, depth + 1)) return false;
      items.push_back(std::move(item));
      SkipSpace();
      if (Peek(',')) {
        ++pos_;
        continue;
      }
      if (Peek(']')) {
        ++pos_;
        *out = Value::MakeArray(std::move(items));
        return true;
      }
      return Fail("expected ',' or ']'");
    }
  }

  bool ParseObject(Value* out, int depth) {
    ++pos_;
    std::vector<Value::Member> members;
    // Hashed, so that a hostile object with many members costs linear time, not quadratic.
    std::unordered_set<std::string> keys;
    SkipSpace();
    if (Peek('}')) {
      ++pos_;
      *out = Value::MakeObject(std::move(members));
      return true;
    }
    while (true) {
      SkipSpace();
      if (!Peek('"')) return Fail("expected a member name");
      size_t keyPos = pos_;
      std::string key;
      if (!ParseString(&key)) return false;
      if (!keys.insert(key).second) {
        pos_ = keyPos;
        return Fail("duplicate member \"" + key + "\"");
      }
      SkipSpace();
      if (!Peek(':')) return Fail("expected ':'");
      ++pos_;
      SkipSpace();
      Value v;
      if (!ParseValue(&v, depth + 1)) return false;
      members.emplace_back(std::move(key), std::move(v));
      SkipSpace();
      if (Peek(',')) {
        ++pos_;
        continue;
      }
      if (Peek('}')) {
        ++pos_;
        *out = Value::MakeObject(std::move(members));
        return true;
      }
      return Fail("expected ',' or '}'");
    }
  }

  void SkipSpace() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
      ++pos_;
    }
  }

  bool Peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  bool PeekDigit() const { return pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; }

  bool Fail(const std::string& message) {
    if (message_.empty()) {
      message_ = message;
      failPos_ = pos_;
    }
    return false;
  }

  void Report(ParseError* error) const {
    if (!error) return;
    error->message = message_;
    error->line = 1;
    error->column = 1;
    for (size_t i = 0; i < failPos_ && i < text_.size(); ++i) {
      if (text_[i] == '\n') {
        ++error->line;
        error->column = 1;
      } else {
        ++error->column;
      }
    }
  }

  const std::string& text_;
  size_t pos_ = 0;
  std::string message_;
  size_t failPos_ = 0;
};

}  // namespace

Value Value::MakeBool(bool b) {
  Value v;
  v.type_ = Type::Bool;
  v.bool_ = b;
  return v;
}

Value Value::MakeNumber(double d) {
  Value v;
  v.type_ = Type::Number;
  v.number_ = d;
  return v;
}

Value Value::MakeString(std::string s) {
  Value v;
  v.type_ = Type::String;
  v.string_ = std::move(s);
  return v;
}

Value Value::MakeArray(std::vector<Value> items) {
  Value v;
  v.type_ = Type::Array;
  v.array_ = std::move(items);
  return v;
}

Value Value::MakeObject(std::vector<Member> members) {
  Value v;
  v.type_ = Type::Object;
  v.object_ = std::move(members);
  return v;
}

const std::string& Value::AsString() const { return type_ == Type::String ? string_ : kEmptyString; }
const std::vector<Value>& Value::AsArray() const { return type_ == Type::Array ? array_ : kEmptyArray; }
const std::vector<Value::Member>& Value::AsObject() const {
  return type_ == Type::Object ? object_ : kEmptyObject;
}

bool Value::AsInteger(int64_t lo, int64_t hi, int64_t* out) const {
  if (type_ != Type::Number) return false;
  if (std::floor(number_) != number_) return false;
  // Casting a double outside the int64_t range is undefined, so bound it first (2^63).
  if (number_ < -9223372036854775808.0 || number_ >= 9223372036854775808.0) return false;
  int64_t v = static_cast<int64_t>(number_);
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

const Value* Value::Find(const std::string& key) const {
  if (type_ != Type::Object) return nullptr;
  for (const auto& m : object_) {
    if (m.first == key) return &m.second;
  }
  return nullptr;
}

bool Parse(const std::string& text, Value* out, ParseError* error) {
  Parser p(text);
  Value v;
  if (!p.Document(&v, error)) return false;
  *out = std::move(v);
  return true;
}

std::string Describe(const ParseError& error) {
  return "line " + std::to_string(error.line) + ", column " + std::to_string(error.column) + ": " +
         error.message;
}

}  // namespace sw::json
