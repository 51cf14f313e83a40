#include "platform/Dialogs.h"

#include <cctype>

#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace tavrin {

void RunHandler(Dialogs& dialogs, const std::function<void()>& handler) {
  try {
    handler();
  } catch (const Exception& error) {
    dialogs.ReportError(error.Message());
  } catch (const std::exception& error) {
    // Errors from the standard library speak the system's language, which
    // is UTF-8 here.
    dialogs.ReportError(codepage::Utf8ToCp932ForDisplay(error.what()));
  }
}

const std::string& ConfirmCaption() {
  static const std::string caption = codepage::Cp932("確認");
  return caption;
}

const std::string& WarningCaption() {
  static const std::string caption = codepage::Cp932("警告");
  return caption;
}

std::string ProgramTitle(std::string_view executablePath) {
  std::string_view name = executablePath.substr(executablePath.find_last_of('/') + 1);
  if (std::size_t dot = name.find_last_of('.'); dot != std::string_view::npos && dot > 0) {
    name = name.substr(0, dot);
  }
  std::string title(name);
  for (std::size_t i = 1; i < title.size(); ++i) {
    title[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(title[i])));
  }
  return title;
}

}  // namespace tavrin
