#include "platform/qt/OpenFilePicker.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QTreeView>
#include <utility>

#include "platform/qt/QtText.h"

namespace tavrin::qt {

std::optional<std::string> PickFileToOpen(const std::string& folder, const std::string& fileName) {
  QFileDialog dialog(QApplication::activeWindow());
  // Qt's own dialog, which speaks the program's Japanese; a desktop's
  // native one would speak the desktop's language.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setWindowTitle(QStringLiteral("ファイルを開く"));
  const QFileInfo chosen(FromNativePath(fileName));
  if (!folder.empty()) {
    dialog.setDirectory(FromNativePath(folder));
  } else if (!fileName.empty()) {
    dialog.setDirectory(chosen.absolutePath());
  }
  if (!fileName.empty()) dialog.selectFile(chosen.fileName());
  // Room for the name, size, type and date columns of the detail view: the
  // name takes what the others leave, the date its whole text (which the
  // file model writes in the system's own format).
  dialog.resize(820, 480);
  if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    const int dateWidth =
        details->fontMetrics().horizontalAdvance(QLocale::system().toString(
            QDateTime(QDate(2000, 12, 28), QTime(23, 59, 59)), QLocale::ShortFormat)) +
        24;
    for (const auto& [column, width] :
         {std::pair{1, 90}, std::pair{2, 110}, std::pair{3, dateWidth}}) {
      header->setSectionResizeMode(column, QHeaderView::Interactive);
      header->resizeSection(column, width);
    }
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToNativePath(dialog.selectedFiles().front());
}

}  // namespace tavrin::qt
