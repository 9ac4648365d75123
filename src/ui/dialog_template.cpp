// Parser of the resource-script subset res/seekwell.rc is written in. It computes each control's
// class and style bits the way windres does, so the headless UI sees what the Windows build gets.

#include "ui/dialog_template.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "base/ascii_case.h"
#include "ui/rc_names.h"
#include "ui/resource_text.h"

namespace sw::ui {

const ControlTemplate* DialogTemplate::FindControl(int controlId) const {
  for (const ControlTemplate& c : controls) {
    if (c.id == controlId) return &c;
  }
  return nullptr;
}

const FileResource* ResourceSet::FindFile(const std::string& type, int id) const {
  for (const FileResource& f : files) {
    if (f.type == type && f.id == id) return &f;
  }
  return nullptr;
}

namespace {

struct ParseError {
  int line;
  std::string message;
};

enum class Kind { End, Name, Number, String, Punct, Directive };

struct Token {
  Kind kind = Kind::End;
  std::string text;   // name, punctuation, decoded string, or the directive line after '#'
  int64_t value = 0;  // numbers
  int line = 0;
};


bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

class Lexer {
 public:
  explicit Lexer(const std::string& text) : s_(text) {}

  std::vector<Token> Run() {
    std::vector<Token> out;
    bool lineStart = true;
    while (pos_ < s_.size()) {
      char c = s_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
        lineStart = true;
        continue;
      }
      if (std::isspace(static_cast<unsigned char>(c))) {
        ++pos_;
        continue;
      }
      if (c == '/' && Peek(1) == '/') {
        while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
        continue;
      }
      if (c == '/' && Peek(1) == '*') {
        SkipBlockComment();
        continue;
      }
      if (c == '#' && lineStart) {
        out.push_back(Directive());
        continue;
      }
      lineStart = false;
      if (c == '"') {
        out.push_back(String());
      } else if (std::isdigit(static_cast<unsigned char>(c))) {
        out.push_back(Number());
      } else if (IsNameStart(c)) {
        Token t{Kind::Name, {}, 0, line_};
        while (pos_ < s_.size() && IsNameChar(s_[pos_])) t.text += s_[pos_++];
        out.push_back(t);
      } else if (std::string(",|&+-*/()~{}^%").find(c) != std::string::npos) {
        out.push_back(Token{Kind::Punct, std::string(1, c), 0, line_});
        ++pos_;
      } else {
        throw ParseError{line_, std::string("unexpected character '") + c + "'"};
      }
    }
    // Errors at the end of the text point at its last line with content.
    out.push_back(Token{Kind::End, {}, 0, out.empty() ? 1 : out.back().line});
    return out;
  }

 private:
  char Peek(size_t ahead) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }

  void SkipBlockComment() {
    int start = line_;
    pos_ += 2;
    while (pos_ < s_.size() && !(s_[pos_] == '*' && Peek(1) == '/')) {
      if (s_[pos_] == '\n') ++line_;
      ++pos_;
    }
    if (pos_ >= s_.size()) throw ParseError{start, "unterminated comment"};
    pos_ += 2;
  }

  Token Directive() {
    Token t{Kind::Directive, {}, 0, line_};
    ++pos_;
    while (pos_ < s_.size() && s_[pos_] != '\n') t.text += s_[pos_++];
    size_t cut = t.text.find("//");
    if (cut != std::string::npos) t.text.erase(cut);
    return t;
  }

