#include "propsets/PropertyReads.h"

#include "grids/RowCatalogue.h"
#include "platform/CodePage.h"
#include "platform/storage/PropertySet.h"
#include "propsets/AccessFrame.h"
#include "propsets/IntegerText.h"
#include "propsets/TextConventions.h"

namespace tavrin {
namespace {

// Only string rows look at the type tag: anything but an 8-bit string shows
// as the empty text. Dates, durations, counts and flags are read from the
// value part whatever the tag says, as the platform's overlapping value
// members would show them.
std::string StringOf(const PROPVARIANT& value) {
  return value.vt == VT_LPSTR && value.pszVal != nullptr ? std::string(value.pszVal)
                                                         : std::string();
}

std::string YesNoOf(const PROPVARIANT& value) {
  static const std::string yes = codepage::Cp932("はい");
  static const std::string no = codepage::Cp932("いいえ");
  return value.boolVal != 0 ? yes : no;
}

std::string TextOf(ShownAs shownAs, const PROPVARIANT& value) {
  switch (shownAs) {
    case ShownAs::kText:
      return StringOf(value);
    case ShownAs::kInteger:
      return IntToText(value.lVal);
    case ShownAs::kDuration:
      return EditTimeToText(value.filetime);
    case ShownAs::kDateTime:
      return FileTimeToText(value.filetime);
    case ShownAs::kYesNo:
      return YesNoOf(value);
    case ShownAs::kAlwaysEmpty:
      break;
  }
  return {};
}

void ReadInto(const std::string& path, const FMTID& fmtid, RowSet set, ValueListEditor& grid,
              Dialogs& dialogs) {
  const auto rows = Rows(set);
  const auto& keys = ItemNames(set);
  ReadPropertySet(path, fmtid, static_cast<ULONG>(rows.size()), dialogs,
                  [&](std::span<const PROPVARIANT> values) {
                    for (std::size_t i = 0; i < rows.size(); ++i) {
                      grid.SetValues(keys[i], TextOf(rows[i].shownAs, values[i]));
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
