#include "commands/BatchCommand.h"

#include <thread>
#include <vector>

#include "commands/ExistsTest.h"
#include "grids/RowCatalogue.h"
#include "platform/CodePage.h"
#include "platform/storage/Com.h"

namespace tavrin {
namespace {

using codepage::Cp932;

// The batch runs the update command's checks with one difference of order:
// the editing time comes before the three counts. Since every check only
// looks at its own row, testing the editing time first and then running
// the usual sequence (in which it passes again) gives exactly that order.
bool PassesBatchChecks(SelectedRows summary, SelectedRows docSummary, Dialogs& dialogs) {
  const int editTime = summary_row::kEditTime;
  if (summary.selection.Checked(editTime) &&
      !IsValidDurationText(
          summary.grid.Values(SummaryItemNames()[static_cast<std::size_t>(editTime)]))) {
    dialogs.Message(Cp932("編集時間の指定が違います"));
    return false;
  }
  return PassesRowChecks(summary, docSummary, dialogs);
}

}  // namespace

void BatchCommand(const ShellListView& list, SelectedRows summaryDefaults,
                  SelectedRows docSummaryDefaults, Dialogs& dialogs, WindowHost& host,
                  const BatchWrites& writes, std::chrono::milliseconds pause) {
  if (!dialogs.Confirm(Cp932("一括更新しますか？"))) return;
  if (!dialogs.Warn(Cp932("本当に一括更新してもよろしいですか？"))) return;
  if (!PassesBatchChecks(summaryDefaults, docSummaryDefaults, dialogs)) return;

  const int count = list.Count();
  std::vector<int> chosen;
  for (int i = 0; i < count; ++i) {
    if (list.Selected(i)) chosen.push_back(i);
  }
  const int total = static_cast<int>(chosen.size());
  struct EndProgress {
    WindowHost& host;
    ~EndProgress() { host.ShowProgress(0, 0); }
  } endProgress{host};
  for (int done = 0; done < total; ++done) {
    const std::string& path = list.ParsingName(chosen[static_cast<std::size_t>(done)]);
    if (!PassesExistsTest(path, dialogs)) return;
    // The window repaints here, once per file, which at one file per pause
    // keeps it painted throughout.
    host.ShowProgress(done + 1, total);
    std::this_thread::sleep_for(pause);
    {
      const StorageReuseScope oneOpen;  // as in the update command
      const SetWrite summary = writes.setDocumentPropertiesAll(path);
      ReportHalfChanged(path, summary, writes.setDocumentProperties2All(path), dialogs);
    }
    writes.setFileDateAll(path);
  }
}

}  // namespace tavrin
