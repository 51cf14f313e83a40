#include "grids/RowSelection.h"

#include <algorithm>

namespace tavrin {

void ApplySelection(const CheckListBox& list, GridPair grids, std::span<const int> leftUnchanged) {
  for (int i = 0; i < list.Count(); ++i) {
    bool checked = list.Checked(i);
    bool keep = std::ranges::find(leftUnchanged, i) != leftUnchanged.end();
    for (ValueListEditor* grid : {&grids.target, &grids.defaults}) {
      if (!checked) {
        grid->SetReadOnly(i, true);
      } else if (!keep) {
        grid->SetReadOnly(i, false);
      }
    }
  }
  grids.target.Repaint();
  grids.defaults.Repaint();
}

void RestoreSelection(CheckListBox& list, GridPair grids, int item, bool checked) {
  list.SetChecked(item, checked);
  grids.target.SetReadOnly(item, !checked);
  grids.defaults.SetReadOnly(item, !checked);
}

}  // namespace tavrin
