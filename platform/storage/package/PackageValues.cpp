#include "platform/storage/package/PackageValues.h"

#include <charconv>
#include <cstdio>

#include "platform/TimeConversion.h"

namespace tavrin::storage::package {
namespace {

std::string_view Trimmed(std::string_view text) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

// Exactly `digits` decimal digits at `at`, moving past them.
std::optional<unsigned> Digits(std::string_view text, std::size_t& at, std::size_t digits) {
  if (at + digits > text.size()) return std::nullopt;
  unsigned value = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    char c = text[at + i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  at += digits;
  return value;
}

bool Take(std::string_view text, std::size_t& at, char c) {
  if (at < text.size() && text[at] == c) {
    ++at;
    return true;
  }
  return false;
}

}  // namespace

std::optional<FILETIME> ParseW3cDateTime(std::string_view whole) {
  std::string_view text = Trimmed(whole);
  std::size_t at = 0;
  SYSTEMTIME fields;
  fields.wMonth = 1;
  fields.wDay = 1;
  auto year = Digits(text, at, 4);
  if (!year) return std::nullopt;
  fields.wYear = static_cast<std::uint16_t>(*year);
  std::optional<std::int64_t> offsetSeconds;
  if (Take(text, at, '-')) {
    auto month = Digits(text, at, 2);
    if (!month) return std::nullopt;
    fields.wMonth = static_cast<std::uint16_t>(*month);
    if (Take(text, at, '-')) {
      auto day = Digits(text, at, 2);
      if (!day) return std::nullopt;
      fields.wDay = static_cast<std::uint16_t>(*day);
      if (Take(text, at, 'T')) {
        auto hour = Digits(text, at, 2);
        if (!hour || !Take(text, at, ':')) return std::nullopt;
        auto minute = Digits(text, at, 2);
        if (!minute) return std::nullopt;
        fields.wHour = static_cast<std::uint16_t>(*hour);
        fields.wMinute = static_cast<std::uint16_t>(*minute);
        if (Take(text, at, ':')) {
          auto second = Digits(text, at, 2);
          if (!second) return std::nullopt;
          fields.wSecond = static_cast<std::uint16_t>(*second);
          if (Take(text, at, '.')) {
            std::size_t first = at;
            while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
            if (at == first) return std::nullopt;
            // Milliseconds: the grids show whole seconds anyway.
            std::size_t fraction = first;
            auto ms = Digits(text, fraction, std::min<std::size_t>(3, at - first));
            unsigned scale = at - first >= 3 ? 1 : (at - first == 2 ? 10 : 100);
            fields.wMilliseconds = static_cast<std::uint16_t>(*ms * scale);
          }
        }
        if (Take(text, at, 'Z')) {
          offsetSeconds = 0;
        } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
          bool east = text[at++] == '+';
          auto hours = Digits(text, at, 2);
          if (!hours || !Take(text, at, ':')) return std::nullopt;
          auto minutes = Digits(text, at, 2);
          if (!minutes || *hours > 23 || *minutes > 59) return std::nullopt;
          std::int64_t seconds = (*hours * 60 + *minutes) * 60;
          offsetSeconds = east ? seconds : -seconds;
        }
      }
    }
  }
  if (at != text.size()) return std::nullopt;
  if (fields.wHour == 24 && fields.wMinute == 0 && fields.wSecond == 0) return std::nullopt;
  FILETIME wall;
  if (!SystemTimeToFileTime(fields, wall)) return std::nullopt;
  if (!offsetSeconds) {
    FILETIME utc;
    if (!LocalFileTimeToFileTime(wall, utc)) return std::nullopt;
    return utc;
  }
  std::int64_t ticks = static_cast<std::int64_t>(wall.Ticks()) -
                       *offsetSeconds * static_cast<std::int64_t>(kTicksPerSecond);
  if (ticks <= 0 || static_cast<std::uint64_t>(ticks) > kMaxFileTimeTicks) return std::nullopt;
  return FILETIME::FromTicks(static_cast<std::uint64_t>(ticks));
}

std::string FormatW3cDateTime(FILETIME utc) {
  SYSTEMTIME t;
  if (!FileTimeToSystemTime(utc, t)) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", unsigned{t.wYear},
                unsigned{t.wMonth}, unsigned{t.wDay}, unsigned{t.wHour}, unsigned{t.wMinute},
                unsigned{t.wSecond});
  return text;
}

