#include "app/cli/Json.h"

#include <cstdio>

namespace tavrin::cli {
namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when there is none.
std::size_t ValidSequence(std::string_view text, std::size_t i) {
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = at(i);
  std::size_t length = lead < 0x80                    ? 1
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
  if (length == 0 || i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  if (length == 3 && ((lead == 0xE0 && at(i + 1) < 0xA0) || (lead == 0xED && at(i + 1) >= 0xA0))) {
    return 0;
  }
  if (length == 4 && ((lead == 0xF0 && at(i + 1) < 0x90) || (lead == 0xF4 && at(i + 1) >= 0x90))) {
    return 0;
  }
  return length;
}

}  // namespace

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = ValidSequence(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool AppendCommonEscape(char c, std::string& out) {
  switch (c) {
    case '\\':
      out += "\\\\";
      return true;
    case '\n':
      out += "\\n";
      return true;
    case '\r':
      out += "\\r";
      return true;
    case '\t':
      out += "\\t";
      return true;
    default:
      return false;
  }
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t length = ValidSequence(utf8, i);
    if (length == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    const char c = utf8[i];
    if (c == '"') {
      out += "\\\"";
    } else if (!AppendCommonEscape(c, out)) {
      if (static_cast<unsigned char>(c) < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        out += escaped;
      } else {
        out.append(utf8.substr(i, length));
      }
    }
    i += length;
  }
  return out + "\"";
}

std::string HexBytes(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char byte : bytes) {
    auto value = static_cast<unsigned char>(byte);
    out += kDigits[value >> 4];
    out += kDigits[value & 0xF];
  }
  return out;
}

}  // namespace tavrin::cli
