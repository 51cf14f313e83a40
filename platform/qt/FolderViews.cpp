#include "platform/qt/FolderViews.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

#include "platform/CodePage.h"
#include "platform/FolderListing.h"
#include "platform/qt/QtText.h"

namespace tavrin::qt {
namespace {

constexpr int kPathRole = Qt::UserRole + 1;

QString ComputerName() {
  return QStringLiteral("コンピュータ");
}

QString ShownName(const std::string& path) {
  if (path.empty()) return ComputerName();
  if (path == "/") return QStringLiteral("/");
  QString full = FromNativePath(path);
  return full.section(QLatin1Char('/'), -1);
}

const QFileIconProvider& Icons() {
  static const QFileIconProvider provider;
  return provider;
}

}  // namespace

FolderComboView::FolderComboView(ShellComboBox& combo, Dialogs& dialogs, QWidget* parent)
    : QComboBox(parent), combo_(combo), dialogs_(dialogs) {
  setObjectName(QString::fromStdString(combo.Name()));
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setMaxVisibleItems(combo.DropDownCount());
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (!refreshing_) Choose(ToNativePath(itemData(index, kPathRole).toString()));
  });
  connect(lineEdit(), &QLineEdit::returnPressed, this, [this] {
    QString typed = QDir::cleanPath(QDir::fromNativeSeparators(lineEdit()->text()));
    if (QFileInfo(typed).isDir()) {
      Choose(ToNativePath(QFileInfo(typed).absoluteFilePath()));
    } else {
      QApplication::beep();
      Refresh();
    }
  });
  Refresh();
  combo.SetChangeListener([this] { Refresh(); });
}

void FolderComboView::Choose(const std::string& path) {
  RunHandler(dialogs_, [&] { combo_.SetPath(path); });
}

void FolderComboView::Refresh() {
  refreshing_ = true;
  clear();
  std::vector<std::string> chain = FolderChain(combo_.Path());
  int depth = 0;
  for (const std::string& path : chain) {
    QIcon icon = path.empty() ? Icons().icon(QFileIconProvider::Computer)
                              : Icons().icon(QFileIconProvider::Folder);
    addItem(icon, QString(depth * 2, QLatin1Char(' ')) + ShownName(path), FromNativePath(path));
    setItemData(count() - 1, FromNativePath(path), kPathRole);
    ++depth;
  }
  int current = count() - 1;
  for (const std::string& volume : VolumeMountPoints()) {
    if (std::find(chain.begin(), chain.end(), volume) != chain.end()) continue;
    addItem(Icons().icon(QFileIconProvider::Drive), QStringLiteral("  ") + FromNativePath(volume));
    setItemData(count() - 1, FromNativePath(volume), kPathRole);
  }
  setCurrentIndex(current);
  lineEdit()->setText(combo_.Path().empty() ? ComputerName() : FromNativePath(combo_.Path()));
  refreshing_ = false;
}

FolderListView::FolderListView(ShellListView& list, Dialogs& dialogs, QWidget* parent)
    : QTreeWidget(parent), list_(list), dialogs_(dialogs) {
  setObjectName(QString::fromStdString(list.Name()));
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  setSortingEnabled(false);  // the list keeps the order the control gives it
  setHeaderLabels({QStringLiteral("名前"), QStringLiteral("サイズ"), QStringLiteral("種類"),
                   QStringLiteral("更新日時")});
  header()->resizeSection(0, 260);
  header()->resizeSection(1, 90);
  header()->resizeSection(2, 90);
  KeepSelectionVisibleWithoutFocus(*this);
  connect(this, &QTreeWidget::itemSelectionChanged, this, [this] { SyncSelection(); });
  connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    int index = indexOfTopLevelItem(item);
    RunHandler(dialogs_, [&] { list_.Open(index); });
  });
  connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (!refreshing_ && column == 0) Renamed(item);
  });
  Refresh();
  // Selection changes come from this view; showing them again would lose
  // the user's current item.
  list.SetChangeListener([this] {
    if (!refreshing_) Refresh();
  });
}

void FolderListView::Refresh() {
  refreshing_ = true;
  clear();
  QLocale locale(QLocale::Japanese);
  for (int i = 0; i < list_.Count(); ++i) {
    const FolderItem& entry = list_.Item(i);
    auto* item = new QTreeWidgetItem(this);
    item->setText(0, FromNativePath(entry.name));
    item->setIcon(0, entry.isFolder ? Icons().icon(QFileIconProvider::Folder)
                                    : Icons().icon(QFileInfo(FromNativePath(entry.path))));
    if (!entry.isFolder) {
      item->setText(1, locale.toString(static_cast<qulonglong>((entry.size + 1023) / 1024)) +
                           QStringLiteral(" KB"));
      item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    item->setText(2, entry.isFolder ? QStringLiteral("フォルダ") : QStringLiteral("ファイル"));
    item->setText(3, QDateTime::fromSecsSinceEpoch(entry.modifiedUnixSeconds)
                         .toString(QStringLiteral("yyyy/MM/dd HH:mm")));
    // Volumes of the computer cannot be renamed.
    if (!list_.Folder().empty()) item->setFlags(item->flags() | Qt::ItemIsEditable);
    item->setSelected(list_.Selected(i));
  }
  refreshing_ = false;
}

void FolderListView::SyncSelection() {
  if (refreshing_) return;
  refreshing_ = true;
  for (int i = 0; i < topLevelItemCount() && i < list_.Count(); ++i) {
    bool selected = topLevelItem(i)->isSelected();
    if (list_.Selected(i) != selected) list_.SetSelected(i, selected);
  }
  refreshing_ = false;
}

void FolderListView::Renamed(QTreeWidgetItem* item) {
  int index = indexOfTopLevelItem(item);
  std::string newName = ToNativePath(item->text(0));
  if (newName == list_.Item(index).name) return;
  std::string oldName = list_.Item(index).name;
  std::error_code error = list_.Rename(index, newName);
  if (error) {
    std::string message = codepage::Cp932("名前を変更できません: ") +
                          codepage::PathForMessage(oldName) + " -> " +
                          codepage::PathForMessage(newName) + "\r\n" +
                          codepage::Utf8ToCp932ForDisplay(error.message());
    dialogs_.Message(message);
    Refresh();
  }
}

void FolderListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Backspace && !list_.Folder().empty()) {
    RunHandler(dialogs_, [&] { list_.OpenFolder(ParentFolder(list_.Folder())); });
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

}  // namespace tavrin::qt
