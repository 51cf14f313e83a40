#include "grids/EditingRules.h"

#include "platform/CodePage.h"

namespace tavrin {
namespace {

using codepage::Cp932;

void ForBoth(GridPair grids, auto&& apply) {
  apply(grids.target);
  apply(grids.defaults);
}

}  // namespace

void AddRows(ValueListEditor& grid, RowSet set) {
  const std::vector<std::string>& keys = ItemNames(set);
  grid.ReserveRows(grid.RowCount() + static_cast<int>(keys.size()));
  for (const std::string& key : keys) grid.InsertRow(key, {});
}

void AddItems(CheckListBox& list, RowSet set) {
  const std::vector<std::string>& keys = ItemNames(set);
  list.ReserveItems(list.Count() + static_cast<int>(keys.size()));
  for (const std::string& key : keys) list.AddItem(key);
}

void ApplyEditingRules(GridPair summary, GridPair fileTime, GridPair docSummary) {
  const std::string dateMask = Cp932("0000/00/00 00:00:00");
  const std::string durationMask = Cp932("00:00:00 & 0000日");
  const std::string yes = Cp932("はい");
  const std::string no = Cp932("いいえ");

  ForBoth(summary, [&](ValueListEditor& grid) {
    for (int row : {summary_row::kLastPrinted, summary_row::kCreated, summary_row::kLastSaved}) {
      grid.SetItemProps(row, {dateMask, {}, false});
    }
    grid.SetItemProps(summary_row::kEditTime, {durationMask, {}, false});
    grid.SetItemProps(summary_row::kSecurity, {"9", {}, false});
  });
  ForBoth(summary, [&](ValueListEditor& grid) {
    for (const char* entry : {"0", "2", "4", "8"}) {
      grid.AddPickListEntry(summary_row::kSecurity, entry);
    }
  });
  ForBoth(summary, [](ValueListEditor& grid) { grid.SetReadOnly(summary_row::kThumbnail, true); });
  ForBoth(fileTime, [&](ValueListEditor& grid) {
    for (int row : {filetime_row::kCreation, filetime_row::kLastWrite, filetime_row::kLastAccess}) {
      grid.SetItemProps(row, {dateMask, {}, false});
    }
  });
  ForBoth(docSummary, [&](ValueListEditor& grid) {
    for (int row : {docsummary_row::kScale, docsummary_row::kLinksDirty}) {
      grid.AddPickListEntry(row, yes);
      grid.AddPickListEntry(row, no);
    }
  });
  ForBoth(docSummary, [](ValueListEditor& grid) {
    grid.SetReadOnly(docsummary_row::kTitlesOfParts, true);
    grid.SetReadOnly(docsummary_row::kHeadingPairs, true);
  });
}

}  // namespace tavrin
