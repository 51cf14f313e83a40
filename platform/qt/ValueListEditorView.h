#pragma once

#include <QTableView>

#include "platform/Dialogs.h"
#include "platform/controls/ValueListEditor.h"

namespace tavrin::qt {

class CellDelegate;
class ValueListModel;

// A key/value grid: a fixed key column, a value column whose current cell
// always shows its editor, 18-pixel rows, grid lines, column widths the user
// may drag. Every cell, the title row included, is painted by the grid's
// owner-draw handler.
//
// An editor whose text the cell cannot take holds the user: every way out
// (the keys that move, a click elsewhere in the window, another page, closing
// the window) shows the refusal once and leaves the focus in the editor, with
// the text as typed, until the user completes it or presses Escape.
class ValueListEditorView : public QTableView {
 public:
  ValueListEditorView(ValueListEditor& grid, Dialogs& dialogs, QWidget* parent);

  ValueListEditor& Grid() { return grid_; }

  // The control that Tab (forward) or Shift+Tab reaches from the grid as a
  // whole, skipping the grid's own parts; nullptr when there is none.
  QWidget* NextControl(bool forward);

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void mousePressEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  friend bool MayLeaveFocusedCell(const QWidget* target);

  void Refresh();
  void ShowEditor(const QModelIndex& index);

  ValueListEditor& grid_;
  ValueListModel* model_;
  CellDelegate* delegate_;
};

// Whether the user may go from the cell editor that has the focus to
// `target`, a widget about to take a click (nullptr: anywhere else, as for
// another page or closing the window). True when no cell editor has the
// focus or `target` is inside it; otherwise the editor's text decides, and
// a refusal is shown and the focus stays in the editor.
bool MayLeaveFocusedCell(const QWidget* target = nullptr);

}  // namespace tavrin::qt
