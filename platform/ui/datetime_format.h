#pragma once
// Internal to the date-time picker: its display format as a list of fields, and the calendar
// rules that tell a real time from an impossible one.

#include <string>
#include <vector>

#include "platform/kernel/win_types.h"

namespace platform::ui::commctrl {

enum class FieldKind { kLiteral, kYear4, kYear2, kMonth, kDay, kHour, kMinute, kSecond };

struct DateField {
  FieldKind kind = FieldKind::kLiteral;
  bool padded = true;  // "MM" rather than "M"
  std::string literal;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Years 1601 to 9999, real months and days, hours below 24, minutes and seconds below 60.
bool IsValidTime(const SYSTEMTIME& t);
// Fills wDayOfWeek (0 Sunday) from the date.
void SetDayOfWeek(SYSTEMTIME* t);

class DateTimeFormat {
 public:
  // yyyy, yy, MM, M, dd, d, HH, H, hh, h, mm, m, ss, s; text in single quotes ('' for a
  // quote) and any other character are literal.
  static DateTimeFormat Parse(const std::string& format);

  const std::vector<DateField>& fields() const { return fields_; }
  std::string Format(const SYSTEMTIME& t) const;
  // The text of one field.
  static std::string FieldText(const DateField& f, const SYSTEMTIME& t);
  // Reads a text laid out by this format into *out (keeping what the format does not show
  // from `base`); false when it does not match or is not a real time.
  bool ParseText(const std::string& text, const SYSTEMTIME& base, SYSTEMTIME* out) const;

 private:
  std::vector<DateField> fields_;
};

// Field values and their limits.
int FieldValue(FieldKind kind, const SYSTEMTIME& t);
int FieldMin(FieldKind kind);
int FieldMax(FieldKind kind, const SYSTEMTIME& t);
int FieldDigits(FieldKind kind);
// Sets the field; a day beyond the new month's end is pulled back to it. False (and *t
// unchanged) when the result is not a real time.
bool SetField(FieldKind kind, int value, SYSTEMTIME* t);
// Up (+1) or down (-1), wrapping within the field's range except for years.
void StepField(FieldKind kind, int delta, SYSTEMTIME* t);

}  // namespace platform::ui::commctrl
