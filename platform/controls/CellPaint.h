#pragma once
// What a grid's owner-draw handler decides for one cell. The view executes
// the decision on its canvas; keeping the decision free of any toolkit lets
// it be tested without a screen.

#include <string>

#include "platform/controls/Control.h"

namespace tavrin {

struct CellState {
  bool selected = false;
  bool focused = false;  // the grid's current cell while the grid has the focus
  bool fixed = false;
  bool Empty() const { return !selected && !focused && !fixed; }
};

enum class CellBackground {
  kFixed,        // the grid's fixed-cell colour (the system's button face)
  kWindow,       // the grid's background colour (the system's window colour)
  kAsGridChose,  // whatever the grid painted first, i.e. its selection highlight
};

struct CellPaint {
  Font font;
  Rgb textColour;
  CellBackground background = CellBackground::kWindow;
  std::string text;  // CP932
  int textOffsetX = 2;
  int textOffsetY = 2;
};

}  // namespace tavrin
