#pragma once

#include "grids/GridPair.h"
#include "platform/controls/CheckListBox.h"

namespace tavrin {

// Gives a grid the rows of its set, in order, with empty values.
void AddRows(ValueListEditor& grid, RowSet set);
// Gives a check list one item per row of its set, captioned with the key.
void AddItems(CheckListBox& list, RowSet set);

// The row editing rules (masks, pick lists, fixed read-only rows) of all six
// grids. Masks come first because a mask is given by assigning a whole set of
// row properties; the later steps each change only their own property.
void ApplyEditingRules(GridPair summary, GridPair fileTime, GridPair docSummary);

}  // namespace tavrin
