#include "app/cli/FormReport.h"

#include <utility>
#include <vector>

#include "app/cli/Json.h"
#include "app/cli/Output.h"
#include "app/cli/RowNames.h"
#include "platform/CodePage.h"

namespace tavrin::cli {
namespace {

using codepage::Cp932ToUtf8;

struct NamedGrid {
  const char* name;
  RowSet set;
  const ValueListEditor& grid;
};

// Keys are the same few dozen texts, in the same places, for every file of
// a run: each is converted once and found again by its place (the row's
// number over all grids), checked against the text there.
const std::string& KeyText(std::size_t place, const std::string& cp932) {
  thread_local std::vector<std::pair<std::string, std::string>> converted;
  if (place >= converted.size()) converted.resize(place + 1);
  auto& [from, to] = converted[place];
  if (from != cp932) {
    from = cp932;
    to = Cp932ToUtf8(cp932);
  }
  return to;
}

std::vector<NamedGrid> GridsOf(const TForm1& form) {
  return {{"summary", RowSet::kSummary, form.ValueListEditor1},
          {"docsummary", RowSet::kDocSummary, form.ValueListEditor5},
          {"filetime", RowSet::kFileTime, form.ValueListEditor3}};
}

}  // namespace

std::string RenderJson(const FormReport& report, bool hex) {
  std::string out = "{" + JsonPathMembers(report.path) + ",\"grids\":{";
  bool firstGrid = true;
  std::size_t place = 0;
  for (const NamedGrid& named : GridsOf(report.form)) {
    out += (firstGrid ? "\"" : ",\"") + std::string(named.name) + "\":[";
    firstGrid = false;
    for (int i = 0; i < named.grid.RowCount(); ++i) {
      const std::string& value = named.grid.Value(i);
      out += i == 0 ? "{" : ",{";
      out += "\"key\":" + JsonString(KeyText(place++, named.grid.Key(i)));
      out += ",\"alias\":\"" + AliasOf({named.set, i}) + "\"";
      out += ",\"value\":" + JsonString(Cp932ToUtf8(value));
      if (hex) out += ",\"hex\":\"" + HexBytes(value) + "\"";
      out += "}";
    }
    out += "]";
  }
  out += "},\"messages\":[";
  for (std::size_t i = 0; i < report.boxes.size(); ++i) {
    const auto& box = report.boxes[i];
    out += i == 0 ? "{" : ",{";
    out += "\"caption\":" + JsonString(Cp932ToUtf8(box.caption));
    out += ",\"text\":" + JsonString(Cp932ToUtf8(box.text)) + "}";
  }
  return out + "]}";
}

std::string RenderText(const FormReport& report) {
  // Appended piece by piece into one buffer: a run prints thousands of these.
  std::string out;
  out.reserve(1024);
  out.append("== ").append(EscapedPath(report.path)).append("\n");
  std::size_t place = 0;
  for (const NamedGrid& named : GridsOf(report.form)) {
    out.append("[").append(named.name).append("]\n");
    for (int i = 0; i < named.grid.RowCount(); ++i) {
      out.append(KeyText(place++, named.grid.Key(i))).append(" = ");
      out.append(Cp932ToUtf8(named.grid.Value(i))).append("\n");
    }
  }
  return out;
}

std::string RenderMessages(const FormReport& report) {
  std::string out;
  for (const auto& box : report.boxes) out += MessageLine(report.path, box);
  return out;
}

}  // namespace tavrin::cli
