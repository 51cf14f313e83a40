#pragma once
// 8-bit property strings between a set's code page and the program's CP932.
//
// The program works in CP932. Reading converts from the set's code page: 932
// and code pages this machine cannot convert pass their bytes unchanged, and a
// character CP932 cannot show becomes "?" (the stored bytes are protected by
// the writer, which keeps them when the value comes back unchanged). Writing
// converts back strictly: a text the set's code page cannot hold is refused.

#include <optional>
#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace tavrin::storage {

// The code page of a set that declares none. The platform then uses the
// system's ANSI code page, which for the program's users is 932.
inline constexpr unsigned kAssumedCodePage = 932;

// True for the code pages whose characters are 16-bit units (UTF-16, either
// byte order): there a zero byte is half of many characters, and only a zero
// unit ends a string.
constexpr bool HasTwoByteUnits(unsigned codePage) {
  constexpr unsigned kUtf16Be = 1201;
  return codePage == codepage::kUtf16Le || codePage == kUtf16Be;
}

// Bytes of the terminator of a string stored in `codePage`.
constexpr std::size_t TerminatorSize(unsigned codePage) {
  return HasTwoByteUnits(codePage) ? 2 : 1;
}

// The stored characters before the first terminator (a zero byte, or a zero
// 16-bit unit at an even offset in a UTF-16 set); all of `stored` when there
// is none.
std::string_view UpToTerminator(std::string_view stored, unsigned codePage);

// Stored characters (without terminator) as CP932 text.
std::string ToProgramText(std::string_view stored, unsigned codePage);

// CP932 text as the characters to store (without terminator), or nothing when
// the set's code page cannot hold it.
std::optional<std::string> FromProgramText(std::string_view text, unsigned codePage);

}  // namespace tavrin::storage
