#pragma once
// How the command line names a row: the set, a colon, and the row's key as
// the window shows it ("summary:作成者") or its English alias
// ("summary:author").

#include <optional>
#include <string>
#include <string_view>

#include "grids/RowCatalogue.h"

namespace tavrin::cli {

struct NamedRow {
  RowSet set;
  int row;
};

// The row `name` (UTF-8) stands for. English aliases and set names match
// without regard to case.
std::optional<NamedRow> FindRow(std::string_view name);

// The name of a row as --help lists it first: the set and the alias.
std::string AliasOf(NamedRow row);

// Every row that can be changed, one line each: "  summary:author  summary:作成者",
// for --help.
std::string RowNameList();

}  // namespace tavrin::cli
