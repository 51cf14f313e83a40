#include "commands/ExistsTest.h"

#include <sys/stat.h>

#include "platform/CodePage.h"

namespace tavrin {

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

const std::string& FileNotFoundMessage() {
  static const std::string message = codepage::Cp932("ファイルが見つかりません");
  return message;
}

bool PassesExistsTest(const std::string& path, Dialogs& dialogs) {
  if (FileExists(path)) return true;
  dialogs.Message(FileNotFoundMessage());
  return false;
}

}  // namespace tavrin
