#pragma once

#include <QTableView>

#include "platform/Dialogs.h"
#include "platform/controls/ValueListEditor.h"

namespace tavrin::qt {

class ValueListModel;

// A key/value grid: a fixed key column, a value column whose current cell
// always shows its editor, 18-pixel rows, grid lines, column widths the user
// may drag. Every cell, the title row included, is painted by the grid's
// owner-draw handler.
class ValueListEditorView : public QTableView {
 public:
  ValueListEditorView(ValueListEditor& grid, Dialogs& dialogs, QWidget* parent);

  ValueListEditor& Grid() { return grid_; }

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void mousePressEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Refresh();
  void ShowEditor(const QModelIndex& index);

  ValueListEditor& grid_;
  ValueListModel* model_;
};

}  // namespace tavrin::qt
