#include "platform/storage/PropertyText.h"

#include <algorithm>

#include "platform/CodePage.h"

namespace tavrin::storage {
namespace {

bool PassesUnchanged(unsigned codePage) {
  return codePage == codepage::kCp932 || !codepage::IsSupported(codePage);
}

// The longest character of any code page we convert: a UTF-8 or GB18030
// sequence, or a UTF-16 surrogate pair.
constexpr std::size_t kLongestCharacter = 4;

// The slow path for text that does not convert as a whole: one character at
// a time, so that a single character CP932 lacks (or a byte the set's code
// page does not define) costs one "?" and not the whole value.
std::string ToProgramTextByCharacter(std::string_view stored, unsigned codePage) {
  const std::size_t unit = codePage == codepage::kUtf16Le ? 2 : 1;
  std::string out;
  std::size_t pos = 0;
  while (pos < stored.size()) {
    bool converted = false;
    for (std::size_t length = unit; length <= kLongestCharacter && pos + length <= stored.size();
         length += unit) {
      std::string_view piece = stored.substr(pos, length);
      if (!codepage::Convert(piece, codePage, codepage::kUtf8)) continue;
      std::optional<std::string> shown = codepage::Convert(piece, codePage, codepage::kCp932);
      out += shown ? *shown : std::string("?");
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
  if (codePage == codepage::kUtf16Le) {
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