  // Escapes as windres reads them: C escapes, octal and hex codes, and "" for a quote.
  Token String() {
    Token t{Kind::String, {}, 0, line_};
    ++pos_;
    for (;;) {
      if (pos_ >= s_.size() || s_[pos_] == '\n') throw ParseError{t.line, "unterminated string"};
      char c = s_[pos_++];
      if (c == '"') {
        if (Peek(0) == '"') {
          t.text += '"';
          ++pos_;
          continue;
        }
        return t;
      }
      if (c != '\\') {
        t.text += c;
        continue;
      }
      if (pos_ >= s_.size()) throw ParseError{t.line, "unterminated string"};
      char e = s_[pos_++];
      switch (e) {
        case 'n': t.text += '\n'; break;
        case 't': t.text += '\t'; break;
        case 'r': t.text += '\r'; break;
        case 'a': t.text += '\a'; break;
        case 'b': t.text += '\b'; break;
        case 'f': t.text += '\f'; break;
        case 'v': t.text += '\v'; break;
        case '\\': t.text += '\\'; break;
        case '"': t.text += '"'; break;
        case '\'': t.text += '\''; break;
        case 'x': {
          int v = 0, digits = 0;
          while (digits < 2 && std::isxdigit(static_cast<unsigned char>(Peek(0)))) {
            char h = s_[pos_++];
            v = v * 16 + (std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (base::LowerAsciiChar(h) - 'a' + 10));
            ++digits;
          }
          if (digits == 0) throw ParseError{t.line, "\\x without hex digits"};
          t.text += static_cast<char>(v);
          break;
        }
        default:
          if (e >= '0' && e <= '7') {
            int v = e - '0', digits = 1;
            while (digits < 3 && Peek(0) >= '0' && Peek(0) <= '7') {
              v = v * 8 + (s_[pos_++] - '0');
              ++digits;
            }
            t.text += static_cast<char>(v);
          } else {
            throw ParseError{t.line, std::string("unknown escape '\\") + e + "'"};
          }
      }
    }
  }

  Token Number() {
    Token t{Kind::Number, {}, 0, line_};
    int64_t v = 0;
    if (s_[pos_] == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
      pos_ += 2;
      if (!std::isxdigit(static_cast<unsigned char>(Peek(0)))) throw ParseError{line_, "bad hex number"};
      while (std::isxdigit(static_cast<unsigned char>(Peek(0)))) {
        char h = s_[pos_++];
        v = v * 16 + (std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (base::LowerAsciiChar(h) - 'a' + 10));
        if (v > 0xFFFFFFFFLL) throw ParseError{line_, "number too large"};
      }
    } else {
      while (std::isdigit(static_cast<unsigned char>(Peek(0)))) {
        v = v * 10 + (s_[pos_++] - '0');
        if (v > 0xFFFFFFFFLL) throw ParseError{line_, "number too large"};
      }
    }
    while (Peek(0) == 'L' || Peek(0) == 'l' || Peek(0) == 'U' || Peek(0) == 'u') ++pos_;
    if (IsNameChar(Peek(0))) throw ParseError{line_, "bad number"};
    t.value = v;
    return t;
  }

  const std::string& s_;
  size_t pos_ = 0;
  int line_ = 1;
};

// What a control statement means to windres: its class, the style used when the statement gives
// none, and the base that an explicit style expression is applied to.
struct Statement {
  const char* keyword;
  const char* className;
  uint32_t defaultStyle;
  uint32_t baseStyle;
  bool hasText;
};

constexpr uint32_t kTab = rc::kWsTabStop, kGroup = rc::kWsGroup;

const Statement kStatements[] = {
    {"LTEXT", "Static", 0x0 | kGroup, 0x0, true},            // SS_LEFT
    {"RTEXT", "Static", 0x2 | kGroup, 0x2, true},            // SS_RIGHT
    {"CTEXT", "Static", 0x1 | kGroup, 0x1, true},            // SS_CENTER
    {"PUSHBUTTON", "Button", 0x0 | kTab, 0x0 | kTab, true},  // BS_PUSHBUTTON
    {"DEFPUSHBUTTON", "Button", 0x1 | kTab, 0x1 | kTab, true},
    {"CHECKBOX", "Button", 0x2 | kTab, 0x2 | kTab, true},
    {"AUTOCHECKBOX", "Button", 0x3 | kTab, 0x3 | kTab, true},
    {"RADIOBUTTON", "Button", 0x4 | kTab, 0x4, true},
    {"STATE3", "Button", 0x5 | kTab, 0x5, true},
    {"AUTO3STATE", "Button", 0x6 | kTab, 0x6, true},
    {"GROUPBOX", "Button", 0x7, 0x7, true},
    {"AUTORADIOBUTTON", "Button", 0x9 | kTab, 0x9, true},
    {"EDITTEXT", "Edit", rc::kWsBorder | kTab, rc::kWsBorder | kTab, false},  // ES_LEFT
    {"COMBOBOX", "ComboBox", 0x1 | kTab, 0x0, false},                          // CBS_SIMPLE
    {"LISTBOX", "ListBox", 0x1 | rc::kWsBorder, 0x1 | rc::kWsBorder, false},   // LBS_NOTIFY
    {"SCROLLBAR", "ScrollBar", 0x0, 0x0, false},                                // SBS_HORZ
};

