#pragma once
// A checked check-list item selects its row for change: the row is editable
// in both grids of its set. An unchecked item makes it read-only in both.

#include <span>

#include "grids/GridPair.h"
#include "platform/controls/CheckListBox.h"

namespace tavrin {

// The click-check handler of one list: re-applies every item, whichever was
// toggled, so the two grids always agree, then repaints target and defaults.
// The rows in `leftUnchanged` keep their flag when their item is checked.
void ApplySelection(const CheckListBox& list, GridPair grids, std::span<const int> leftUnchanged);

// The selection as restored at start-up: the stored state alone decides,
// for the disabled items too, and no handler runs.
void RestoreSelection(CheckListBox& list, GridPair grids, int item, bool checked);

}  // namespace tavrin
