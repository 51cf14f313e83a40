#include "propsets/IntegerText.h"

#include <charconv>
#include <iterator>
#include <limits>
#include <type_traits>

#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace tavrin {

namespace {

std::optional<unsigned> DigitValue(char c, unsigned base) {
  unsigned value = 0;
  if (c >= '0' && c <= '9') {
    value = static_cast<unsigned>(c - '0');
  } else if (c >= 'a' && c <= 'f') {
    value = static_cast<unsigned>(c - 'a' + 10);
  } else if (c >= 'A' && c <= 'F') {
    value = static_cast<unsigned>(c - 'A' + 10);
  } else {
    return std::nullopt;
  }
  if (value >= base) return std::nullopt;
  return value;
}

template <typename Int>
std::optional<Int> Parse(std::string_view text) {
  using Magnitude = std::make_unsigned_t<Int>;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;

  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }

  unsigned base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;

  // The negative range reaches one further than the positive one.
  const Magnitude limit =
      static_cast<Magnitude>(static_cast<Magnitude>(std::numeric_limits<Int>::max()) +
                             (negative ? Magnitude{1} : Magnitude{0}));
  Magnitude magnitude = 0;
  for (; i < text.size(); ++i) {
    const auto digit = DigitValue(text[i], base);
    if (!digit) return std::nullopt;
    // Stop before the accumulator could overflow, however long the digit run.
    if (magnitude > (limit - *digit) / base) return std::nullopt;
    magnitude = static_cast<Magnitude>(magnitude * base + *digit);
  }
  if (!negative || magnitude == 0) return static_cast<Int>(magnitude);
  // Negate by way of magnitude - 1, which is representable even for the minimum.
  return static_cast<Int>(-static_cast<Int>(magnitude - 1) - 1);
}

[[noreturn]] void ThrowNotInteger(std::string_view text) {
  std::string message = "'";
  message += text;
  message += codepage::Cp932("' は有効な整数値ではありません");
  throw ConversionError(std::move(message));
}

}  // namespace

std::optional<std::int32_t> ParseIntegerText(std::string_view text) {
  return Parse<std::int32_t>(text);
}

std::optional<std::int64_t> ParseInt64Text(std::string_view text) {
  return Parse<std::int64_t>(text);
}

bool IsIntegerText(std::string_view text) {
  return ParseIntegerText(text).has_value();
}

std::int32_t IntegerTextToInt(std::string_view text) {
  const auto value = ParseIntegerText(text);
  if (!value) ThrowNotInteger(text);
  return *value;
}

std::int64_t IntegerTextToInt64(std::string_view text) {
  const auto value = ParseInt64Text(text);
  if (!value) ThrowNotInteger(text);
  return *value;
}

std::string IntToText(std::int32_t value) {
  char buffer[16];
  const auto result = std::to_chars(std::begin(buffer), std::end(buffer), value);
  return std::string(buffer, result.ptr);
}

}  // namespace tavrin
