// The resource source parser: a tokenizer and a recursive reader of dialogs and string tables.
#include "platform/ui/dialog_rc.h"

#include <cctype>
#include <cstdlib>
#include <set>

#include "platform/ui/dialog.h"

namespace platform::ui::rc {
namespace {

enum class Tok { kEnd, kName, kNumber, kString, kComma, kBar, kDefine };

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;
  long number = 0;
  int line = 1;
};

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}
  // False with *error on an unterminated string or comment, or a stray character.
  bool Next(Token* t, std::string* error) {
    SkipBlanks();
    *t = Token{};
    t->line = line_;
    if (!ok_) return Fail("unterminated comment", error);
    if (i_ >= s_.size()) return true;
    char c = s_[i_];
    if (c == ',' || c == '|') {
      ++i_;
      t->kind = c == ',' ? Tok::kComma : Tok::kBar;
      return true;
    }
    if (c == '"') return String(t, error);
    if (c == '#') {
      ++i_;
      t->kind = Tok::kDefine;
      t->text = Word();
      return true;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-') return Number(t, error);
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      t->kind = Tok::kName;
      t->text = Word();
      return true;
    }
    return Fail(std::string("unexpected character '") + c + "'", error);
  }
  int line() const { return line_; }

 private:
  bool Fail(const std::string& why, std::string* error) {
    *error = std::to_string(line_) + ": " + why;
    return false;
  }
  void SkipBlanks() {
    while (i_ < s_.size()) {
      char c = s_[i_];
      if (c == '\n') ++line_;
      if (std::isspace(static_cast<unsigned char>(c))) {
        ++i_;
      } else if (s_.substr(i_, 2) == "//") {
        while (i_ < s_.size() && s_[i_] != '\n') ++i_;
      } else if (s_.substr(i_, 2) == "/*") {
        size_t end = s_.find("*/", i_ + 2);
        if (end == std::string_view::npos) {
          ok_ = false;
          i_ = s_.size();
          return;
        }
        for (size_t k = i_; k < end; ++k) line_ += s_[k] == '\n';
        i_ = end + 2;
      } else {
        return;
      }
    }
  }
  std::string Word() {
    size_t start = i_;
    while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_')) {
      ++i_;
    }
    return std::string(s_.substr(start, i_ - start));
  }
  bool Number(Token* t, std::string* error) {
    std::string digits(s_.substr(i_, 24));
    char* end = nullptr;
    long v = std::strtol(digits.c_str(), &end, 0);
    if (end == digits.c_str() || (end - digits.c_str() == 1 && digits[0] == '-')) {
      return Fail("bad number", error);
    }
    i_ += static_cast<size_t>(end - digits.c_str());
    if (i_ < s_.size() && (s_[i_] == 'L' || s_[i_] == 'l')) ++i_;
    t->kind = Tok::kNumber;
    t->number = v;
    return true;
  }
  bool String(Token* t, std::string* error) {
    ++i_;
    t->kind = Tok::kString;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '\n') break;
      if (c == '"') {
        if (i_ < s_.size() && s_[i_] == '"') {
          t->text += '"';
          ++i_;
          continue;
        }
        return true;
      }
      if (c == '\\' && i_ < s_.size()) {
        char e = s_[i_++];
        t->text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        continue;
      }
      t->text += c;
    }
    return Fail("unterminated string", error);
  }

  std::string_view s_;
  size_t i_ = 0;
  int line_ = 1;
  bool ok_ = true;
};

// How an item keyword reads and what it makes.
struct ItemKind {
  const char* keyword;
  const char* class_name;
  DWORD style;
  bool has_text;
};

