#include "commands/UpdateCommand.h"

#include "commands/ExistsTest.h"
#include "platform/CodePage.h"
#include "platform/storage/Com.h"

namespace tavrin {

const std::string& UpdateQuestion() {
  static const std::string question = codepage::Cp932("更新しますか？");
  return question;
}

void UpdateCommand(const std::string& path, SelectedRows summary, SelectedRows docSummary,
                   Dialogs& dialogs, const UpdateWrites& writes) {
  // Asked before the file is looked at: a wrong name is reported after the
  // answer.
  if (!dialogs.Confirm(UpdateQuestion())) return;
  if (!PassesExistsTest(path, dialogs)) return;
  if (!PassesRowChecks(summary, docSummary, dialogs)) return;
  // The file times go last, so that a selected one is the file's final time
  // whatever writing the property sets did to it.
  {
    // One open of the file for both sets; it is closed before its times
    // are set.
    const StorageReuseScope oneOpen;
    writes.setDocumentProperties(path);
    writes.setDocumentProperties2(path);
  }
  writes.setFileDate(path);
}

}  // namespace tavrin
