#pragma once
// show --csv: one line per file and a column per row, quoted as RFC 4180
// says, in UTF-8 after a byte order mark (without it, spreadsheet programs
// set up for Japanese read the file as Shift_JIS).

#include <string>
#include <string_view>

#include "app/cli/FormReport.h"

namespace tavrin::cli {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// `text` as one field: quoted when it holds a comma, a quote or a line
// break, its quotes doubled.
std::string CsvField(std::string_view text);

// "path", then the alias of every row of the three grids in grid order.
std::string CsvHeader();

// The file's name (escaped as in text output) and its rows' values, in the
// header's order.
std::string CsvLine(const FormReport& report);

}  // namespace tavrin::cli
