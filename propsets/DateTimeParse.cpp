#include "propsets/DateTimeParse.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/TimeConversion.h"

namespace tavrin {

namespace {

constexpr std::int64_t kMinYear = 100;
constexpr std::int64_t kMaxYear = 9999;
constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ == text_.size(); }

  bool Take(char c) {
    if (AtEnd() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  std::optional<char> TakeOneOf(char a, char b) {
    if (Take(a)) return a;
    if (Take(b)) return b;
    return std::nullopt;
  }

  // A run of minDigits to maxDigits digits; a longer run fails rather than
  // leaving its tail to be misread as the next field.
  std::optional<unsigned> Digits(std::size_t minDigits, std::size_t maxDigits) {
    const std::size_t start = pos_;
    unsigned value = 0;
    while (!AtEnd() && IsDigit(text_[pos_])) {
      if (pos_ - start == maxDigits) return std::nullopt;
      value = value * 10 + static_cast<unsigned>(text_[pos_] - '0');
      ++pos_;
    }
    if (pos_ - start < minDigits) return std::nullopt;
    return value;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

SYSTEMTIME ToSystemTime(const calendar::CivilTime& t) {
  SYSTEMTIME st;
  st.wYear = static_cast<std::uint16_t>(t.year);
  st.wMonth = static_cast<std::uint16_t>(t.month);
  st.wDayOfWeek = static_cast<std::uint16_t>(t.dayOfWeek);
  st.wDay = static_cast<std::uint16_t>(t.day);
  st.wHour = static_cast<std::uint16_t>(t.hour);
  st.wMinute = static_cast<std::uint16_t>(t.minute);
  st.wSecond = static_cast<std::uint16_t>(t.second);
  st.wMilliseconds = static_cast<std::uint16_t>(t.millisecond);
  return st;
}

std::optional<TimeOfDay> ReadTime(Reader& in) {
  const auto hour = in.Digits(1, 2);
  if (!hour || !in.Take(':')) return std::nullopt;
  const auto minute = in.Digits(1, 2);
  if (!minute) return std::nullopt;
  std::optional<unsigned> second = 0;
  if (in.Take(':')) second = in.Digits(1, 2);
  if (!second || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
  return TimeOfDay{*hour, *minute, *second};
}

std::optional<SYSTEMTIME> ParseCalendarForm(std::string_view text) {
  Reader in(text);
  const auto year = in.Digits(4, 4);
  const auto separator = in.TakeOneOf('/', '-');
  if (!year || !separator) return std::nullopt;
  const auto month = in.Digits(1, 2);
  if (!month || !in.Take(*separator)) return std::nullopt;
  const auto day = in.Digits(1, 2);
  if (!day || *year < kMinYear || *day < 1 || *day > calendar::DaysInMonth(*year, *month)) {
    return std::nullopt;
  }
  TimeOfDay time;
  if (!in.AtEnd()) {
    const auto read = in.Take(' ') ? ReadTime(in) : std::nullopt;
    if (!read || !in.AtEnd()) return std::nullopt;
    time = *read;
  }
  const std::uint64_t ticksOfDay =
      (time.hour * 3600ULL + time.minute * 60ULL + time.second) * kTicksPerSecond;
  return ToSystemTime(
      calendar::BreakDown(calendar::DaysFromCivil(*year, *month, *day), ticksOfDay));
}

bool IsDecimalNumber(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) ++digits;
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && IsDigit(text[i]); ++i) ++digits;
  }
  return digits > 0 && i == text.size();
}

std::optional<SYSTEMTIME> ParseAutomationDate(std::string_view text) {
  if (!IsDecimalNumber(text)) return std::nullopt;
  // from_chars reads "-" but not "+", and ignores the locale's decimal mark.
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  // The automation range is about +-3 million days; the bound only keeps the
  // integer conversion below well defined.
  if (result.ec != std::errc{} || !(std::fabs(value) < 1e7)) return std::nullopt;

  const double whole = std::trunc(value);
  auto days = static_cast<std::int64_t>(whole);
  std::int64_t milliseconds =
      std::llround(std::fabs(value - whole) * static_cast<double>(kMillisecondsPerDay));
  // A fraction that rounds up to a full day is the next midnight.
  if (milliseconds == kMillisecondsPerDay) {
    ++days;
    milliseconds = 0;
  }
  const calendar::CivilTime t =
      calendar::BreakDown(calendar::DaysFromCivil(1899, 12, 30) + days,
                          static_cast<std::uint64_t>(milliseconds) * kTicksPerMillisecond);
  if (t.year < kMinYear || t.year > kMaxYear) return std::nullopt;
  return ToSystemTime(t);
}

}  // namespace

std::optional<SYSTEMTIME> ParseDateTime(std::string_view text) {
  if (auto parsed = ParseCalendarForm(text)) return parsed;
  return ParseAutomationDate(text);
}

std::optional<TimeOfDay> ParseTimeOfDay(std::string_view text) {
  Reader in(text);
  const auto time = ReadTime(in);
  if (!time || !in.AtEnd()) return std::nullopt;
  return time;
}

}  // namespace tavrin
