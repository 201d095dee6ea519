#include "platform/ui/datetime_format.h"

#include <cctype>
#include <cstdio>

namespace platform::ui::commctrl {
namespace {

constexpr int kMinYear = 1601;
constexpr int kMaxYear = 9999;

FieldKind KindOf(char c, int run, bool* padded) {
  *padded = run >= 2;
  switch (c) {
    case 'y':
      return run >= 4 ? FieldKind::kYear4 : FieldKind::kYear2;
    case 'M':
      return FieldKind::kMonth;
    case 'd':
      return FieldKind::kDay;
    case 'H':
    case 'h':
      return FieldKind::kHour;
    case 'm':
      return FieldKind::kMinute;
    case 's':
      return FieldKind::kSecond;
    default:
      return FieldKind::kLiteral;
  }
}

void AddLiteral(std::vector<DateField>* fields, const std::string& text) {
  if (!fields->empty() && fields->back().kind == FieldKind::kLiteral) {
    fields->back().literal += text;
    return;
  }
  DateField f;
  f.literal = text;
  fields->push_back(f);
}

// Reads the digits of one field at `text[*at]`: exactly its width when padded, else 1 or 2.
bool ReadNumber(const std::string& text, size_t* at, const DateField& f, int* value) {
  size_t want = f.kind == FieldKind::kYear4 ? 4 : 2;
  size_t n = 0;
  int v = 0;
  while (*at + n < text.size() && n < want &&
         std::isdigit(static_cast<unsigned char>(text[*at + n]))) {
    v = v * 10 + (text[*at + n] - '0');
    ++n;
  }
  if (n == 0 || (f.padded && n != want)) return false;
  *at += n;
  *value = v;
  return true;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidTime(const SYSTEMTIME& t) {
  return t.wYear >= kMinYear && t.wYear <= kMaxYear && t.wMonth >= 1 && t.wMonth <= 12 &&
         t.wDay >= 1 && t.wDay <= DaysInMonth(t.wYear, t.wMonth) && t.wHour < 24 &&
         t.wMinute < 60 && t.wSecond < 60 && t.wMilliseconds < 1000;
}

void SetDayOfWeek(SYSTEMTIME* t) {
  // Sakamoto's method.
  static const int kOffsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int y = t->wYear - (t->wMonth < 3 ? 1 : 0);
  t->wDayOfWeek = static_cast<WORD>(
      (y + y / 4 - y / 100 + y / 400 + kOffsets[(t->wMonth + 11) % 12] + t->wDay) % 7);
}

DateTimeFormat DateTimeFormat::Parse(const std::string& format) {
  DateTimeFormat out;
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (c == '\'') {
      std::string text;
      ++i;
      while (i < format.size()) {
        if (format[i] == '\'') {
          if (i + 1 < format.size() && format[i + 1] == '\'') {
            text += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        text += format[i++];
      }
      if (text.empty()) text = "'";
      AddLiteral(&out.fields_, text);
      continue;
    }
    int run = 1;
    while (i + run < format.size() && format[i + run] == c) ++run;
    bool padded;
    FieldKind kind = KindOf(c, run, &padded);
    if (kind == FieldKind::kLiteral) {
      AddLiteral(&out.fields_, std::string(run, c));
    } else {
      DateField f;
      f.kind = kind;
      f.padded = padded;
      out.fields_.push_back(f);
    }
    i += run;
  }
  return out;
}

std::string DateTimeFormat::FieldText(const DateField& f, const SYSTEMTIME& t) {
  if (f.kind == FieldKind::kLiteral) return f.literal;
  char buffer[8];
  int value = FieldValue(f.kind, t);
  if (f.kind == FieldKind::kYear4) {
    std::snprintf(buffer, sizeof buffer, "%04d", value);
  } else {
    std::snprintf(buffer, sizeof buffer, f.padded ? "%02d" : "%d", value);
  }
  return buffer;
}

std::string DateTimeFormat::Format(const SYSTEMTIME& t) const {
  std::string out;
  for (const DateField& f : fields_) out += FieldText(f, t);
  return out;
}

bool DateTimeFormat::ParseText(const std::string& text, const SYSTEMTIME& base,
                               SYSTEMTIME* out) const {
  SYSTEMTIME t = base;
  size_t at = 0;
  for (const DateField& f : fields_) {
    if (f.kind == FieldKind::kLiteral) {
      if (text.compare(at, f.literal.size(), f.literal) != 0) return false;
      at += f.literal.size();
      continue;
    }
    int value;
    if (!ReadNumber(text, &at, f, &value)) return false;
    switch (f.kind) {
      case FieldKind::kYear4:
        t.wYear = static_cast<WORD>(value);
        break;
      case FieldKind::kYear2:
        t.wYear = static_cast<WORD>(2000 + value);
        break;
      case FieldKind::kMonth:
        t.wMonth = static_cast<WORD>(value);
        break;
      case FieldKind::kDay:
        t.wDay = static_cast<WORD>(value);
        break;
      case FieldKind::kHour:
        t.wHour = static_cast<WORD>(value);
        break;
      case FieldKind::kMinute:
        t.wMinute = static_cast<WORD>(value);
        break;
      case FieldKind::kSecond:
        t.wSecond = static_cast<WORD>(value);
        break;
      case FieldKind::kLiteral:
        break;
    }
  }
  if (at != text.size() || !IsValidTime(t)) return false;
  SetDayOfWeek(&t);
  *out = t;
  return true;
}

int FieldValue(FieldKind kind, const SYSTEMTIME& t) {
  switch (kind) {
    case FieldKind::kYear4:
      return t.wYear;
    case FieldKind::kYear2:
      return t.wYear % 100;
    case FieldKind::kMonth:
      return t.wMonth;
    case FieldKind::kDay:
      return t.wDay;
    case FieldKind::kHour:
      return t.wHour;
    case FieldKind::kMinute:
      return t.wMinute;
    case FieldKind::kSecond:
      return t.wSecond;
    case FieldKind::kLiteral:
      return 0;
  }
  return 0;
}

int FieldMin(FieldKind kind) {
  switch (kind) {
    case FieldKind::kYear4:
      return kMinYear;
    case FieldKind::kMonth:
    case FieldKind::kDay:
      return 1;
    default:
      return 0;
  }
}

int FieldMax(FieldKind kind, const SYSTEMTIME& t) {
  switch (kind) {
    case FieldKind::kYear4:
      return kMaxYear;
    case FieldKind::kYear2:
      return 99;
    case FieldKind::kMonth:
      return 12;
    case FieldKind::kDay:
      return DaysInMonth(t.wYear, t.wMonth);
    case FieldKind::kHour:
      return 23;
    case FieldKind::kMinute:
    case FieldKind::kSecond:
      return 59;
    case FieldKind::kLiteral:
      return 0;
  }
  return 0;
}

int FieldDigits(FieldKind kind) { return kind == FieldKind::kYear4 ? 4 : 2; }

bool SetField(FieldKind kind, int value, SYSTEMTIME* t) {
  SYSTEMTIME n = *t;
  if (value < 0 || value > 9999) return false;
  auto v = static_cast<WORD>(value);
  switch (kind) {
    case FieldKind::kYear4:
      n.wYear = v;
      break;
    case FieldKind::kYear2:
      n.wYear = static_cast<WORD>(n.wYear / 100 * 100 + value % 100);
      break;
    case FieldKind::kMonth:
      n.wMonth = v;
      break;
    case FieldKind::kDay:
      n.wDay = v;
      break;
    case FieldKind::kHour:
      n.wHour = v;
      break;
    case FieldKind::kMinute:
      n.wMinute = v;
      break;
    case FieldKind::kSecond:
      n.wSecond = v;
      break;
    case FieldKind::kLiteral:
      return false;
  }
  if (kind != FieldKind::kDay && n.wMonth >= 1 && n.wMonth <= 12) {
    int last = DaysInMonth(n.wYear, n.wMonth);
    if (n.wDay > last) n.wDay = static_cast<WORD>(last);
  }
  if (!IsValidTime(n)) return false;
  SetDayOfWeek(&n);
  *t = n;
  return true;
}

void StepField(FieldKind kind, int delta, SYSTEMTIME* t) {
  if (kind == FieldKind::kLiteral) return;
  int lo = FieldMin(kind);
  int hi = FieldMax(kind, *t);
  int v = FieldValue(kind, *t) + delta;
  if (kind == FieldKind::kYear4) {
    v = v < lo ? lo : v > hi ? hi : v;
  } else if (v > hi) {
    v = lo;
  } else if (v < lo) {
    v = hi;
  }
  SetField(kind, v, t);
}

}  // namespace platform::ui::commctrl
