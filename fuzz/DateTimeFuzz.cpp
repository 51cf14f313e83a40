// The typed date-and-time and duration texts: whatever a user types or a
// file holds, the check and the conversion agree, nothing but a
// ConversionError escapes, and every text the grid shows converts back to
// the value it shows.
//
// The whole input is the typed text; its first eight bytes are also a
// FILETIME and a duration to show and read back.

#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "platform/Exception.h"
#include "platform/TimeConversion.h"
#include "propsets/TextConventions.h"

namespace tavrin {
namespace {

constexpr std::string_view kZeroText = "0000/00/00 00:00:00";
constexpr std::string_view kDaySuffix = "\x93\xFA";  // "日" in CP932

std::uint64_t WholeSeconds(std::uint64_t ticks) {
  return ticks - ticks % kTicksPerSecond;
}

// Ticks from 1601-01-01 to 10000-01-01, counted here by the Gregorian rule
// alone: the first moment whose year no longer has four digits.
std::uint64_t TicksToYear10000() {
  std::uint64_t days = 0;
  for (std::uint64_t year = 1601; year < 10000; ++year) {
    days += (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 366U : 365U;
  }
  return days * kTicksPerDay;
}

std::optional<FILETIME> Convert(std::string_view text) {
  try {
    return TextToFileTime(text);
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

// Exactly one blank, the one between date and time: the only shape the grid
// lets a user store.
bool HasGridShape(std::string_view text) {
  return text.size() >= 11 && text[10] == ' ' && text.find(' ') == 10 &&
         text.find(' ', 11) == std::string_view::npos;
}

// How the grid shows a valid text of its own shape: the date's separators
// as "/", each time field in two digits, seconds added when missing. A valid
// text of that shape has its date in exactly "yyyy?mm?dd", so the fields can
// be taken apart here without the parser under test.
std::string Canonical(std::string_view text) {
  std::string shown(text.substr(0, 10));
  shown[4] = '/';
  shown[7] = '/';
  shown += ' ';
  std::string_view time = text.substr(11);
  for (int field = 0; field < 3; ++field) {
    const std::size_t colon = time.find(':');
    const std::string_view digits = time.substr(0, colon);
    if (field > 0) shown += ':';
    if (digits.size() < 2) shown += '0';
    shown += digits.empty() ? "0" : digits;
    time = colon == std::string_view::npos ? std::string_view() : time.substr(colon + 1);
  }
  return shown;
}

void CheckTypedText(std::string_view text) {
  const bool valid = IsValidDateTimeText(text);
  const std::optional<FILETIME> converted = Convert(text);
  if (valid) FUZZ_CHECK(converted.has_value());
  // Anything that converts is ASCII, so the byte count of blanks is the count.
  if (converted && HasGridShape(text)) FUZZ_CHECK(valid);
  if (!converted || text == kZeroText) return;

  const std::string shown = FileTimeToText(*converted);
  if (valid) {
    // What was typed is stored; what is stored shows as a text that is
    // itself valid and stores the same value again.
    FUZZ_CHECK(IsValidDateTimeText(shown));
    FUZZ_CHECK(Convert(shown) == converted);
    // ... and shows what was typed, not a neighbouring time it rolled over to.
    FUZZ_CHECK(shown == Canonical(text));
  } else if (IsValidDateTimeText(shown)) {
    // A date alone or an automation number: milliseconds are not shown.
    FUZZ_CHECK(Convert(shown) == FILETIME::FromTicks(WholeSeconds(converted->Ticks())));
  }
}

void CheckShownTime(FILETIME value) {
  const std::string shown = FileTimeToText(value);
  FUZZ_CHECK(shown.size() == 19 || shown.size() == 20);
  if (value.Ticks() == 0) {
    FUZZ_CHECK(shown == kZeroText);
    return;
  }
  static const std::uint64_t yearTenThousand = TicksToYear10000();
  const std::optional<std::int64_t> offset = CurrentUtcOffsetSeconds();
  FUZZ_CHECK(offset.has_value());
  // Local time must fall in 1601 .. 9999 for a four-digit year; 0 ticks
  // means "no time set", so the first second cannot be typed back either.
  const std::uint64_t ticks = value.Ticks();
  const std::uint64_t shift =
      static_cast<std::uint64_t>(*offset < 0 ? -*offset : *offset) * kTicksPerSecond;
  const bool inYears = *offset >= 0 ? ticks < yearTenThousand - shift
                                    : ticks >= shift && ticks - shift < yearTenThousand;
  const bool showable = ticks >= kTicksPerSecond && inYears;
  FUZZ_CHECK(IsValidDateTimeText(shown) == showable);
  if (showable) {
    FUZZ_CHECK(Convert(shown) == FILETIME::FromTicks(WholeSeconds(value.Ticks())));
  }
}

void CheckDuration(FILETIME duration) {
  const std::string shown = EditTimeToText(duration);
  FUZZ_CHECK(shown.size() >= 17);
  FUZZ_CHECK(IsValidTimeText(shown.substr(0, 8)));
  FUZZ_CHECK(shown.ends_with(kDaySuffix));
  // A day count of five digits is cut to four when read back, by design.
  if (duration.Ticks() / kTicksPerDay < 10000) {
    FUZZ_CHECK(TextToEditTime(shown).Ticks() == WholeSeconds(duration.Ticks()));
  }
}

void CheckTypedDuration(std::string_view text) {
  try {
    TextToEditTime(text);
  } catch (const ConversionError&) {
  }
  if (IsValidTimeText(text) && text.size() == 8) {
    // Eight characters of a valid time are "hh:nn:ss"; as a duration's time
    // part they must mean exactly that many seconds.
    auto two = [&](std::size_t at) {
      return static_cast<std::uint64_t>((text[at] - '0') * 10 + (text[at + 1] - '0'));
    };
    const std::uint64_t seconds = two(0) * 3600 + two(3) * 60 + two(6);
    std::string duration(text);
    duration += " & 0000";
    duration += kDaySuffix;
    FUZZ_CHECK(TextToEditTime(duration).Ticks() == seconds * kTicksPerSecond);
  }
}

}  // namespace
}  // namespace tavrin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrin;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckTypedText(text);
  CheckTypedDuration(text);
  std::uint64_t ticks = 0;
  for (std::size_t i = 0; i < size && i < 8; ++i) ticks |= std::uint64_t{data[i]} << (8 * i);
  CheckShownTime(FILETIME::FromTicks(ticks));
  CheckDuration(FILETIME::FromTicks(ticks));
  return 0;
}
