#pragma once
// The three fixed row sets: their order, keys, properties, editing rules and
// default selection. Every other unit names a row by its index here, and the
// keys double as the grids' keys and the settings file's key names.

#include <span>
#include <string>
#include <vector>

namespace tavrin {

enum class RowSet { kSummary, kDocSummary, kFileTime };

// How a row's value is shown and edited.
enum class ShownAs { kText, kInteger, kDuration, kDateTime, kYesNo, kAlwaysEmpty };

struct RowInfo {
  const char* keyUtf8;  // as written here; ItemNames() holds the CP932 bytes
  ShownAs shownAs;
  bool checkedByDefault;
};

// Row index i of the Summary and Document Summary sets stands for PROPID
// i + 2 of its property set; file-time rows 0, 1, 2 stand for creation, last
// write and last access.
std::span<const RowInfo> Rows(RowSet set);
inline constexpr int kFirstPropId = 2;

// The row-name lists: the CP932 keys in row order, alive for the whole run.
const std::vector<std::string>& SummaryItemNames();
const std::vector<std::string>& DocSummaryItemNames();
const std::vector<std::string>& FileTimeItemNames();
const std::vector<std::string>& ItemNames(RowSet set);

// Summary rows the program names.
namespace summary_row {
inline constexpr int kTitle = 0;
inline constexpr int kAuthor = 2;
inline constexpr int kLastAuthor = 6;
inline constexpr int kEditTime = 8;
inline constexpr int kLastPrinted = 9;
inline constexpr int kCreated = 10;
inline constexpr int kLastSaved = 11;
inline constexpr int kPageCount = 12;
inline constexpr int kWordCount = 13;
inline constexpr int kCharCount = 14;
inline constexpr int kThumbnail = 15;
inline constexpr int kAppName = 16;
inline constexpr int kSecurity = 17;
}  // namespace summary_row

namespace docsummary_row {
inline constexpr int kByteCount = 2;
inline constexpr int kMmClipCount = 8;
inline constexpr int kScale = 9;
inline constexpr int kHeadingPairs = 10;
inline constexpr int kTitlesOfParts = 11;
inline constexpr int kLinksDirty = 14;
}  // namespace docsummary_row

namespace filetime_row {
inline constexpr int kCreation = 0;
inline constexpr int kLastWrite = 1;
inline constexpr int kLastAccess = 2;
}  // namespace filetime_row

// The rows that are read-only whatever the selection says, and whose
// check-list items the user cannot toggle.
std::span<const int> FixedReadOnlyRows(RowSet set);

}  // namespace tavrin
