#pragma once
// What a form asks of the window system beyond its controls: modal dialogs,
// closing, the help viewer. The Qt window implements it; tests and the
// command-line front end use a scripted one.

#include <string>

namespace tavrin {

class Control;

class WindowHost {
 public:
  virtual ~WindowHost() = default;

  // Shows `dialog` modally and returns when it has closed.
  virtual void ShowModal(Control& dialog) = 0;
  // Asks the main window to close, exactly as its close box does; the
  // form's close query decides.
  virtual void RequestClose() = 0;
  // Shows the contents of `helpFile` (a native path).
  virtual void ShowHelpContents(const std::string& helpFile) = 0;
  // A long command tells how far it has come (`done` of `total` files, 0 of
  // 0 when it ends) and lets the window repaint meanwhile. The user's input
  // waits: the command runs on the window's one thread.
  virtual void ShowProgress(int done, int total) = 0;
};

}  // namespace tavrin
