#include "propsets/TextConventions.h"

#include <cstdio>
#include <optional>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/TimeConversion.h"
#include "propsets/DateTimeParse.h"
#include "propsets/IntegerText.h"

namespace tavrin {

namespace {

constexpr std::string_view kZeroDateTime = "0000/00/00 00:00:00";
// "日" in CP932.
constexpr std::string_view kDaySuffix = "\x93\xFA";
constexpr std::string_view kZeroDuration = "00:00:00 & 0000\x93\xFA";

// Writes `value` as `width` digits ending just before `end`.
void PutDigits(char* end, unsigned value, int width) {
  for (int i = 0; i < width; ++i) {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

std::string FormatDateTime(std::int64_t year, unsigned month, unsigned day, unsigned hour,
                           unsigned minute, unsigned second) {
  // Showing a file formats half a dozen dates; printf's parsing of its
  // format would be most of the cost of each.
  if (year >= 0 && year <= 9999 && month <= 99 && day <= 99 && hour <= 99 && minute <= 99 &&
      second <= 99) {
    std::string text = "0000/00/00 00:00:00";
    PutDigits(text.data() + 4, static_cast<unsigned>(year), 4);
    PutDigits(text.data() + 7, month, 2);
    PutDigits(text.data() + 10, day, 2);
    PutDigits(text.data() + 13, hour, 2);
    PutDigits(text.data() + 16, minute, 2);
    PutDigits(text.data() + 19, second, 2);
    return text;
  }
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, "%04lld/%02u/%02u %02u:%02u:%02u",
                                   static_cast<long long>(year), month, day, hour, minute, second);
  return std::string(buffer, static_cast<std::size_t>(length));
}

// Where the calendar conversions give up, the same calendar still names the
// local time, so the grid shows a truthful text instead of nothing.
std::string FormatBeyondRange(FILETIME fileTime) {
  const std::uint64_t ticks = fileTime.Ticks();
  const std::int64_t offsetTicks =
      CurrentUtcOffsetSeconds().value_or(0) * static_cast<std::int64_t>(kTicksPerSecond);
  const auto ticksPerDay = static_cast<std::int64_t>(kTicksPerDay);
  auto days = static_cast<std::int64_t>(ticks / kTicksPerDay);
  auto ticksOfDay = static_cast<std::int64_t>(ticks % kTicksPerDay) + offsetTicks;
  days += ticksOfDay / ticksPerDay;
  ticksOfDay %= ticksPerDay;
  if (ticksOfDay < 0) {
    ticksOfDay += ticksPerDay;
    --days;
  }
  const calendar::CivilTime t = calendar::BreakDown(days, static_cast<std::uint64_t>(ticksOfDay));
  return FormatDateTime(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

std::optional<FILETIME> LocalTextToFileTime(std::string_view text) {
  const auto local = ParseDateTime(text);
  FILETIME localTime;
  FILETIME utc;
  if (!local || !SystemTimeToFileTime(*local, localTime) ||
      !LocalFileTimeToFileTime(localTime, utc) || utc.Ticks() == 0) {
    return std::nullopt;
  }
  return utc;
}

// Up to `count` bytes from the 1-based `position`; nothing past the end.
std::string_view Field(std::string_view text, std::size_t position, std::size_t count) {
  if (position > text.size()) return {};
  return text.substr(position - 1, count);
}

bool EndsOnCharBoundary(std::string_view text, std::size_t from, std::size_t end) {
  while (from < end) from += codepage::CharLength(text, from);
  return from == end;
}

}  // namespace

std::string FileTimeToText(FILETIME fileTime) {
  if (fileTime.Ticks() == 0) return std::string(kZeroDateTime);
  FILETIME local;
  SYSTEMTIME st;
  if (FileTimeToLocalFileTime(fileTime, local) && FileTimeToSystemTime(local, st)) {
    return FormatDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
  }
  return FormatBeyondRange(fileTime);
}

FILETIME TextToFileTime(std::string_view text) {
  if (text == kZeroDateTime) return FILETIME{};
  if (const auto fileTime = LocalTextToFileTime(text)) return *fileTime;
  std::string message = "'";
  message += text;
  message += codepage::Cp932("' は有効な日付および時刻ではありません");
  throw ConversionError(std::move(message));
}

std::string EditTimeToText(FILETIME duration) {
  const std::uint64_t d = duration.Ticks();
  if (d == 0) return std::string(kZeroDuration);
  const auto hours = static_cast<unsigned>(d / (3600 * kTicksPerSecond) % 24);
  const auto minutes = static_cast<unsigned>(d / (60 * kTicksPerSecond) % 60);
  const auto seconds = static_cast<unsigned>(d / kTicksPerSecond % 60);
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u & %04llu", hours, minutes,
                                   seconds, static_cast<unsigned long long>(d / kTicksPerDay));
  std::string text(buffer, static_cast<std::size_t>(length));
  text += kDaySuffix;
  return text;
}

FILETIME TextToEditTime(std::string_view text) {
  if (text == kZeroDuration) return FILETIME{};
  const std::int32_t hours = IntegerTextToInt(Field(text, 1, 2));
  const std::int32_t minutes = IntegerTextToInt(Field(text, 4, 2));
  const std::int32_t seconds = IntegerTextToInt(Field(text, 7, 2));
  const std::int64_t days = IntegerTextToInt64(Field(text, 12, 4));
  // The time fields add up in 32 bits and the total is sign-extended; from
  // there on everything wraps modulo 2^64, as the stored value always has.
  const auto timeOfDay = static_cast<std::int32_t>(static_cast<std::uint32_t>(hours) * 3600U +
                                                   static_cast<std::uint32_t>(minutes) * 60U +
                                                   static_cast<std::uint32_t>(seconds));
  const std::uint64_t total = static_cast<std::uint64_t>(days) * 86'400U +
                              static_cast<std::uint64_t>(std::int64_t{timeOfDay});
  return FILETIME::FromTicks(total * kTicksPerSecond);
}

bool IsValidDateTimeText(std::string_view text) {
  if (CountOccurrences(" ", text) != 1 || text.size() < 11 || text[10] != ' ') return false;
  return text == kZeroDateTime || LocalTextToFileTime(text).has_value();
}

bool IsValidTimeText(std::string_view text) {
  if (text.find(' ') != std::string_view::npos) return false;
  return text == "00:00:00" || ParseTimeOfDay(text).has_value();
}

int CountOccurrences(std::string_view pattern, std::string_view text) {
  if (pattern.empty() || text.empty()) return 0;
  int count = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text.substr(pos).starts_with(pattern) &&
        EndsOnCharBoundary(text, pos, pos + pattern.size())) {
      ++count;
      pos += pattern.size();
    } else {
      pos += codepage::CharLength(text, pos);
    }
  }
  return count;
}

}  // namespace tavrin
