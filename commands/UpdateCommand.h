#pragma once

#include <functional>
#include <string>

#include "commands/RowChecks.h"
#include "platform/Dialogs.h"

namespace tavrin {

// The three writes of the update command, each taking the file's path.
struct UpdateWrites {
  std::function<void(const std::string&)> setDocumentProperties;
  std::function<void(const std::string&)> setDocumentProperties2;
  std::function<void(const std::string&)> setFileDate;
};

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
