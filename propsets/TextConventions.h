#pragma once
// The text forms in which the grids show and edit dates, times and the
// editing-time duration, and the checks the update commands run on them.
// Every text is CP932 bytes; every position below is a 1-based byte position.
//
//   point in time  "yyyy/mm/dd hh:nn:ss", local time; "0000/00/00 00:00:00"
//                  stands for FILETIME 0, "no time set"
//   duration       "hh:nn:ss & dddd日", at least four day digits;
//                  "00:00:00 & 0000日" is zero
//
// Local time carries the UTC offset in force now (see TimeConversion.h).

#include <string>
#include <string_view>

#include "platform/WinTypes.h"

namespace tavrin {

// FILETIME 0 gives the zero text. Otherwise the local time, milliseconds
// dropped. A value the calendar conversions cannot take (2^63 ticks or more,
// or a local time outside 0 .. 2^63-1 ticks) is still shown by the same integer
// calendar: its year then has five digits, or is 1600 for a time just after
// 1601-01-01 UTC seen from west of Greenwich. IsValidDateTimeText rejects the
// first by its blank position and the second as out of range, so such a text
// is never written back.
std::string FileTimeToText(FILETIME fileTime);

// The zero text gives 0. Otherwise the text is read by ParseDateTime as local
// time and converted to UTC. Raises ConversionError
// "'<text>' は有効な日付および時刻ではありません" when the parse fails or the
// result is no FILETIME: before 1601-01-01 00:00:00 UTC, past what a FILETIME
// holds, or exactly 1601-01-01 00:00:00 UTC, whose 0 ticks would turn a typed
// date silently into "no time set".
FILETIME TextToFileTime(std::string_view text);

// The time of day d ticks after a midnight, " & ", whole days with at least
// four digits, "日". The tick count is unsigned throughout.
std::string EditTimeToText(FILETIME duration);

// The zero text gives 0. Otherwise hours from positions 1-2, minutes from 4-5
// and seconds from 7-8 as 32-bit integer text, days from 12-15 as 64-bit
// integer text; a day count of five or more digits is thus cut to its first
// four. No field is range-checked. The sum of the time fields is formed in
// 32-bit arithmetic and the rest wraps modulo 2^64, so a negative field gives
// a wrapped tick count. Raises ConversionError
// "'<field>' は有効な整数値ではありません" for a field that is not integer text.
FILETIME TextToEditTime(std::string_view text);

// True for the zero text, and for a text with exactly one blank, at position
// 11, that TextToFileTime converts.
bool IsValidDateTimeText(std::string_view text);

// True for a text without blanks that ParseTimeOfDay reads; for the eight
// characters of a duration's time part that means "hh:nn:ss" from 00:00:00 to
// 23:59:59.
bool IsValidTimeText(std::string_view text);

// Non-overlapping occurrences of `pattern` in `text`, searched from the start.
// A match must begin and end on a character boundary, so a pattern is never
// found inside a double-byte character. An empty pattern or text gives 0.
int CountOccurrences(std::string_view pattern, std::string_view text);

}  // namespace tavrin
