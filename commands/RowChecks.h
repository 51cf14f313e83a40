#pragma once
// The eighteen input checks that the update and batch commands run, in their
// fixed order, on the selected numeric, date, duration and yes/no rows before
// anything is written. The first check that fails names its row; no later
// check runs.

#include <optional>
#include <string>

#include "platform/Dialogs.h"
#include "platform/controls/CheckListBox.h"
#include "platform/controls/ValueListEditor.h"

namespace tavrin {

// A grid with the list whose checked items select its rows.
struct SelectedRows {
  const ValueListEditor& grid;
  const CheckListBox& selection;
};

// The message of the first check that fails, or nothing when all pass.
// A check whose row is not selected, or still holds the value a read of the
// file put there, is skipped.
std::optional<std::string> FirstFailedRowCheck(SelectedRows summary, SelectedRows docSummary);

// The checks as the commands run them: the first failure's message is shown.
bool PassesRowChecks(SelectedRows summary, SelectedRows docSummary, Dialogs& dialogs);

// A duration passes when its "hh:nn:ss" (positions 1 to 8) is a time of day
// and its day count (positions 12 to 15) is integer text; positions 9 to 11
// and anything past 15 are not looked at.
bool IsValidDurationText(const std::string& text);

}  // namespace tavrin
