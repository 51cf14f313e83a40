#include "platform/qt/OpenFilePicker.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "platform/qt/QtText.h"

namespace tavrin::qt {

std::optional<std::string> PickFileToOpen(const std::string& folder, const std::string& fileName) {
  QFileDialog dialog(QApplication::activeWindow());
  // Qt's own dialog, which speaks the program's Japanese; a desktop's
  // native one would speak the desktop's language.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  const QFileInfo chosen(FromNativePath(fileName));
  if (!folder.empty()) {
    dialog.setDirectory(FromNativePath(folder));
  } else if (!fileName.empty()) {
    dialog.setDirectory(chosen.absolutePath());
  }
  if (!fileName.empty()) dialog.selectFile(chosen.fileName());
  // Room for the name, size, type and date columns of the detail view.
  dialog.resize(760, 460);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToNativePath(dialog.selectedFiles().front());
}

}  // namespace tavrin::qt
