#pragma once
// Integer text: the form in which the grids hold every count and the security
// value. The writes convert it and the row checks of the update commands test
// it, so both go through the one grammar here:
//
//   integer := blank* sign? ( decimal-digit+ | hex-prefix hex-digit+ )
//   blank   := " "            (a tab is not a blank and fails)
//   sign    := "+" | "-"
//   hex-prefix := "$" | "x" | "X" | "0x" | "0X"
//
// Nothing may follow the digits, not even a blank. The value, after the sign
// is applied, must fit the target type; hexadecimal is no exception, so
// "0x80000000" is out of 32-bit range while "-$80000000" is its minimum.
// Leading zeros are allowed in either base.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

std::optional<std::int32_t> ParseIntegerText(std::string_view text);
std::optional<std::int64_t> ParseInt64Text(std::string_view text);

bool IsIntegerText(std::string_view text);

// Raise ConversionError "'<text>' は有効な整数値ではありません" for anything
// that is not integer text of their width.
std::int32_t IntegerTextToInt(std::string_view text);
std::int64_t IntegerTextToInt64(std::string_view text);

// Plain signed decimal: no leading zeros, no grouping, "-" only when negative.
std::string IntToText(std::int32_t value);

}  // namespace tavrin
