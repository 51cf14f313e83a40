#pragma once
// How every cell of a grid is painted: rows the user may not edit stand out
// in a colour of their own.

#include "platform/controls/CellPaint.h"
#include "platform/controls/ValueListEditor.h"

namespace tavrin {

struct GridColours {
  Rgb normal;
  Rgb readOnly;
};

inline constexpr GridColours kTargetPageColours{{0, 0, 0}, {128, 128, 128}};
inline constexpr GridColours kDefaultsPageColours{{0, 0, 128}, {0, 0, 255}};

CellPaint DecideCellPaint(const ValueListEditor& grid, const GridColours& colours, int column,
                          int gridRow, CellState state);

}  // namespace tavrin
