#include "grids/CellDrawing.h"

namespace tavrin {

CellPaint DecideCellPaint(const ValueListEditor& grid, const GridColours& colours, int column,
                          int gridRow, CellState state) {
  CellPaint paint;
  paint.font = grid.EffectiveFont();
  if (gridRow == 0) {
    paint.textColour = colours.normal;
  } else {
    paint.textColour = grid.ItemProps(gridRow - 1).readOnly ? colours.readOnly : colours.normal;
  }
  paint.font.colour = paint.textColour;
  if (column == 0 || gridRow == 0) {
    paint.background = CellBackground::kFixed;
  } else if (state.focused || state.Empty()) {
    paint.background = CellBackground::kWindow;
  } else {
    paint.background = CellBackground::kAsGridChose;
  }
  paint.text = grid.CellText(column, gridRow);
  return paint;
}

}  // namespace tavrin
