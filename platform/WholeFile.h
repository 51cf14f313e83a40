#pragma once
// Small files read and written whole: the settings and defaults files.

#include <optional>
#include <string>

namespace tavrin {

std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces the file's contents in one step: they go to a temporary file
// beside it, which is synced and then takes its place, so a failure (a full
// disk, a crash) never leaves half a file. A file nobody may write is
// refused, for the superuser too. False on failure; the file is then as it
// was.
bool ReplaceWholeFile(const std::string& path, const std::string& contents);

}  // namespace tavrin
