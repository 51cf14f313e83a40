#pragma once
// Every message, question and error report of the program goes through this
// one interface: the window shows real boxes, tests and the command-line
// front end use a scripted implementation. All texts are CP932.

#include <functional>
#include <string>
#include <string_view>

namespace tavrin {

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A plain message box: the text, one OK button, no icon, captioned with
  // the program title.
  virtual void Message(std::string_view text) = 0;
  // A confirmation box captioned "確認" with a question icon, "OK" (the
  // default) and "キャンセル" (also Escape and the close box). True for OK.
  virtual bool Confirm(std::string_view text) = 0;
  // A warning box captioned "警告" with "はい(&Y)" (the default) and
  // "いいえ(&N)" (also Escape). True for yes.
  virtual bool Warn(std::string_view text) = 0;
  // The window's general report of an error that escaped a handler: an
  // error box with the error's text, captioned with the program title.
  virtual void ReportError(std::string_view text) = 0;
};

// Runs a handler of the window: an error that escapes it ends the handler
// and is shown by the general error report, and the program goes on.
void RunHandler(Dialogs& dialogs, const std::function<void()>& handler);

// The captions of the two question boxes, CP932.
const std::string& ConfirmCaption();
const std::string& WarningCaption();

// The executable's base name without its extension, every letter after the
// first in lower case: the caption of plain messages and error reports.
std::string ProgramTitle(std::string_view executablePath);

}  // namespace tavrin
