#include "app/cli/Csv.h"

#include "app/cli/Output.h"
#include "app/cli/RowNames.h"
#include "platform/CodePage.h"

namespace tavrin::cli {
namespace {

constexpr RowSet kGridOrder[] = {RowSet::kSummary, RowSet::kDocSummary, RowSet::kFileTime};

const ValueListEditor& GridOf(const TForm1& form, RowSet set) {
  switch (set) {
    case RowSet::kSummary:
      return form.ValueListEditor1;
    case RowSet::kDocSummary:
      return form.ValueListEditor5;
    case RowSet::kFileTime:
      break;
  }
  return form.ValueListEditor3;
}

}  // namespace

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string CsvHeader() {
  std::string out = "path";
  for (RowSet set : kGridOrder) {
    for (std::size_t i = 0; i < Rows(set).size(); ++i) {
      out += "," + CsvField(AliasOf({set, static_cast<int>(i)}));
    }
  }
  return out + "\r\n";
}

std::string CsvLine(const FormReport& report) {
  std::string out = CsvField(EscapedPath(report.path));
  for (RowSet set : kGridOrder) {
    const ValueListEditor& grid = GridOf(report.form, set);
    for (int i = 0; i < grid.RowCount(); ++i) {
      out += "," + CsvField(codepage::Cp932ToUtf8(grid.Value(i)));
    }
  }
  return out + "\r\n";
}

}  // namespace tavrin::cli
