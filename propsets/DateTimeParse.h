#pragma once
// The parse of a typed local date and time, behind TextToFileTime and
// IsValidDateTimeText, and of a time of day, behind IsValidTimeText.
//
// The grammar is strict; a text matches one of these as a whole or fails:
//
//   date-time := date [ " " time ]     a date alone means midnight
//   date      := yyyy sep m sep d      sep is "/" or "-", the same both times
//   time      := h ":" n [ ":" s ]     missing seconds mean 0
//   number    := [ "+" | "-" ] ( digit+ [ "." digit* ] | "." digit+ )
//
//   yyyy is exactly four digits, 0100 to 9999; m, d, h, n and s are one or two
//   digits each. The date must exist in the proleptic Gregorian calendar;
//   hours run 0 to 23, minutes and seconds 0 to 59.
//
// A number is an automation date: its whole part counts days from 1899-12-30,
// its fraction, taken without the sign, is the time of day, rounded to the
// millisecond. Like any automation date it must fall in the years 100 to 9999.
//
// Nothing else is read: no blank before, after or doubled, no time without a
// date, no two-digit year, no month name, no AM/PM, no exponent, no full-width
// digit. The result is local time, milliseconds included; whether a FILETIME
// can hold it is for the caller to decide.

#include <optional>
#include <string_view>

#include "platform/WinTypes.h"

namespace tavrin {

// A date-time or a number as above, broken down with wDayOfWeek filled in.
std::optional<SYSTEMTIME> ParseDateTime(std::string_view text);

struct TimeOfDay {
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
};

// A time as above and nothing else.
std::optional<TimeOfDay> ParseTimeOfDay(std::string_view text);

}  // namespace tavrin
