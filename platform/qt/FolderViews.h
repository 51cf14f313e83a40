#pragma once

#include <QComboBox>
#include <QTreeWidget>

#include "platform/Dialogs.h"
#include "platform/controls/ShellComboBox.h"
#include "platform/controls/ShellListView.h"

namespace tavrin::qt {

// The folder combo box: the chain from the computer down to the shown
// folder, then the computer's volumes; its edit field shows the full path
// and takes a typed one.
class FolderComboView : public QComboBox {
 public:
  FolderComboView(ShellComboBox& combo, Dialogs& dialogs, QWidget* parent);

 private:
  void Refresh();
  void Choose(const std::string& path);

  ShellComboBox& combo_;
  Dialogs& dialogs_;
  bool refreshing_ = false;
};

// The folder list in detail layout: name, size, kind and date of each item,
// several items selectable, renaming in place (F2 or a second click).
class FolderListView : public QTreeWidget {
 public:
  FolderListView(ShellListView& list, Dialogs& dialogs, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Refresh();
  void SyncSelection();
  void Renamed(QTreeWidgetItem* item);

  ShellListView& list_;
  Dialogs& dialogs_;
  bool refreshing_ = false;
};

}  // namespace tavrin::qt
