#include "platform/storage/PropertyText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>

#include "platform/CodePage.h"

namespace tavrin::storage {
namespace {

bool PassesUnchanged(unsigned codePage) {
  if (codePage == codepage::kCp932) return true;
  // Asking whether the machine converts a code page costs more than most
  // strings do, and each string of a set would ask again; the answer for a
  // code page never changes while the program runs. A document's sets use
  // a code page or two, so a few remembered answers do.
  struct Answer {
    unsigned codePage = codepage::kCp932;
    bool unsupported = false;
  };
  thread_local std::array<Answer, 4> answers{};
  thread_local std::size_t next = 0;
  for (const Answer& answer : answers) {
    if (answer.codePage == codePage) return answer.unsupported;
  }
  Answer& answer = answers[next];
  next = (next + 1) % answers.size();
  answer = {codePage, !codepage::IsSupported(codePage)};
  return answer.unsupported;
}

// The longest character of any code page we convert: a UTF-8 or GB18030
// sequence, or a UTF-16 surrogate pair.
constexpr std::size_t kLongestCharacter = 4;

// The slow path for text that does not convert as a whole: one character at
// a time, so that a single character CP932 lacks (or a byte the set's code
// page does not define) costs one "?" and not the whole value.
std::string ToProgramTextByCharacter(std::string_view stored, unsigned codePage) {
  const std::size_t unit = HasTwoByteUnits(codePage) ? 2 : 1;
  // What each piece converts to: a character, or nothing when it is none.
  // A conversion depends on the piece's bytes alone (the converter starts
  // afresh each time), and a text repeats few distinct characters, so each
  // is converted once per text rather than wherever it occurs.
  std::unordered_map<std::uint64_t, std::optional<std::string>> pieces;
  const auto convert = [&](std::string_view piece) -> const std::optional<std::string>& {
    std::uint64_t key = piece.size();
    for (char byte : piece) key = key << 8 | static_cast<unsigned char>(byte);
    auto [known, added] = pieces.try_emplace(key);
    if (added && codepage::Convert(piece, codePage, codepage::kUtf8)) {
      known->second =
          codepage::Convert(piece, codePage, codepage::kCp932).value_or(std::string("?"));
    }
    return known->second;
  };
  std::string out;
  std::size_t pos = 0;
  while (pos < stored.size()) {
    bool converted = false;
    for (std::size_t length = unit; length <= kLongestCharacter && pos + length <= stored.size();
         length += unit) {
      const std::optional<std::string>& shown = convert(stored.substr(pos, length));
      if (!shown) continue;
      out += *shown;
      pos += length;
      converted = true;
      break;
    }
    if (!converted) {
      out += '?';
      pos += std::min(unit, stored.size() - pos);
    }
  }
  return out;
}

}  // namespace

std::string_view UpToTerminator(std::string_view stored, unsigned codePage) {
  if (HasTwoByteUnits(codePage)) {
    for (std::size_t i = 0; i + 1 < stored.size(); i += 2) {
      if (stored[i] == '\0' && stored[i + 1] == '\0') return stored.substr(0, i);
    }
    return stored;
  }
  return stored.substr(0, std::min(stored.find('\0'), stored.size()));
}

std::string ToProgramText(std::string_view stored, unsigned codePage) {
  if (PassesUnchanged(codePage)) return std::string(stored);
  if (std::optional<std::string> whole = codepage::Convert(stored, codePage, codepage::kCp932)) {
    return std::move(*whole);
  }
  return ToProgramTextByCharacter(stored, codePage);
}

std::optional<std::string> FromProgramText(std::string_view text, unsigned codePage) {
  if (PassesUnchanged(codePage)) return std::string(text);
  return codepage::Convert(text, codepage::kCp932, codePage);
}

}  // namespace tavrin::storage
