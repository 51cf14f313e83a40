#pragma once
// How the command-line front end names files and prints the boxes a form
// showed: any byte sequence of a name survives, in text and in JSON, and
// every message says which file it is about.

#include <string>
#include <string_view>
#include <vector>

#include "platform/ScriptedDialogs.h"

namespace tavrin::cli {

// `path` for a line of text: control characters, DEL and the backslash as C
// escapes (\n, \t, \r, \\, \xHH), every other byte as it is, so no name can
// forge a line or a terminal sequence and the bytes can be recovered.
std::string EscapedPath(std::string_view path);

// The members naming a file in JSON: "path" (the name as a string when its
// bytes are UTF-8, else null) and "path_bytes" (its bytes in upper-case
// hexadecimal), without the braces.
std::string JsonPathMembers(std::string_view path);

// One box as a line for standard error: "PATH: caption: text", the box's own
// line breaks shown as " / ".
std::string MessageLine(std::string_view path, const ScriptedDialogs::Shown& box);

// A box that tells something about the file without any failure: the file
// system that cannot set a creation time.
bool IsNote(const ScriptedDialogs::Shown& box);

// A show's box saying that the document has no such property set: the file
// was read, and the set's rows are empty as they should be.
bool IsMissingSet(const ScriptedDialogs::Shown& box);

// The boxes a command showed but its questions.
std::vector<ScriptedDialogs::Shown> MessagesOf(const std::vector<ScriptedDialogs::Shown>& boxes);

}  // namespace tavrin::cli
