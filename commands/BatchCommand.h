#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "commands/RowChecks.h"
#include "commands/UpdateCommand.h"
#include "platform/Dialogs.h"
#include "platform/WindowHost.h"
#include "platform/controls/ShellListView.h"

namespace tavrin {

// The three writes of the batch command, each taking one file's path.
struct BatchWrites {
  std::function<SetWrite(const std::string&)> setDocumentPropertiesAll;
  std::function<SetWrite(const std::string&)> setDocumentProperties2All;
  std::function<void(const std::string&)> setFileDateAll;
};

// The pause before each file's writes.
inline constexpr std::chrono::milliseconds kBatchPause{50};

// Writes the selected default rows into every selected item of `list`, in
// list order: two questions first, then the row checks on the defaults
// grids (the editing time before the counts), then for each selected item
// the exists test (a folder or a vanished file ends the whole command), the
// pause, and the three writes, each running whatever the earlier ones
// reported. `host` shows how far the walk has come and keeps the window
// painted; nothing the command does or reports depends on it.
void BatchCommand(const ShellListView& list, SelectedRows summaryDefaults,
                  SelectedRows docSummaryDefaults, Dialogs& dialogs, WindowHost& host,
                  const BatchWrites& writes, std::chrono::milliseconds pause = kBatchPause);

}  // namespace tavrin
