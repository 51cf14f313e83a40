#pragma once
// Conversions between FILETIME, local FILETIME and SYSTEMTIME that behave the
// way the property sets and file times expect them to:
//
// - Local time is UTC plus the offset in force at the moment of conversion
//   (clock::Now() in the TZ database zone), not the offset that was in force at
//   the converted time. A January time shown in July therefore carries the
//   summer offset; converting the text back gives the same FILETIME as long as
//   the offset has not changed in between.
// - The calendar is the proleptic Gregorian one, computed with integers only,
//   so no time_t or struct tm range limit applies.
// - Every function returns false and leaves its output untouched when the
//   result does not exist; nothing wraps around.

#include <cstdint>
#include <optional>

#include "platform/WinTypes.h"

namespace tavrin {

inline constexpr std::uint64_t kTicksPerMillisecond = 10'000;
inline constexpr std::uint64_t kTicksPerSecond = 10'000'000;
inline constexpr std::uint64_t kTicksPerDay = 86'400 * kTicksPerSecond;
// Ticks from 2^63 up cannot be broken down, and no local conversion gives them.
inline constexpr std::uint64_t kMaxFileTimeTicks = 0x7FFF'FFFF'FFFF'FFFF;

// The offset of local time from UTC at clock::Now(), in seconds east of UTC.
// TZ is read afresh on every call, so a zone change takes effect at once.
// Gives nothing when the zone database cannot place Now(), or places it a
// week or more away from UTC.
std::optional<std::int64_t> CurrentUtcOffsetSeconds();

// UTC to local time. Fails when the result would lie outside 0 .. 2^63-1.
bool FileTimeToLocalFileTime(const FILETIME& utc, FILETIME& local);

// Local time to UTC. Fails when the result would lie outside 0 .. 2^63-1.
bool LocalFileTimeToFileTime(const FILETIME& local, FILETIME& utc);

// Breaks a FILETIME down into calendar fields, wDayOfWeek included (0 is
// Sunday). Fails for 2^63 ticks and above.
bool FileTimeToSystemTime(const FILETIME& fileTime, SYSTEMTIME& systemTime);

// The reverse; wDayOfWeek is ignored. Fails unless every field is a real
// date and time between the years 1601 and 30827.
bool SystemTimeToFileTime(const SYSTEMTIME& systemTime, FILETIME& fileTime);

// Integer calendar arithmetic, shared with the text parsers. Days are counted
// from 1601-01-01 and may be negative; years are not limited.
namespace calendar {

constexpr bool IsLeapYear(std::int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr unsigned DaysInMonth(std::int64_t year, unsigned month) {
  constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1601-01-01 to the given date; month and day must be valid.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);

struct CivilTime {
  std::int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  unsigned dayOfWeek = 0;  // 0 is Sunday
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
  unsigned millisecond = 0;
};

// The calendar time `ticksOfDay` (below kTicksPerDay) after the midnight that
// starts day `days`.
CivilTime BreakDown(std::int64_t days, std::uint64_t ticksOfDay);

}  // namespace calendar

}  // namespace tavrin
