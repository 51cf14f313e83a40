#pragma once
// The few plain data types of the platform interfaces that the program is
// written against, with their exact layouts.

#include <cstdint>

namespace tavrin {

// 100-nanosecond ticks since 1601-01-01 00:00:00 UTC in two 32-bit halves;
// 0 means "no time set". Also used for a duration (the editing time).
struct FILETIME {
  std::uint32_t dwLowDateTime = 0;
  std::uint32_t dwHighDateTime = 0;

  static constexpr FILETIME FromTicks(std::uint64_t ticks) {
    return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
  }
  constexpr std::uint64_t Ticks() const {
    return (std::uint64_t{dwHighDateTime} << 32) | dwLowDateTime;
  }
  friend constexpr bool operator==(const FILETIME&, const FILETIME&) = default;
};

// A broken-down calendar time.
struct SYSTEMTIME {
  std::uint16_t wYear = 0;
  std::uint16_t wMonth = 0;
  std::uint16_t wDayOfWeek = 0;
  std::uint16_t wDay = 0;
  std::uint16_t wHour = 0;
  std::uint16_t wMinute = 0;
  std::uint16_t wSecond = 0;
  std::uint16_t wMilliseconds = 0;
  friend constexpr bool operator==(const SYSTEMTIME&, const SYSTEMTIME&) = default;
};

}  // namespace tavrin
