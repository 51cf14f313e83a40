#pragma once

#include "grids/RowCatalogue.h"
#include "platform/controls/ValueListEditor.h"

namespace tavrin {

// The two grids that show one row set: on the target page and on the
// defaults page. They share keys, order, editing rules and read-only flags.
struct GridPair {
  ValueListEditor& target;
  ValueListEditor& defaults;
};

}  // namespace tavrin
