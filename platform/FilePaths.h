#pragma once
// Paths of the files that live beside the program. Native bytes throughout.

#include <string>
#include <string_view>

namespace tavrin {

// The running program's absolute path, or `fallback` when the system does
// not say.
std::string ExecutablePath(std::string_view fallback);

// `path` with the extension of its last component replaced by `extension`
// (which includes the dot), or with `extension` added when it has none.
std::string ReplaceExtension(std::string_view path, std::string_view extension);

}  // namespace tavrin
