#pragma once
// The operations that fill and keep the default values: copying selected
// rows between the pages, clearing a page, setting chosen date rows to now
// or to the zero date, and the defaults file. Values are set by key and
// regardless of read-only flags, which only stop the user's typing.

#include <array>
#include <string>

#include "grids/GridPair.h"
#include "platform/Dialogs.h"
#include "platform/controls/CheckBox.h"
#include "platform/controls/CheckListBox.h"

namespace tavrin {

// One page's three grids.
struct PageGrids {
  ValueListEditor& summary;
  ValueListEditor& fileTime;
  ValueListEditor& docSummary;
};

// Copies the rows checked in `list` from `from` to `to`, by key.
void CopySelectedRows(const CheckListBox& list, const ValueListEditor& from, ValueListEditor& to);

// Empties every value of the page: Summary, file-time, Document Summary.
void ClearPage(PageGrids page);

// The rows the six date-set boxes choose, in their order: Summary rows 9,
// 10, 11, then file-time rows 0, 1, 2.
using DateSetBoxes = std::array<const CheckBox*, 6>;

// Sets each chosen row to the current local time, reading the clock anew
// for each row.
void SetChosenDatesToNow(const DateSetBoxes& boxes, PageGrids page);
// Sets each chosen row to the zero text.
void SetChosenDatesToZero(const DateSetBoxes& boxes, PageGrids page);

// Asks, then writes the 36 values of the defaults page to `path`, one line
// each, ended by CR LF. A value holding a line break cannot be kept by the
// format (it would shift every later row at the next load), so such a save
// is refused with a message naming the row, and nothing is written. A file
// that cannot be created raises an error naming it.
void SaveDefaults(const std::string& path, PageGrids defaults, Dialogs& dialogs);

// Asks, then loads the defaults page from `path`. A file that cannot be
// opened raises an error naming it; one with fewer than 36 lines loads the
// lines it has and then raises the list-index error.
void LoadDefaults(const std::string& path, PageGrids defaults, Dialogs& dialogs);
// The same without the question, for scripts.
void LoadDefaultsFile(const std::string& path, PageGrids defaults);

}  // namespace tavrin
