#include "propsets/PropertyWrites.h"

#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <variant>

#include "grids/RowCatalogue.h"
#include "platform/CodePage.h"
#include "platform/storage/PropertySet.h"
#include "platform/storage/PropertyText.h"
#include "platform/storage/PropertyValue.h"
#include "propsets/AccessFrame.h"
#include "propsets/IntegerText.h"
#include "propsets/RowReport.h"
#include "propsets/RowText.h"
#include "propsets/TextConventions.h"

namespace tavrin {
namespace {

using codepage::Cp932;

// A row's text converted as its row says, before it meets the entry.
using Converted = std::variant<std::string, std::int32_t, FILETIME, VARIANT_BOOL>;

Converted Convert(ShownAs shownAs, std::string text) {
  switch (shownAs) {
    case ShownAs::kInteger:
      return IntegerTextToInt(text);
    case ShownAs::kDuration:
      return TextToEditTime(text);
    case ShownAs::kDateTime:
      return TextToFileTime(text);
    case ShownAs::kYesNo: {
      static const std::string yes = codepage::Cp932("はい");
      return text == yes ? VARIANT_TRUE : VARIANT_FALSE;
    }
    case ShownAs::kText:
    case ShownAs::kAlwaysEmpty:
      break;
  }
  return text;
}

template <typename T>
bool Fits(std::int32_t value) {
  return value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
}

// Texts the entries point at, alive until the write has returned.
struct Keep {
  KeptTexts& texts;
  std::deque<std::u16string>& wideTexts;
};

void StoreText(const std::string& text, PROPVARIANT& entry, Keep keep) {
  if (entry.vt == VT_LPSTR) {
    entry.pszVal = keep.texts.Keep(text);
  } else if (entry.vt == VT_LPWSTR) {
    std::optional<std::string> bytes =
        codepage::Convert(text, codepage::kCp932, codepage::kUtf16Le);
    if (!bytes) return;
    std::u16string& wide = keep.wideTexts.emplace_back();
    for (std::size_t i = 0; i + 1 < bytes->size(); i += 2) {
      wide.push_back(static_cast<char16_t>(static_cast<unsigned char>((*bytes)[i]) |
                                           static_cast<unsigned char>((*bytes)[i + 1]) << 8));
    }
    entry.pwszVal = wide.c_str();
  }
}

void StoreInteger(std::int32_t value, PROPVARIANT& entry) {
  switch (entry.vt) {
    case VT_I4:
    case VT_INT:
      entry.lVal = value;
      break;
    case VT_I2:
      if (Fits<std::int16_t>(value)) entry.iVal = static_cast<std::int16_t>(value);
      break;
    case VT_UI2:
      if (Fits<std::uint16_t>(value)) entry.uiVal = static_cast<std::uint16_t>(value);
      break;
    case VT_UI4:
    case VT_UINT:
      if (value >= 0) entry.ulVal = static_cast<std::uint32_t>(value);
      break;
    default:
      break;
  }
}

// Puts `value` into the member that belongs to the entry's type tag, or
// leaves the entry as read when that type cannot hold it. A missing
// property (VT_EMPTY) takes nothing.
void Store(const Converted& value, PROPVARIANT& entry, Keep keep) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    StoreText(*text, entry, keep);
  } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
    StoreInteger(*number, entry);
  } else if (const auto* time = std::get_if<FILETIME>(&value)) {
    if (entry.vt == VT_FILETIME) entry.filetime = *time;
  } else if (const auto* flag = std::get_if<VARIANT_BOOL>(&value)) {
    if (entry.vt == VT_BOOL) entry.boolVal = *flag;
  }
}

VARTYPE StandardType(ShownAs shownAs) {
  switch (shownAs) {
    case ShownAs::kInteger:
      return VT_I4;
    case ShownAs::kDuration:
    case ShownAs::kDateTime:
      return VT_FILETIME;
    case ShownAs::kYesNo:
      return VT_BOOL;
    case ShownAs::kText:
    case ShownAs::kAlwaysEmpty:
      break;
  }
  return VT_LPSTR;
}

// What Store made of a row's text, told by the entry: an entry that kept its
// value either holds that value already or has a type that could not take
// it, and the text stored under the row's standard type tells which.
RowFate FateOf(ShownAs shownAs, const std::string& text, const PROPVARIANT& asRead,
               const PROPVARIANT& stored, Keep keep) {
  if (stored.vt == VT_EMPTY) return RowFate::kMissing;
  if (!storage::SameValue(asRead, stored)) return RowFate::kStored;
  PROPVARIANT standard;
  standard.vt = StandardType(shownAs);
  Store(Convert(shownAs, text), standard, keep);
  return RowTextOf(shownAs, standard) == RowTextOf(shownAs, asRead) ? RowFate::kSame
                                                                    : RowFate::kTypeKeeps;
}

