#include "platform/TimeConversion.h"

#include <time.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Clock.h"

namespace tavrin {

namespace {

constexpr std::uint64_t kTicksPerMinute = 60 * kTicksPerSecond;
constexpr std::uint64_t kTicksPerHour = 60 * kTicksPerMinute;

// 1601-01-01 lies this many days before 1970-01-01, the origin of the
// day-count algorithms below.
constexpr std::int64_t kDays1601To1970 = 134'774;

// No zone is a week away from UTC; a larger offset means the zone data is
// broken, and refusing it keeps the tick arithmetic far from overflow.
constexpr std::int64_t kMaxPlausibleOffsetSeconds = 7 * 86'400;

// `offsetSeconds` comes from CurrentUtcOffsetSeconds(), so it is small.
bool ShiftTicks(std::uint64_t ticks, std::int64_t offsetSeconds, FILETIME& out) {
  const auto magnitude =
      static_cast<std::uint64_t>(offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) *
      kTicksPerSecond;
  std::uint64_t shifted = 0;
  if (offsetSeconds >= 0) {
    if (ticks > kMaxFileTimeTicks - magnitude) return false;
    shifted = ticks + magnitude;
  } else {
    if (ticks < magnitude || ticks - magnitude > kMaxFileTimeTicks) return false;
    shifted = ticks - magnitude;
  }
  out = FILETIME::FromTicks(shifted);
  return true;
}

std::optional<std::int64_t> ComputeUtcOffset(std::time_t now) {
  // The C library's zone state is one for the process; threads that show
  // files at once take turns at it (once a second each, see below).
  static std::mutex zoneState;
  const std::lock_guard turn(zoneState);
  // glibc's localtime_r reads TZ only once unless tzset() asks it to look again.
  tzset();
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return std::nullopt;
  const std::int64_t offset = local.tm_gmtoff;
  if (offset <= -kMaxPlausibleOffsetSeconds || offset >= kMaxPlausibleOffsetSeconds) {
    return std::nullopt;
  }
  return offset;
}

}  // namespace

std::optional<std::int64_t> CurrentUtcOffsetSeconds() {
  const std::time_t now = std::chrono::system_clock::to_time_t(clock::Now());
  // Showing one file converts a dozen times, and looking at the zone again
  // costs system calls each time; a zone's offset changes only at a whole
  // second, so within one second and one TZ setting it is the same.
  struct Cached {
    std::time_t second = -1;
    std::string zone;
    bool zoneSet = false;
    std::optional<std::int64_t> offset;
  };
  thread_local Cached cached;
  const char* zone = std::getenv("TZ");
  if (cached.second == now && cached.zoneSet == (zone != nullptr) &&
      (zone == nullptr || cached.zone == zone)) {
    return cached.offset;
  }
  cached = {now, zone != nullptr ? zone : "", zone != nullptr, ComputeUtcOffset(now)};
  return cached.offset;
}

bool FileTimeToLocalFileTime(const FILETIME& utc, FILETIME& local) {
  const auto offset = CurrentUtcOffsetSeconds();
  return offset && ShiftTicks(utc.Ticks(), *offset, local);
}

bool LocalFileTimeToFileTime(const FILETIME& local, FILETIME& utc) {
  const auto offset = CurrentUtcOffsetSeconds();
  return offset && ShiftTicks(local.Ticks(), -*offset, utc);
}

bool FileTimeToSystemTime(const FILETIME& fileTime, SYSTEMTIME& systemTime) {
  const std::uint64_t ticks = fileTime.Ticks();
  if (ticks > kMaxFileTimeTicks) return false;
  const calendar::CivilTime t =
      calendar::BreakDown(static_cast<std::int64_t>(ticks / kTicksPerDay), ticks % kTicksPerDay);
  // Below 2^63 ticks the year stays under 30829, so every field fits.
  systemTime.wYear = static_cast<std::uint16_t>(t.year);
  systemTime.wMonth = static_cast<std::uint16_t>(t.month);
  systemTime.wDayOfWeek = static_cast<std::uint16_t>(t.dayOfWeek);
  systemTime.wDay = static_cast<std::uint16_t>(t.day);
  systemTime.wHour = static_cast<std::uint16_t>(t.hour);
  systemTime.wMinute = static_cast<std::uint16_t>(t.minute);
  systemTime.wSecond = static_cast<std::uint16_t>(t.second);
  systemTime.wMilliseconds = static_cast<std::uint16_t>(t.millisecond);
  return true;
}

bool SystemTimeToFileTime(const SYSTEMTIME& st, FILETIME& fileTime) {
  if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
      st.wDay > calendar::DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 ||
      st.wSecond > 59 || st.wMilliseconds > 999) {
    return false;
  }
  const auto days =
      static_cast<std::uint64_t>(calendar::DaysFromCivil(st.wYear, st.wMonth, st.wDay));
  fileTime = FILETIME::FromTicks(days * kTicksPerDay + st.wHour * kTicksPerHour +
                                 st.wMinute * kTicksPerMinute + st.wSecond * kTicksPerSecond +
                                 st.wMilliseconds * kTicksPerMillisecond);
  return true;
}

namespace calendar {

// The day-count conversions work in 400-year eras of 146,097 days that start on
// 1 March, so that the leap day falls at the end of the counted year.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  const std::int64_t y = month <= 2 ? year - 1 : year;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(y - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146'097 + std::int64_t{dayOfEra} - 719'468 + kDays1601To1970;
}

CivilTime BreakDown(std::int64_t days, std::uint64_t ticksOfDay) {
  const std::int64_t z = days - kDays1601To1970 + 719'468;
  const std::int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
  const auto dayOfEra = static_cast<unsigned>(z - era * 146'097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1'460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;

  CivilTime t;
  t.day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  t.month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  t.year = std::int64_t{yearOfEra} + era * 400 + (t.month <= 2 ? 1 : 0);
  // 1601-01-01 was a Monday.
  t.dayOfWeek = static_cast<unsigned>((days % 7 + 8) % 7);
  t.hour = static_cast<unsigned>(ticksOfDay / kTicksPerHour);
  t.minute = static_cast<unsigned>(ticksOfDay / kTicksPerMinute % 60);
  t.second = static_cast<unsigned>(ticksOfDay / kTicksPerSecond % 60);
  t.millisecond = static_cast<unsigned>(ticksOfDay / kTicksPerMillisecond % 1000);
  return t;
}

}  // namespace calendar

}  // namespace tavrin
