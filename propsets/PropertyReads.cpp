#include "propsets/PropertyReads.h"

#include "grids/RowCatalogue.h"
#include "platform/storage/PropertySet.h"
#include "propsets/AccessFrame.h"
#include "propsets/RowText.h"

namespace tavrin {
namespace {

void ReadInto(const std::string& path, const FMTID& fmtid, RowSet set, ValueListEditor& grid,
              Dialogs& dialogs) {
  const auto rows = Rows(set);
  const auto& keys = ItemNames(set);
  ReadPropertySet(path, fmtid, static_cast<ULONG>(rows.size()), dialogs,
                  [&](std::span<const PROPVARIANT> values) {
                    for (std::size_t i = 0; i < rows.size(); ++i) {
                      grid.SetReadValues(keys[i], RowTextOf(rows[i].shownAs, values[i]));
                    }
                  });
}

}  // namespace

void GetDocumentProperties(const std::string& path, ValueListEditor& grid, Dialogs& dialogs) {
  ReadInto(path, storage::FMTID_SummaryInformation, RowSet::kSummary, grid, dialogs);
}

void GetDocumentProperties2(const std::string& path, ValueListEditor& grid, Dialogs& dialogs) {
  ReadInto(path, storage::FMTID_DocSummaryInformation, RowSet::kDocSummary, grid, dialogs);
}

}  // namespace tavrin
