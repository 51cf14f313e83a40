#pragma once
// Reading the two property sets of a document into their grids.

#include <string>

#include "platform/Dialogs.h"
#include "platform/controls/ValueListEditor.h"

namespace tavrin {

// The 18 Summary Information properties (PROPIDs 2 to 19) into `grid`.
void GetDocumentProperties(const std::string& path, ValueListEditor& grid, Dialogs& dialogs);

// The 15 Document Summary Information properties (PROPIDs 2 to 16) into `grid`.
void GetDocumentProperties2(const std::string& path, ValueListEditor& grid, Dialogs& dialogs);

}  // namespace tavrin
