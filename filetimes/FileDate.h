#pragma once
// Showing and changing a file's three times in a file-time grid, whose rows
// run creation, last write, last access.

#include <string>

#include "platform/Dialogs.h"
#include "platform/controls/ValueListEditor.h"

namespace tavrin {

// Shows the times of `path` in `grid`. When they cannot be read the three
// rows are emptied, so that no value shows that was not read from this file,
// and one message says why.
void GetFileDate(const std::string& path, ValueListEditor& grid, Dialogs& dialogs);

}  // namespace tavrin