const Statement* FindStatement(const std::string& upperKeyword) {
  for (const Statement& s : kStatements) {
    if (upperKeyword == s.keyword) return &s;
  }
  return nullptr;
}

// Class names compare without case on Windows; keep one spelling for the predefined classes so
// that code can compare them as plain strings.
std::string CanonicalClass(const std::string& name) {
  static const char* const kPredefined[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar",
                                            "ComboBox"};
  for (const char* p : kPredefined) {
    if (base::UpperAscii(name) == base::UpperAscii(p)) return p;
  }
  return name;
}

bool IsMemoryFlag(const std::string& upper) {
  return upper == "DISCARDABLE" || upper == "MOVEABLE" || upper == "PURE" || upper == "IMPURE" ||
         upper == "PRELOAD" || upper == "LOADONCALL" || upper == "FIXED" || upper == "SHARED" ||
         upper == "NONSHARED";
}

struct PendingInit {
  int dialogId;
  int line;
  std::vector<int64_t> words;
};

class Parser {
 public:
  Parser(std::vector<Token> tokens, ResourceSet& out) : t_(std::move(tokens)), out_(out) {}

  void Header() {
    while (Cur().kind != Kind::End) {
      if (Cur().kind != Kind::Directive) Fail("only #define lines belong in the identifier header");
      HandleDirective(Take());
    }
  }

  void Script() {
    while (Cur().kind != Kind::End) {
      if (Cur().kind == Kind::Directive) {
        HandleDirective(Take());
        continue;
      }
      TopLevel();
    }
    ApplyDialogInit();
  }

 private:
  const Token& Cur() const { return t_[i_]; }
  const Token& Take() { return t_[i_ < t_.size() - 1 ? i_++ : i_]; }

  [[noreturn]] void Fail(const std::string& message) const { throw ParseError{Cur().line, message}; }

  static std::string Describe(const Token& t) {
    switch (t.kind) {
      case Kind::End: return "end of text";
      case Kind::String: return "\"" + t.text + "\"";
      case Kind::Number: return std::to_string(t.value);
      case Kind::Directive: return "#" + t.text;
      default: return "'" + t.text + "'";
    }
  }

  bool IsPunct(const char* p) const { return Cur().kind == Kind::Punct && Cur().text == p; }
  bool IsKeyword(const char* k) const { return Cur().kind == Kind::Name && base::UpperAscii(Cur().text) == k; }

  void Expect(const char* p) {
    if (!IsPunct(p)) Fail(std::string("expected '") + p + "' but found " + Describe(Cur()));
    ++i_;
  }
  bool Accept(const char* p) {
    if (!IsPunct(p)) return false;
    ++i_;
    return true;
  }

  std::string ExpectString(const char* what) {
    if (Cur().kind != Kind::String) Fail(std::string("expected ") + what + " (a quoted string) but found " + Describe(Cur()));
    return Take().text;
  }

  bool IsBegin() const { return IsKeyword("BEGIN") || IsPunct("{"); }
  bool IsEndOfBlock() const { return IsKeyword("END") || IsPunct("}"); }
  void ExpectBegin() {
    if (!IsBegin()) Fail("expected BEGIN but found " + Describe(Cur()));
    ++i_;
  }
  void ExpectEnd() {
    if (!IsEndOfBlock()) Fail("expected END but found " + Describe(Cur()));
    ++i_;
  }
  void CheckNotEnd(const char* inside) const {
    if (Cur().kind == Kind::End) Fail(std::string("missing END of ") + inside);
  }

  // --- Preprocessor lines ---------------------------------------------------------------------

