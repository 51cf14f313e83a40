#include "app/cli/RowNames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <span>

namespace tavrin::cli {
namespace {

struct SetName {
  RowSet set;
  const char* name;
};
constexpr std::array kSets{SetName{RowSet::kSummary, "summary"},
                           SetName{RowSet::kDocSummary, "docsummary"},
                           SetName{RowSet::kFileTime, "filetime"}};

// In row order, as the row catalogue has them.
constexpr std::array<const char*, 18> kSummaryAliases{
    "title",       "subject",  "author",     "keywords",     "comments",    "template",
    "last-author", "revision", "edit-time",  "last-printed", "created",     "last-saved",
    "pages",       "words",    "characters", "thumbnail",    "application", "security"};
constexpr std::array<const char*, 15> kDocSummaryAliases{"category",
                                                         "presentation-format",
                                                         "bytes",
                                                         "lines",
                                                         "paragraphs",
                                                         "slides",
                                                         "notes",
                                                         "hidden",
                                                         "multimedia-clips",
                                                         "scale",
                                                         "heading-pairs",
                                                         "titles-of-parts",
                                                         "manager",
                                                         "company",
                                                         "links-dirty"};
constexpr std::array<const char*, 3> kFileTimeAliases{"created", "modified", "accessed"};

std::span<const char* const> AliasesOf(RowSet set) {
  switch (set) {
    case RowSet::kSummary:
      return kSummaryAliases;
    case RowSet::kDocSummary:
      return kDocSummaryAliases;
    case RowSet::kFileTime:
      break;
  }
  return kFileTimeAliases;
}

const char* SetNameOf(RowSet set) {
  for (const SetName& known : kSets) {
    if (known.set == set) return known.name;
  }
  return "";
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::optional<NamedRow> FindRow(std::string_view name) {
  const std::size_t colon = name.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view setName = name.substr(0, colon);
  const std::string_view rowName = name.substr(colon + 1);
  for (const SetName& known : kSets) {
    if (!SameIgnoringCase(setName, known.name)) continue;
    const std::span<const RowInfo> rows = Rows(known.set);
    const std::span<const char* const> aliases = AliasesOf(known.set);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rowName == rows[i].keyUtf8 || SameIgnoringCase(rowName, aliases[i])) {
        return NamedRow{known.set, static_cast<int>(i)};
      }
    }
  }
  return std::nullopt;
}

std::string AliasOf(NamedRow row) {
  return std::string(SetNameOf(row.set)) + ":" +
         AliasesOf(row.set)[static_cast<std::size_t>(row.row)];
}

std::string RowNameList() {
  std::string out;
  for (const SetName& known : kSets) {
    const std::span<const RowInfo> rows = Rows(known.set);
    const std::span<const int> fixed = FixedReadOnlyRows(known.set);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      // Rows that are never written are not offered.
      if (std::find(fixed.begin(), fixed.end(), static_cast<int>(i)) != fixed.end()) continue;
      std::string alias = AliasOf({known.set, static_cast<int>(i)});
      alias.resize(std::max<std::size_t>(alias.size() + 2, 32), ' ');
      out += "  " + alias + known.name + ":" + rows[i].keyUtf8 + "\n";
    }
  }
  return out;
}

}  // namespace tavrin::cli
