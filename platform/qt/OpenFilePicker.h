#pragma once
// The window's file-open dialog.

#include <optional>
#include <string>

namespace tavrin::qt {

// Asks for a file to open, starting in `folder` (or else the folder of
// `fileName`) with `fileName` chosen; paths are the system's bytes. Nothing
// when the user cancels.
std::optional<std::string> PickFileToOpen(const std::string& folder, const std::string& fileName);

}  // namespace tavrin::qt