  void HandleDirective(const Token& d) {
    std::string text = d.text;
    size_t p = 0;
    while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) ++p;
    size_t q = p;
    while (q < text.size() && IsNameChar(text[q])) ++q;
    std::string word = text.substr(p, q - p);
    if (word == "include" || word == "pragma") return;  // the header arrives separately
    if (word != "define") throw ParseError{d.line, "unsupported directive #" + word};

    while (q < text.size() && std::isspace(static_cast<unsigned char>(text[q]))) ++q;
    size_t nameEnd = q;
    while (nameEnd < text.size() && IsNameChar(text[nameEnd])) ++nameEnd;
    std::string name = text.substr(q, nameEnd - q);
    if (name.empty() || !IsNameStart(name[0])) throw ParseError{d.line, "#define without a name"};
    if (nameEnd < text.size() && text[nameEnd] == '(') throw ParseError{d.line, "macros with parameters are not supported"};
    std::string value = text.substr(nameEnd);
    if (value.find_first_not_of(" \t\r") == std::string::npos) return;  // a flag macro: no value

    std::vector<Token> tokens;
    try {
      tokens = Lexer(value).Run();
    } catch (const ParseError& e) {
      throw ParseError{d.line, e.message};
    }
    for (Token& t : tokens) t.line = d.line;
    Parser sub(std::move(tokens), out_);
    int64_t v = sub.Expression();
    if (sub.Cur().kind != Kind::End) throw ParseError{d.line, "#define " + name + " is not a number"};
    auto existing = out_.defines.find(name);
    if (existing != out_.defines.end() && existing->second != static_cast<int>(v)) {
      throw ParseError{d.line, "#define " + name + " redefined with another value"};
    }
    out_.defines[name] = static_cast<int>(v);
  }

  // --- Numbers and style expressions -----------------------------------------------------------

  int64_t Lookup(const Token& name) const {
    auto it = out_.defines.find(name.text);
    if (it != out_.defines.end()) return it->second;
    int64_t v = 0;
    if (LookupWin32Name(name.text, v)) return v;
    throw ParseError{name.line, "unknown name '" + name.text + "'"};
  }

  int64_t Primary() {
    if (Cur().kind == Kind::Number) return Take().value;
    if (Cur().kind == Kind::Name) {
      if (IsKeyword("NOT")) Fail("NOT is only allowed in a style");
      return Lookup(Take());
    }
    if (Accept("(")) {
      int64_t v = Expression();
      Expect(")");
      return v;
    }
    Fail("expected a number but found " + Describe(Cur()));
  }

  int64_t Unary() {
    if (Accept("-")) return -Unary();
    if (Accept("~")) return ~Unary();
    if (Accept("+")) return Unary();
    return Primary();
  }

  int64_t Multiplicative() {
    int64_t v = Unary();
    for (;;) {
      if (Accept("*")) {
        v *= Unary();
      } else if (IsPunct("/") || IsPunct("%")) {
        bool divide = Take().text == "/";
        int64_t d = Unary();
        if (d == 0) Fail("division by zero");
        v = divide ? v / d : v % d;
      } else {
        return v;
      }
    }
  }

  int64_t Additive() {
    int64_t v = Multiplicative();
    for (;;) {
      if (Accept("+")) v += Multiplicative();
      else if (Accept("-")) v -= Multiplicative();
      else return v;
    }
  }

  int64_t BitAnd() {
    int64_t v = Additive();
    while (Accept("&")) v &= Additive();
    return v;
  }

  int64_t BitXor() {
    int64_t v = BitAnd();
    while (Accept("^")) v ^= BitAnd();
    return v;
  }

 public:
  int64_t Expression() {
    int64_t v = BitXor();
    while (Accept("|")) v |= BitXor();
    return v;
  }

 private:
  int Int() { return static_cast<int>(Expression()); }

  // `A | NOT B | C` works left to right on `start`: OR A, clear B, OR C.
  uint32_t Style(uint32_t start) {
    uint32_t style = start;
    do {
      if (IsKeyword("NOT")) {
        ++i_;
        style &= ~static_cast<uint32_t>(BitXor());
      } else {
        style |= static_cast<uint32_t>(BitXor());
      }
    } while (Accept("|"));
    return style;
  }

  int ResourceId(const char* what) {
    if (Cur().kind == Kind::Number) return static_cast<int>(Take().value);
    if (Cur().kind == Kind::Name) {
      auto it = out_.defines.find(Cur().text);
      if (it != out_.defines.end()) {
        ++i_;
        return it->second;
      }
      int64_t v = 0;
      if (LookupWin32Name(Cur().text, v)) {
        ++i_;
        return static_cast<int>(v);
      }
      Fail(std::string("unknown ") + what + " '" + Cur().text + "' (named resources are not supported)");
    }
    Fail(std::string("expected ") + what + " but found " + Describe(Cur()));
  }

  void SkipMemoryFlags() {
    while (Cur().kind == Kind::Name && IsMemoryFlag(base::UpperAscii(Cur().text))) ++i_;
  }

  // --- Top level -------------------------------------------------------------------------------

  void TopLevel() {
    if (IsKeyword("LANGUAGE")) {
      ++i_;
      Expression();
      Expect(",");
      Expression();
      return;
    }
    if (IsKeyword("STRINGTABLE")) {
      ++i_;
      StringTable();
      return;
    }
    int idLine = Cur().line;
    int id = ResourceId("resource id");
    if (Cur().kind == Kind::Number) {
      FileOrData(std::to_string(Take().value), id);
      return;
    }
    if (Cur().kind != Kind::Name) Fail("expected a resource type after the id but found " + Describe(Cur()));
    std::string type = base::UpperAscii(Take().text);
    if (type == "DIALOGEX" || type == "DIALOG") {
      Dialog(id, idLine, type == "DIALOGEX");
    } else if (type == "MENU") {
      Menu(id, idLine);
    } else if (type == "DLGINIT") {
      DialogInit(id, idLine);
    } else if (type == "VERSIONINFO") {
      if (out_.versionInfoId != 0) throw ParseError{idLine, "a second VERSIONINFO"};
      out_.versionInfoId = id;
      VersionInfo();
    } else if (type == "ICON" || type == "CURSOR" || type == "ANICURSOR" || type == "ANIICON" ||
               type == "BITMAP" || type == "RCDATA" || type == "HTML" || type == "MESSAGETABLE") {
      FileOrData(type, id);
    } else {
      throw ParseError{idLine, "unsupported resource type " + type};
    }
  }

  void FileOrData(const std::string& type, int id) {
    SkipMemoryFlags();
    if (Cur().kind == Kind::String) {
      out_.files.push_back(FileResource{type, id, Take().text});
      return;
    }
    if (type == "ICON" || type == "CURSOR" || type == "ANICURSOR" || type == "ANIICON" || type == "BITMAP") {
      Fail(type + " needs a file name");
    }
    // Inline data: numbers and strings, skipped.
    ExpectBegin();
    while (!IsEndOfBlock()) {
      CheckNotEnd("data");
      if (Cur().kind == Kind::String) {
        ++i_;
      } else {
        Expression();
      }
      Accept(",");
    }
    ExpectEnd();
  }

  void StringTable() {
    for (;;) {
      SkipMemoryFlags();
      if (IsKeyword("LANGUAGE")) {
        ++i_;
        Expression();
        Expect(",");
        Expression();
        continue;
      }
      if (IsKeyword("CHARACTERISTICS") || IsKeyword("VERSION")) {
        ++i_;
        Expression();
        continue;
      }
      break;
    }
    ExpectBegin();
    while (!IsEndOfBlock()) {
      CheckNotEnd("STRINGTABLE");
      int line = Cur().line;
      int id = Int();
      Accept(",");
      std::string text = ExpectString("the string");
      if (!out_.strings.emplace(id, text).second) {
        throw ParseError{line, "string " + std::to_string(id) + " defined twice"};
      }
    }
    ExpectEnd();
  }

  // --- Dialogs --------------------------------------------------------------------------------

  void Dialog(int id, int idLine, bool extended) {
    DialogTemplate d;
    d.id = id;
    SkipMemoryFlags();
    d.x = Int();
    Expect(",");
    d.y = Int();
    Expect(",");
    d.cx = Int();
    Expect(",");
    d.cy = Int();
    if (extended && Accept(",")) Expression();  // help id

    bool hasStyle = false, hasCaption = false, hasFont = false;
    uint32_t style = 0;
    while (!IsBegin()) {
      CheckNotEnd("dialog");
      if (Cur().kind != Kind::Name) Fail("expected a dialog statement or BEGIN but found " + Describe(Cur()));
      std::string word = base::UpperAscii(Take().text);
      if (word == "STYLE") {
        style = Style(0);
        hasStyle = true;
      } else if (word == "EXSTYLE") {
        d.exStyle = Style(0);
      } else if (word == "CAPTION") {
        d.caption = ExpectString("the caption");
        hasCaption = true;
      } else if (word == "FONT") {
        d.fontPointSize = Int();
        Expect(",");
        d.fontName = ExpectString("the font name");
        if (extended && Accept(",")) {
          d.fontWeight = Int();
          if (Accept(",")) {
            d.fontItalic = Int();
            if (Accept(",")) d.fontCharset = Int();
          }
        }
        hasFont = true;
      } else if (word == "MENU") {
        d.menuId = ResourceId("menu id");
      } else if (word == "LANGUAGE") {
        Expression();
        Expect(",");
        Expression();
      } else if (word == "CHARACTERISTICS" || word == "VERSION") {
        Expression();
      } else {
        Fail("unsupported dialog statement " + word);
      }
    }
    // windres: without STYLE a dialog is a bordered pop-up with a system menu; CAPTION and FONT
    // add their bits whatever STYLE says.
    d.style = hasStyle ? style : (rc::kWsPopup | rc::kWsBorder | rc::kWsSysMenu);
    if (hasCaption) d.style |= rc::kWsCaption;
    if (hasFont) d.style |= rc::kDsSetFont;

    ExpectBegin();
    while (!IsEndOfBlock()) {
      CheckNotEnd("dialog");
      d.controls.push_back(Control(extended));
    }
    ExpectEnd();
    if (!out_.dialogs.emplace(id, std::move(d)).second) {
      throw ParseError{idLine, "dialog " + std::to_string(id) + " defined twice"};
    }
  }

  // Optional `, style [, exstyle [, helpid]]` after a control's rectangle.
  void StyleTail(ControlTemplate& c, uint32_t start, bool extended) {
    if (!Accept(",")) return;
    c.style = Style(start);
    if (!Accept(",")) return;
    c.exStyle = Style(0);
    if (extended && Accept(",")) Expression();
  }

  void Rectangle(ControlTemplate& c) {
    c.x = Int();
    Expect(",");
    c.y = Int();
    Expect(",");
    c.cx = Int();
    Expect(",");
    c.cy = Int();
  }

  ControlTemplate Control(bool extended) {
    if (Cur().kind != Kind::Name) Fail("expected a control statement but found " + Describe(Cur()));
    const Token& keywordToken = Take();
    std::string keyword = base::UpperAscii(keywordToken.text);
    const uint32_t childVisible = rc::kWsChild | rc::kWsVisible;
    ControlTemplate c;

    if (keyword == "CONTROL") {
      if (Cur().kind == Kind::String) {
        c.text = Take().text;
      } else {
        c.text = std::to_string(Int());
      }
      Expect(",");
      c.id = Int();
      Expect(",");
      if (Cur().kind != Kind::String) Fail("the control class must be a quoted string");
      c.className = CanonicalClass(Take().text);
      Expect(",");
      c.style = Style(childVisible);
      Expect(",");
      Rectangle(c);
      if (Accept(",")) {
        c.exStyle = Style(0);
        if (extended && Accept(",")) Expression();
      }
      return c;
    }

    if (keyword == "ICON") {
      // The icon's name or number is the text; windres writes a zero size, the icon sizes itself.
      if (Cur().kind == Kind::String) {
        c.text = Take().text;
      } else {
        c.text = std::to_string(Int());
      }
      Expect(",");
      c.id = Int();
      Expect(",");
      c.x = Int();
      Expect(",");
      c.y = Int();
      c.className = "Static";
      const uint32_t ssIcon = 0x3;
      c.style = childVisible | ssIcon;
      if (Accept(",")) {
        Int();
        Expect(",");
        Int();
        StyleTail(c, childVisible | ssIcon, extended);
      }
      return c;
    }

    const Statement* s = FindStatement(keyword);
    if (!s) throw ParseError{keywordToken.line, "unsupported control statement " + keywordToken.text};
    c.className = s->className;
    if (s->hasText) {
      c.text = ExpectString("the control text");
      Expect(",");
    }
    c.id = Int();
    Expect(",");
    Rectangle(c);
    c.style = childVisible | s->defaultStyle;
    StyleTail(c, childVisible | s->baseStyle, extended);
    return c;
  }

  // --- Dialog initialisation data ------------------------------------------------------------

  void DialogInit(int dialogId, int line) {
    SkipMemoryFlags();
    PendingInit init{dialogId, line, {}};
    ExpectBegin();
    while (!IsEndOfBlock()) {
      CheckNotEnd("DLGINIT");
      if (Cur().kind == Kind::String) Fail("write DLGINIT data as numbers");
      int64_t w = Expression();
      if (w < -32768 || w > 0xFFFF) Fail("DLGINIT value does not fit a word");
      init.words.push_back(w & 0xFFFF);
      Accept(",");
    }
    ExpectEnd();
    pending_.push_back(std::move(init));
  }

  // The data is a byte stream, read the way the dialog code reads it: control id (2 bytes),
  // message (2), byte count (4), the bytes; a 0 id ends it. Words are little-endian, and an odd
  // count makes the next entry start mid-word.
  void ApplyDialogInit() {
    const unsigned kAddString = 0x403;
    for (const PendingInit& init : pending_) {
      auto dialog = out_.dialogs.find(init.dialogId);
      if (dialog == out_.dialogs.end()) {
        throw ParseError{init.line, "DLGINIT for missing dialog " + std::to_string(init.dialogId)};
      }
      std::vector<unsigned char> b;
      for (int64_t w : init.words) {
        b.push_back(static_cast<unsigned char>(w & 0xFF));
        b.push_back(static_cast<unsigned char>((w >> 8) & 0xFF));
      }
      auto word = [&b](size_t at) { return static_cast<unsigned>(b[at] | (b[at + 1] << 8)); };
      size_t i = 0;
      for (;;) {
        if (i + 2 > b.size()) throw ParseError{init.line, "DLGINIT data does not end with 0"};
        if (word(i) == 0) break;
        if (i + 8 > b.size()) throw ParseError{init.line, "DLGINIT entry cut short"};
        int controlId = static_cast<int16_t>(word(i));
        unsigned message = word(i + 2);
        size_t bytes = word(i + 4) | (static_cast<size_t>(word(i + 6)) << 16);
        i += 8;
        if (bytes > b.size() - i) throw ParseError{init.line, "DLGINIT entry longer than its data"};
        std::string text;
        for (size_t k = i; k < i + bytes && b[k] != 0; ++k) text += static_cast<char>(b[k]);
        i += bytes;
        ControlTemplate* control = nullptr;
        for (ControlTemplate& c : dialog->second.controls) {
          if (c.id == controlId) control = &c;
        }
        if (!control || control->className != "ComboBox") {
          throw ParseError{init.line, "DLGINIT names control " + std::to_string(controlId) +
                                          ", which is not a combo box of dialog " + std::to_string(init.dialogId)};
        }
        if (message != kAddString) throw ParseError{init.line, "DLGINIT message other than add-string"};
        control->items.push_back(text);
      }
    }
  }

  // --- Menus ----------------------------------------------------------------------------------

  void Menu(int id, int idLine) {
    SkipMemoryFlags();
    MenuTemplate m;
    m.id = id;
    m.items = MenuItems();
    if (!out_.menus.emplace(id, std::move(m)).second) {
      throw ParseError{idLine, "menu " + std::to_string(id) + " defined twice"};
    }
  }

  void MenuOptions() {
    static const char* const kOptions[] = {"CHECKED", "GRAYED", "HELP", "INACTIVE", "MENUBARBREAK", "MENUBREAK"};
    for (;;) {
      Accept(",");
      bool found = false;
      for (const char* o : kOptions) found = found || IsKeyword(o);
      if (!found) return;
      ++i_;
    }
  }

  std::vector<MenuItemTemplate> MenuItems() {
    std::vector<MenuItemTemplate> items;
    ExpectBegin();
    while (!IsEndOfBlock()) {
      CheckNotEnd("menu");
      MenuItemTemplate item;
      if (IsKeyword("POPUP")) {
        ++i_;
        item.text = ExpectString("the popup text");
        MenuOptions();
        item.children = MenuItems();
      } else if (IsKeyword("MENUITEM")) {
        ++i_;
        if (IsKeyword("SEPARATOR")) {
          ++i_;
          item.separator = true;
        } else {
          item.text = ExpectString("the item text");
          Expect(",");
          item.id = Int();
          MenuOptions();
        }
      } else {
        Fail("expected POPUP or MENUITEM but found " + Describe(Cur()));
      }
      items.push_back(std::move(item));
    }
    ExpectEnd();
    return items;
  }

  // --- Version information ---------------------------------------------------------------------

  void VersionInfo() {
    while (!IsBegin()) {
      CheckNotEnd("VERSIONINFO");
      if (Cur().kind != Kind::Name) Fail("expected a VERSIONINFO statement but found " + Describe(Cur()));
      std::string word = base::UpperAscii(Take().text);
      if (word == "FILEVERSION" || word == "PRODUCTVERSION") {
        std::vector<int> parts{Int()};
        while (Accept(",")) parts.push_back(Int());
        if (parts.size() > 4) Fail(word + " has more than four parts");
        if (word == "FILEVERSION") out_.fileVersion = parts;
      } else if (word == "FILEFLAGSMASK" || word == "FILEFLAGS" || word == "FILEOS" || word == "FILETYPE" ||
                 word == "FILESUBTYPE") {
        Expression();
      } else {
        Fail("unsupported VERSIONINFO statement " + word);
      }
    }
    VersionBlock();
  }

  void VersionBlock() {
    ExpectBegin();
    while (!IsEndOfBlock()) {
      CheckNotEnd("VERSIONINFO");
      if (IsKeyword("BLOCK")) {
        ++i_;
        ExpectString("the block name");
        VersionBlock();
      } else if (IsKeyword("VALUE")) {
        ++i_;
        std::string key = ExpectString("the value name");
        bool first = true;
        while (Accept(",")) {
          if (Cur().kind == Kind::String) {
            std::string value = Take().text;
            if (first) out_.versionStrings[key] = value;
          } else {
            Expression();
          }
          first = false;
        }
      } else {
        Fail("expected BLOCK or VALUE but found " + Describe(Cur()));
      }
    }
    ExpectEnd();
  }

  std::vector<Token> t_;
  size_t i_ = 0;
  ResourceSet& out_;
  std::vector<PendingInit> pending_;
};

bool Run(const char* where, const std::string& text, ResourceSet& out, bool header, std::string& error) {
  try {
    Parser parser(Lexer(text).Run(), out);
    if (header) {
      parser.Header();
    } else {
      parser.Script();
    }
    return true;
  } catch (const ParseError& e) {
    error = std::string(where) + " line " + std::to_string(e.line) + ": " + e.message;
    return false;
  }
}

}  // namespace

bool ParseResources(const std::string& headerText, const std::string& scriptText, ResourceSet& out,
                    std::string& error) {
  return Run("header", headerText, out, true, error) && Run("script", scriptText, out, false, error);
}

const ResourceSet& BuiltInResources() {
  static const ResourceSet resources = [] {
    ResourceSet set;
    std::string error;
    if (!ParseResources(EmbeddedResourceHeader(), EmbeddedResourceScript(), set, error)) {
      std::fprintf(stderr, "built-in resources do not parse: %s\n", error.c_str());
      std::abort();
    }
    return set;
  }();
  return resources;
}

}  // namespace sw::ui
