#include "commands/UpdateCommand.h"

#include "commands/ExistsTest.h"
#include "platform/CodePage.h"
#include "platform/storage/Com.h"

namespace tavrin {

void ReportHalfChanged(const std::string& path, SetWrite summary, SetWrite docSummary,
                       Dialogs& dialogs) {
  const auto changedAndFailed = [](SetWrite changed, SetWrite failed) {
    return changed == SetWrite::kChanged && failed == SetWrite::kFailed;
  };
  const char* text = nullptr;
  if (changedAndFailed(summary, docSummary)) {
    text = "Summary Information は変更しました。Document Summary Information は変更していません";
  } else if (changedAndFailed(docSummary, summary)) {
    text = "Document Summary Information は変更しました。Summary Information は変更していません";
  }
  if (text != nullptr)
    dialogs.Message(codepage::Cp932(text) + "\r\n" + codepage::PathForMessage(path));
}

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
    const SetWrite first = writes.setDocumentProperties(path);
    ReportHalfChanged(path, first, writes.setDocumentProperties2(path), dialogs);
  }
  writes.setFileDate(path);
}

}  // namespace tavrin
