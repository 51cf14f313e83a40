#pragma once
// What a command that writes tells of each file: whether it changed, and
// for each selected row the old and the new text and whether it was stored
// or why not. Printed as lines for a person (a dry run) or as one entry of
// the JSON document's "files".

#include <string>
#include <vector>

#include "platform/ScriptedDialogs.h"
#include "propsets/RowReport.h"

namespace tavrin::cli {

enum class FileStatus { kChanged, kUnchanged, kFailed, kNotProcessed };

struct FileOutcome {
  std::string path;
  FileStatus status = FileStatus::kUnchanged;
  std::vector<RowOutcome> rows;  // the selected rows, in the order named
  std::vector<ScriptedDialogs::Shown> messages;
};

// The word JSON gives a status, and a reason a row was not stored.
const char* StatusName(FileStatus status);
const char* FateName(RowFate fate);

// "== PATH" and a line for each row that would change ("ROW: old -> new")
// or would not be stored ("ROW: not stored: why"); rows that keep the
// file's value are left out.
std::string RenderPlan(const FileOutcome& outcome);

// {"path", "path_bytes", "status", "rows": [{"key", "alias", "old", "new",
// "stored", "reason"}], "messages": [{"caption", "text"}]}; "reason" only
// for a row not stored, "old" null where no write read the row.
std::string RenderOutcomeJson(const FileOutcome& outcome);

}  // namespace tavrin::cli
