#pragma once

#include <functional>
#include <string>

#include "commands/RowChecks.h"
#include "platform/Dialogs.h"
#include "propsets/AccessFrame.h"

namespace tavrin {

// The three writes of the update command, each taking the file's path.
struct UpdateWrites {
  std::function<SetWrite(const std::string&)> setDocumentProperties;
  std::function<SetWrite(const std::string&)> setDocumentProperties2;
  std::function<void(const std::string&)> setFileDate;
};

// When one of a file's two sets was changed and the other's write failed,
// says which is which, naming the file: each failure's own message cannot
// tell the user that the document is now half changed.
void ReportHalfChanged(const std::string& path, SetWrite summary, SetWrite docSummary,
                       Dialogs& dialogs);

// The question asked before anything else.
const std::string& UpdateQuestion();

// Changes the file `path`: asks first (a cancel ends it), then the exists
// test, then the row checks on the selected rows, then the Summary
// Information, the Document Summary Information and the file times, each
// write running whatever the earlier ones reported. No message on success
// and no new reading of the file.
void UpdateCommand(const std::string& path, SelectedRows summary, SelectedRows docSummary,
                   Dialogs& dialogs, const UpdateWrites& writes);

}  // namespace tavrin