// The first character of a new 8-bit text that the set's code page cannot
// hold, named with its row, for the refusal's message.
std::string UntranslatableCharacter(const std::vector<std::size_t>& storedAsText,
                                    const ValueListEditor& grid,
                                    const std::vector<std::string>& keys, unsigned codePage) {
  for (std::size_t k : storedAsText) {
    const std::string text = grid.Values(keys[k]);
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t length = codepage::CharLength(text, at);
      const std::string character = text.substr(at, length);
      if (!storage::FromProgramText(character, codePage)) {
        return Cp932("「") + keys[k] + Cp932("」の「") + character +
               Cp932("」は、この文書の文字コード (コードページ ") + std::to_string(codePage) +
               Cp932(") では保存できません");
      }
      at += length;
    }
  }
  return {};
}

SetWrite WriteFrom(const std::string& path, const FMTID& fmtid, RowSet set,
                   const ValueListEditor& grid, const CheckListBox& selection, Dialogs& dialogs) {
  const auto rows = Rows(set);
  const auto& keys = ItemNames(set);
  std::deque<std::u16string> wideTexts;
  // Rows whose new text went into an 8-bit string, in row order.
  std::vector<std::size_t> storedAsText;
  RowReport* report = ActiveRowReport();
  const SetWrite written = WritePropertySet(
      path, fmtid, static_cast<ULONG>(rows.size()), dialogs,
      [&](std::span<PROPVARIANT> values, KeptTexts& texts) {
        // Row order; the rows never shown (thumbnail, heading
        // pairs, titles of parts) are never taken, whatever
        // their items say.
        for (std::size_t k = 0; k < rows.size(); ++k) {
          if (rows[k].shownAs == ShownAs::kAlwaysEmpty) continue;
          if (!selection.Checked(static_cast<int>(k))) continue;
          std::string text = grid.Values(keys[k]);
          std::string shown = RowTextOf(rows[k].shownAs, values[k]);
          const int row = static_cast<int>(k);
          // What this file's own read shows for the property asks for no
          // change: converting it back could not give the stored value
          // wherever the text form drops something.
          if (text == shown) {
            if (report) report->Add({set, row, std::move(shown), std::move(text), RowFate::kSame});
            continue;
          }
          if (values[k].vt == VT_LPSTR && rows[k].shownAs == ShownAs::kText) {
            storedAsText.push_back(k);
          }
          const PROPVARIANT asRead = values[k];
          // A property the set lacks is offered under the row's standard
          // type: a package's set adds it, a compound file's set leaves it
          // absent (the frame tells which, and the report says so).
          if (values[k].vt == VT_EMPTY) values[k].vt = StandardType(rows[k].shownAs);
          Store(Convert(rows[k].shownAs, text), values[k], {texts, wideTexts});
          if (report) {
            const RowFate fate =
                FateOf(rows[k].shownAs, text, asRead, values[k], {texts, wideTexts});
            report->Add({set, row, std::move(shown), std::move(text), fate});
          }
        }
      },
      [&](unsigned codePage) {
        for (std::size_t k : storedAsText) {
          if (report && !storage::FromProgramText(grid.Values(keys[k]), codePage)) {
            report->Mark(set, static_cast<int>(k), RowFate::kCodePage);
          }
        }
        return UntranslatableCharacter(storedAsText, grid, keys, codePage);
      },
      [&](std::size_t k) {
        if (report) report->Mark(set, static_cast<int>(k), RowFate::kMissing);
      });
  if (report && written == SetWrite::kFailed) report->SetFailed(set);
  return written;
}

}  // namespace

SetWrite SetDocumentProperties(const std::string& path, const ValueListEditor& grid,
                               const CheckListBox& selection, Dialogs& dialogs) {
  return WriteFrom(path, storage::FMTID_SummaryInformation, RowSet::kSummary, grid, selection,
                   dialogs);
}

SetWrite SetDocumentProperties2(const std::string& path, const ValueListEditor& grid,
                                const CheckListBox& selection, Dialogs& dialogs) {
  return WriteFrom(path, storage::FMTID_DocSummaryInformation, RowSet::kDocSummary, grid, selection,
                   dialogs);
}

}  // namespace tavrin
