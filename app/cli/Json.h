#pragma once
// Just enough JSON writing for the command-line front end's output.

#include <string>
#include <string_view>

namespace tavrin::cli {

// `utf8` as a JSON string literal, quotes included. Bytes that are not UTF-8
// become U+FFFD, so the document is always valid.
std::string JsonString(std::string_view utf8);

// Whether `text` is well-formed UTF-8 throughout.
bool IsUtf8(std::string_view text);

// Appends the escape that C and JSON write alike for a backslash, a line
// feed, a carriage return or a tab, and gives true; false for any other
// character, which is left to the caller.
bool AppendCommonEscape(char c, std::string& out);

// The bytes as upper-case hexadecimal pairs.
std::string HexBytes(std::string_view bytes);

}  // namespace tavrin::cli