const ItemKind kItemKinds[] = {
    {"LTEXT", "STATIC", SS_LEFT | WS_GROUP, true},
    {"CTEXT", "STATIC", SS_CENTER | WS_GROUP, true},
    {"RTEXT", "STATIC", SS_RIGHT | WS_GROUP, true},
    {"PUSHBUTTON", "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, true},
    {"DEFPUSHBUTTON", "BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, true},
    {"CHECKBOX", "BUTTON", BS_CHECKBOX | WS_TABSTOP, true},
    {"AUTOCHECKBOX", "BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, true},
    {"RADIOBUTTON", "BUTTON", BS_RADIOBUTTON, true},
    {"AUTORADIOBUTTON", "BUTTON", BS_AUTORADIOBUTTON, true},
    {"GROUPBOX", "BUTTON", BS_GROUPBOX, true},
    {"EDITTEXT", "EDIT", ES_LEFT | WS_BORDER | WS_TABSTOP, false},
    {"LISTBOX", "LISTBOX", LBS_NOTIFY | WS_BORDER, false},
    {"COMBOBOX", "COMBOBOX", CBS_SIMPLE | WS_TABSTOP, false},
};

class Parser {
 public:
  Parser(std::string_view source, File* out, std::string* error)
      : lex_(source), out_(out), error_(error) {}

  bool Run() {
    if (!Advance()) return false;
    while (tok_.kind != Tok::kEnd) {
      if (tok_.kind == Tok::kDefine) {
        if (!Define()) return false;
      } else if (IsName("STRINGTABLE")) {
        if (!StringTable()) return false;
      } else if (!DialogBlock()) {
        return false;
      }
    }
    return true;
  }

 private:
  bool Fail(const std::string& why) {
    *error_ = std::to_string(tok_.line) + ": " + why;
    return false;
  }
  bool Advance() { return lex_.Next(&tok_, error_); }
  bool IsName(const char* word) const { return tok_.kind == Tok::kName && tok_.text == word; }
  bool Expect(Tok kind, const char* what) {
    if (tok_.kind != kind) return Fail(std::string("expected ") + what);
    return Advance();
  }

  bool Lookup(const std::string& name, long* value) {
    for (const auto& [n, v] : out_->defines) {
      if (n == name) {
        *value = v;
        return true;
      }
    }
    return KnownConstant(name, value);
  }

  bool Define() {
    if (tok_.text != "define") {
      // Other preprocessor lines (#include of a header with the same defines) are skipped.
      int line = tok_.line;
      while (tok_.kind != Tok::kEnd && tok_.line == line) {
        if (!Advance()) return false;
      }
      return true;
    }
    if (!Advance()) return false;
    if (tok_.kind != Tok::kName) return Fail("expected a name after #define");
    std::string name = tok_.text;
    if (!Advance()) return false;
    long value = 0;
    if (!Value(&value)) return false;
    out_->defines.emplace_back(name, static_cast<int>(value));
    return true;
  }

  // number | name
  bool Term(long* value) {
    if (tok_.kind == Tok::kNumber) {
      *value = tok_.number;
      return Advance();
    }
    if (tok_.kind == Tok::kName) {
      if (!Lookup(tok_.text, value)) return Fail("unknown name " + tok_.text);
      return Advance();
    }
    return Fail("expected a number or a name");
  }
  bool Value(long* value) { return Term(value); }

  // term ('|' term)*, each term possibly "NOT term"; bits start from `base`.
  bool Style(DWORD base, DWORD* style) {
    DWORD s = base;
    for (;;) {
      bool remove = IsName("NOT");
      if (remove && !Advance()) return false;
      long v = 0;
      if (!Term(&v)) return false;
      s = remove ? (s & ~static_cast<DWORD>(v)) : (s | static_cast<DWORD>(v));
      if (tok_.kind != Tok::kBar) break;
      if (!Advance()) return false;
    }
    *style = s;
    return true;
  }

  bool Comma() { return Expect(Tok::kComma, "','"); }

  bool Rect(int* x, int* y, int* cx, int* cy) {
    long v[4];
    for (int i = 0; i < 4; ++i) {
      if (i > 0 && !Comma()) return false;
      if (!Value(&v[i])) return false;
    }
    *x = static_cast<int>(v[0]);
    *y = static_cast<int>(v[1]);
    *cx = static_cast<int>(v[2]);
    *cy = static_cast<int>(v[3]);
    return true;
  }

  bool BlockStart() {
    if (IsName("BEGIN")) return Advance();
    return Fail("expected BEGIN");
  }

  bool StringTable() {
    if (!Advance() || !BlockStart()) return false;
    while (!IsName("END")) {
      if (tok_.kind == Tok::kEnd) return Fail("STRINGTABLE without END");
      long id = 0;
      if (!Value(&id)) return false;
      if (tok_.kind == Tok::kComma && !Advance()) return false;
      if (tok_.kind != Tok::kString) return Fail("expected a string");
      for (const auto& s : out_->strings) {
        if (s.first == id) return Fail("string " + std::to_string(id) + " given twice");
      }
      out_->strings.emplace_back(static_cast<int>(id), tok_.text);
      if (!Advance()) return false;
    }
    return Advance();
  }

  bool DialogName(Dialog* d) {
    long id = 0;
    if (tok_.kind == Tok::kNumber || (tok_.kind == Tok::kName && Lookup(tok_.text, &id))) {
      if (tok_.kind == Tok::kNumber) id = tok_.number;
      if (id <= 0 || id > 0xFFFF) return Fail("dialog id out of 1..65535");
      d->id = static_cast<int>(id);
    } else if (tok_.kind == Tok::kName) {
      d->name = tok_.text;
    } else {
      return Fail("expected a dialog name");
    }
    for (const Dialog& other : out_->dialogs) {
      if (other.id == d->id && other.name == d->name) return Fail("dialog given twice");
    }
    return Advance();
  }

  bool Bitmap(const Dialog& named) {
    if (named.id == 0) return Fail("a bitmap needs a number as its id");
    for (const auto& b : out_->bitmaps) {
      if (b.first == named.id) return Fail("bitmap " + std::to_string(named.id) + " given twice");
    }
    if (!Advance()) return false;
    if (tok_.kind != Tok::kString || tok_.text.empty()) return Fail("expected the bitmap's file");
    out_->bitmaps.emplace_back(named.id, tok_.text);
    return Advance();
  }

  bool Data(const Dialog& named) {
    const std::string type = tok_.text;
    if (named.id == 0) return Fail("a " + type + " resource needs a number as its id");
    for (const DataFile& d : out_->data) {
      if (d.type == type && d.id == named.id) {
        return Fail(type + " " + std::to_string(named.id) + " given twice");
      }
    }
    if (!Advance()) return false;
    if (tok_.kind != Tok::kString || tok_.text.empty()) return Fail("expected the resource's file");
    out_->data.push_back(DataFile{type, named.id, tok_.text});
    return Advance();
  }

  bool DialogBlock() {
    Dialog d;
    d.style = WS_POPUP | WS_BORDER | WS_SYSMENU;
    if (!DialogName(&d)) return false;
    if (IsName("BITMAP")) return Bitmap(d);
    if (IsName("TYPELIB") || IsName("RCDATA")) return Data(d);
    if (!IsName("DIALOG") && !IsName("DIALOGEX")) return Fail("expected DIALOG or DIALOGEX");
    if (!Advance() || !Rect(&d.x, &d.y, &d.cx, &d.cy)) return false;
    if (tok_.kind == Tok::kComma) {  // help id
      long help = 0;
      if (!Advance() || !Value(&help)) return false;
    }
    bool caption = false;
    while (!IsName("BEGIN")) {
      if (!DialogStatement(&d, &caption)) return false;
    }
    if (caption) d.style |= WS_CAPTION;
    if (!BlockStart()) return false;
    while (!IsName("END")) {
      if (tok_.kind == Tok::kEnd) return Fail("dialog without END");
      Item item;
      if (!ItemLine(&item)) return false;
      d.items.push_back(std::move(item));
    }
    out_->dialogs.push_back(std::move(d));
    return Advance();
  }

  bool DialogStatement(Dialog* d, bool* caption) {
    if (IsName("STYLE")) return Advance() && Style(0, &d->style);
    if (IsName("EXSTYLE")) return Advance() && Style(0, &d->ex_style);
    if (IsName("CAPTION")) {
      if (!Advance()) return false;
      if (tok_.kind != Tok::kString) return Fail("expected the caption text");
      d->caption = tok_.text;
      *caption = true;
      return Advance();
    }
    if (IsName("FONT")) {
      long points = 0;
      if (!Advance() || !Value(&points) || !Comma()) return false;
      if (points <= 0 || points > 72) return Fail("font size out of 1..72");
      if (tok_.kind != Tok::kString) return Fail("expected the font face");
      d->font_points = static_cast<int>(points);
      d->font_face = tok_.text;
      if (!Advance()) return false;
      while (tok_.kind == Tok::kComma) {  // weight, italic, charset: the face decides
        long ignored = 0;
        if (!Advance() || !Value(&ignored)) return false;
      }
      d->style |= DS_SETFONT;
      return true;
    }
    if (tok_.kind == Tok::kEnd) return Fail("dialog without BEGIN");
    return Fail("unknown dialog statement " + tok_.text);
  }

  bool ItemLine(Item* item) {
    if (tok_.kind != Tok::kName) return Fail("expected a control keyword");
    if (tok_.text == "CONTROL") return ControlLine(item);
    for (const ItemKind& k : kItemKinds) {
      if (tok_.text != k.keyword) continue;
      item->class_name = k.class_name;
      if (!Advance()) return false;
      if (k.has_text && !Text(item)) return false;
      long id = 0;
      if (!Value(&id) || !Comma() || !Rect(&item->x, &item->y, &item->cx, &item->cy)) {
        return false;
      }
      item->id = static_cast<int>(id);
      DWORD base = WS_CHILD | WS_VISIBLE | k.style;
      item->style = base;
      if (tok_.kind != Tok::kComma) return true;
      if (!Advance() || !Style(base, &item->style)) return false;
      if (tok_.kind != Tok::kComma) return true;
      return Advance() && Style(0, &item->ex_style);
    }
    return Fail("unknown control keyword " + tok_.text);
  }

  bool Text(Item* item) {
    if (tok_.kind != Tok::kString) return Fail("expected the control's text");
    item->text = tok_.text;
    return Advance() && Comma();
  }

  bool ControlLine(Item* item) {
    if (!Advance() || !Text(item)) return false;
    long id = 0;
    if (!Value(&id) || !Comma()) return false;
    item->id = static_cast<int>(id);
    if (tok_.kind != Tok::kString && tok_.kind != Tok::kName) return Fail("expected a class");
    item->class_name = tok_.text;
    if (!Advance() || !Comma() || !Style(WS_CHILD | WS_VISIBLE, &item->style) || !Comma()) {
      return false;
    }
    if (!Rect(&item->x, &item->y, &item->cx, &item->cy)) return false;
    if (tok_.kind != Tok::kComma) return true;
    return Advance() && Style(0, &item->ex_style);
  }

  Lexer lex_;
  Token tok_;
  File* out_;
  std::string* error_;
};

}  // namespace

bool Parse(std::string_view source, File* out, std::string* error) {
  *out = File{};
  Parser parser(source, out, error);
  if (parser.Run()) return true;
  *out = File{};
  return false;
}

}  // namespace platform::ui::rc
