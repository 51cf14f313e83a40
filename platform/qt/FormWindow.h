#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/WindowHost.h"
#include "platform/controls/Control.h"
#include "platform/controls/Menu.h"

class QDialog;

namespace tavrin::qt {

// The main window over a form's controls: its menu bar, its client area
// with every control at its place, and the close query. A click anywhere in
// it, and closing it, first ask the cell being edited whether it may be left.
class FormWindow : public QMainWindow {
 public:
  FormWindow(Dialogs& dialogs, QWidget* parent = nullptr);

  // Builds the views of `form` (a client area of its size) and of `menu`;
  // `closeQuery` decides whether the window may close.
  void Attach(Control& form, MainMenu* menu, std::function<bool()> closeQuery);

  void ShowModal(Control& dialog);
  void ShowHelpContents(const std::string& helpFile);
  void ShowProgress(int done, int total);

  // Shows the window for the first time, centred on the screen.
  void ShowCentred();

  // Files dropped on the window, as the system's path bytes.
  void SetOnFilesDropped(std::function<void(const std::vector<std::string>&)> handler);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QDialog* DialogFor(Control& dialog);

  Dialogs& dialogs_;
  QString caption_;
  std::function<bool()> closeQuery_;
  std::function<void(const std::vector<std::string>&)> filesDropped_;
  std::map<Control*, QDialog*> dialogs_built_;
};

// The form's window system: modal dialogs, closing, the help viewer. It
// outlives no one: a form is created before its window (it needs a host),
// and the window's views must go before the controls they show, so the
// host only points at the window.
class QtWindowHost : public WindowHost {
 public:
  void SetWindow(FormWindow* window) { window_ = window; }

  void ShowModal(Control& dialog) override {
    if (window_) window_->ShowModal(dialog);
  }
  void RequestClose() override {
    if (window_) window_->close();
  }
  void ShowHelpContents(const std::string& helpFile) override {
    if (window_) window_->ShowHelpContents(helpFile);
  }
  void ShowProgress(int done, int total) override {
    if (window_) window_->ShowProgress(done, total);
  }

 private:
  QPointer<FormWindow> window_;
};

}  // namespace tavrin::qt
