#pragma once

#include <QListWidget>

#include "platform/Dialogs.h"
#include "platform/controls/CheckListBox.h"

namespace tavrin::qt {

// A list of check boxes. A click on an item's box or Space on the current
// item toggles it through the control, which refuses disabled items; the
// list itself never changes a check state.
class CheckListBoxView : public QListWidget {
 public:
  CheckListBoxView(CheckListBox& list, Dialogs& dialogs, QWidget* parent);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Refresh();
  void Toggle(int row);

  CheckListBox& list_;
  Dialogs& dialogs_;
};

}  // namespace tavrin::qt