std::optional<FILETIME> ParseIsoDuration(std::string_view whole) {
  std::string_view text = Trimmed(whole);
  if (text.empty() || text[0] != 'P') return std::nullopt;
  std::uint64_t ticks = 0;
  bool inTime = false;
  bool any = false;
  std::size_t at = 1;
  // Units allowed in order, for the date part then the time part.
  std::string_view units = "D";
  while (at < text.size()) {
    if (text[at] == 'T') {
      if (inTime) return std::nullopt;
      inTime = true;
      units = "HMS";
      ++at;
      continue;
    }
    std::uint64_t number = 0;
    std::size_t first = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      if (number > 1'000'000'000) return std::nullopt;
      number = number * 10 + static_cast<std::uint64_t>(text[at++] - '0');
    }
    if (at == first) return std::nullopt;
    std::uint64_t fractionTicks = 0;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
      ++at;
      std::uint64_t scale = kTicksPerSecond;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        scale /= 10;
        fractionTicks += scale * static_cast<std::uint64_t>(text[at++] - '0');
      }
      if (at >= text.size() || text[at] != 'S') return std::nullopt;
    }
    if (at >= text.size()) return std::nullopt;
    std::size_t unit = units.find(text[at]);
    if (unit == std::string_view::npos) return std::nullopt;
    units.remove_prefix(unit + 1);
    std::uint64_t per = 0;
    switch (text[at]) {
      case 'D':
        per = kTicksPerDay;
        break;
      case 'H':
        per = 3600 * kTicksPerSecond;
        break;
      case 'M':
        per = 60 * kTicksPerSecond;
        break;
      default:
        per = kTicksPerSecond;
    }
    ticks += number * per + fractionTicks;
    any = true;
    ++at;
  }
  if (!any) return std::nullopt;
  return FILETIME::FromTicks(ticks);
}

std::string FormatIsoDuration(FILETIME duration) {
  std::uint64_t seconds = duration.Ticks() / kTicksPerSecond;
  std::uint64_t days = seconds / 86'400;
  seconds %= 86'400;
  std::string text = "P";
  if (days != 0) text += std::to_string(days) + "D";
  text += "T" + std::to_string(seconds / 3600) + "H" + std::to_string(seconds / 60 % 60) + "M" +
          std::to_string(seconds % 60) + "S";
  return text;
}

std::optional<FILETIME> ParseMinutes(std::string_view text) {
  auto minutes = ParseInteger(text);
  if (!minutes || *minutes < 0) return std::nullopt;
  return FILETIME::FromTicks(static_cast<std::uint64_t>(*minutes) * 60 * kTicksPerSecond);
}

std::string FormatMinutes(FILETIME duration) {
  constexpr std::uint64_t kPerMinute = 60 * kTicksPerSecond;
  std::uint64_t minutes = (duration.Ticks() + kPerMinute / 2) / kPerMinute;
  if (minutes > 0x7FFF'FFFF) minutes = 0x7FFF'FFFF;
  return std::to_string(minutes);
}

std::optional<std::int32_t> ParseInteger(std::string_view whole) {
  std::string_view text = Trimmed(whole);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  std::int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

std::optional<bool> ParseBoolean(std::string_view whole) {
  std::string_view text = Trimmed(whole);
  if (text == "true" || text == "1") return true;
  if (text == "false" || text == "0") return false;
  return std::nullopt;
}

}  // namespace tavrin::storage::package
