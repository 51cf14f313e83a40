#pragma once
// The text forms values take in package property parts, and the values the
// property sets hand out for them.
//
// Dates are W3C date-times ("2024-05-01T10:20:30Z", "...+09:00"). One with a
// zone is a point in time and becomes its UTC FILETIME, which the grids show
// in local time as they show a compound document's. One without a zone (what
// OpenDocument writers usually give) is taken as local wall time, so it is
// shown as written; a date alone is its midnight. A date written back is
// always UTC with "Z" and whole seconds.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/WinTypes.h"

namespace tavrin::storage::package {

std::optional<FILETIME> ParseW3cDateTime(std::string_view text);
std::string FormatW3cDateTime(FILETIME utc);

// An ISO 8601 duration in days, hours, minutes and seconds ("P1DT2H3M4.5S")
// as a FILETIME tick count; years and months, whose length varies, and a
// negative duration give nothing.
std::optional<FILETIME> ParseIsoDuration(std::string_view text);
std::string FormatIsoDuration(FILETIME duration);

// Whole minutes, as the extended properties count editing time.
std::optional<FILETIME> ParseMinutes(std::string_view text);
std::string FormatMinutes(FILETIME duration);

// Decimal integer text within 32 bits, surrounding whitespace allowed.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// "true"/"1" and "false"/"0".
std::optional<bool> ParseBoolean(std::string_view text);

}  // namespace tavrin::storage::package
