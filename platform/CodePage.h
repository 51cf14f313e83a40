#pragma once
// Conversion between code pages. Inside the program every text is CP932
// bytes; other encodings appear only at the edges: UTF-8 and UTF-16 for the
// window toolkit and the terminal, and whatever code page a document's
// property set declares.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::codepage {

inline constexpr unsigned kCp932 = 932;
inline constexpr unsigned kUtf16Le = 1200;
inline constexpr unsigned kUtf8 = 65001;

// True when `byte` starts a two-byte CP932 character.
constexpr bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Length in bytes of the CP932 character that starts at text[pos]: 2 for a
// lead byte followed by another byte, otherwise 1.
constexpr std::size_t CharLength(std::string_view text, std::size_t pos) {
  return IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

// Strict conversion between two Windows code pages. Gives nothing when the
// input is not valid in `from`, or holds a character `to` cannot represent,
// or when either code page is unknown here.
std::optional<std::string> Convert(std::string_view in, unsigned from, unsigned to);

// True when this machine can convert from and to `codePage`.
bool IsSupported(unsigned codePage);

// CP932 to UTF-8 for display. Never fails: a byte sequence that is not CP932
// shows as U+FFFD, one per undecodable byte, so that nothing is silently
// dropped from view.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 to CP932. `unrepresentable` receives the first character (as UTF-8)
// that CP932 cannot hold, or the invalid UTF-8 sequence.
struct EncodeResult {
  std::optional<std::string> bytes;
  std::string unrepresentable;
};
EncodeResult Utf8ToCp932(std::string_view utf8);

// UTF-8 to CP932 for display only (a path named in a message): a character
// CP932 cannot hold shows as "?".
std::string Utf8ToCp932ForDisplay(std::string_view utf8);

// A path (the system's own bytes) as CP932 text for a message. Paths on a
// Linux desktop are UTF-8 by convention; a byte that is not shows as "?".
inline std::string PathForMessage(std::string_view path) {
  return Utf8ToCp932ForDisplay(path);
}

// A character named by its code point, "U+00E9" or "U+1F600": the one way a
// CP932 text can tell of a character CP932 cannot hold.
std::string CodePointName(char32_t character);

// The CP932 bytes of a text written in the source code, which is UTF-8. For
// literals only: a character CP932 cannot hold is a programming error and
// aborts.
std::string Cp932(std::string_view utf8Literal);

}  // namespace tavrin::codepage
