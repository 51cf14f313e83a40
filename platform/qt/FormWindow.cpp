#include "platform/qt/FormWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QUrl>
#include <QWindow>

#include "platform/CodePage.h"
#include "platform/qt/QtText.h"
#include "platform/qt/ValueListEditorView.h"
#include "platform/qt/ViewBuilder.h"

namespace tavrin::qt {
namespace {

void BuildMenu(QMenuBar* bar, MainMenu& menu, Dialogs& dialogs) {
  for (Control* child : menu.Children()) {
    auto* top = dynamic_cast<MenuItem*>(child);
    if (top == nullptr) continue;
    QMenu* qmenu = bar->addMenu(FromCp932(top->Caption()));
    qmenu->setObjectName(QString::fromStdString(top->Name()));
    for (Control* grandChild : top->Children()) {
      auto* item = dynamic_cast<MenuItem*>(grandChild);
      if (item == nullptr) continue;
      QAction* action = qmenu->addAction(FromCp932(item->Caption()));
      action->setObjectName(QString::fromStdString(item->Name()));
      QObject::connect(action, &QAction::triggered, qmenu,
                       [item, &dialogs] { RunHandler(dialogs, [item] { item->Click(); }); });
    }
  }
}

// The local files among dropped URLs, as the system's bytes: a name that is
// not UTF-8 comes percent-encoded in the URL and must not pass through a
// QString on its way out.
std::vector<std::string> LocalFiles(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QByteArray path =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (!path.isEmpty())
      paths.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
  }
  return paths;
}

}  // namespace

FormWindow::FormWindow(Dialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs) {
  setAcceptDrops(true);
}

void FormWindow::SetOnFilesDropped(std::function<void(const std::vector<std::string>&)> handler) {
  filesDropped_ = std::move(handler);
}

void FormWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (filesDropped_ && !LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void FormWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths = LocalFiles(event->mimeData());
  if (!filesDropped_ || paths.empty()) return;
  event->acceptProposedAction();
  // After the drop has finished: showing a file may open message boxes,
  // whose loops must not run while the dragging program still waits.
  QMetaObject::invokeMethod(
      this,
      [this, paths = std::move(paths)] { RunHandler(dialogs_, [&] { filesDropped_(paths); }); },
      Qt::QueuedConnection);
}

void FormWindow::Attach(Control& form, MainMenu* menu, std::function<bool()> closeQuery) {
  closeQuery_ = std::move(closeQuery);
  setObjectName(QString::fromStdString(form.Name()));
  caption_ = FromCp932(form.Caption());
  setWindowTitle(caption_);
  setFont(ToQFont(form.EffectiveFont()));
  if (menu != nullptr) BuildMenu(menuBar(), *menu, dialogs_);
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  client->setAutoFillBackground(true);
  client->setBackgroundRole(QPalette::Button);
  // The given size is the whole window's, frame and caption included; the
  // client area is what is left inside a common frame (4 pixels each side,
  // a caption of 26 and the menu bar).
  const Rect& bounds = form.Bounds();
  client->setFixedSize(bounds.width - 8, bounds.height - 8 - 26 - menuBar()->sizeHint().height());
  setCentralWidget(client);
  BuildChildViews(form, client, dialogs_);
  adjustSize();
  // A press is seen here before it reaches a widget and moves the focus.
  create();
  windowHandle()->installEventFilter(this);
}

void FormWindow::ShowCentred() {
  if (QScreen* screen = this->screen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  show();
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    if (!MayLeaveFocusedCell(childAt(at))) return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void FormWindow::closeEvent(QCloseEvent* event) {
  // The close query comes once the cell being edited has been left.
  if (!MayLeaveFocusedCell()) {
    event->ignore();
    return;
  }
  bool allow = false;
  RunHandler(dialogs_, [&] { allow = !closeQuery_ || closeQuery_(); });
  if (allow) {
    event->accept();
  } else {
    event->ignore();
  }
}

QDialog* FormWindow::DialogFor(Control& dialog) {
  if (auto it = dialogs_built_.find(&dialog); it != dialogs_built_.end()) return it->second;
  auto* view = new QDialog(this, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
  view->setObjectName(QString::fromStdString(dialog.Name()));
  view->setWindowTitle(FromCp932(dialog.Caption()));
  view->setFont(ToQFont(dialog.EffectiveFont()));
  view->setFixedSize(dialog.Bounds().width, dialog.Bounds().height);
  view->setSizeGripEnabled(false);
  BuildChildViews(dialog, view, dialogs_);
  dialogs_built_.emplace(&dialog, view);
  return view;
}

void FormWindow::ShowModal(Control& dialog) {
  QDialog* view = DialogFor(dialog);
  if (QScreen* screen = view->screen()) {
    view->move(screen->availableGeometry().center() - view->rect().center());
  }
  view->exec();
}

void FormWindow::ShowProgress(int done, int total) {
  // The caption carries the progress: a status bar would change the
  // window's layout in the middle of a command.
  if (total == 0) {
    setWindowTitle(caption_);
  } else {
    setWindowTitle(caption_ + QStringLiteral(" - 一括更新中 %1 / %2").arg(done).arg(total));
  }
  // Paint, but take no input: a click now would run another command in the
  // middle of this one.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void FormWindow::ShowHelpContents(const std::string& helpFile) {
  QFileInfo file(FromNativePath(helpFile));
  if (!file.isFile()) {
    dialogs_.Message(codepage::Cp932("ヘルプファイルが見つかりません\r\n\"") +
                     codepage::PathForMessage(helpFile) + "\"");
    return;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()))) {
    dialogs_.Message(codepage::Cp932("ヘルプファイルを開くアプリケーションがありません\r\n\"") +
                     codepage::PathForMessage(helpFile) + "\"");
  }
}

}  // namespace tavrin::qt
