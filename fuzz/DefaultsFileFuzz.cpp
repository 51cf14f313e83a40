// The defaults file: any bytes load into the defaults page's three grids
// without crashing. Its lines fill the rows in file order (Summary, Document
// Summary, file times); a file of fewer than 36 lines fills the rows it has,
// leaves the others alone and raises the list-index error; nothing adds or
// renames a row. What a full load put in the grids is saved and loaded again
// unchanged.
//
// Input: the file's contents.

#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "grids/DefaultsPage.h"
#include "grids/EditingRules.h"
#include "platform/Exception.h"
#include "platform/ScriptedDialogs.h"

namespace tavrin {
namespace {

constexpr std::size_t kLines = 36;

struct Page {
  Page() {
    AddRows(summary, RowSet::kSummary);
    AddRows(fileTime, RowSet::kFileTime);
    AddRows(docSummary, RowSet::kDocSummary);
  }
  PageGrids Grids() { return {summary, fileTime, docSummary}; }
  // The rows in the order of the file's lines.
  std::vector<std::pair<ValueListEditor*, int>> FileOrder() {
    std::vector<std::pair<ValueListEditor*, int>> rows;
    for (ValueListEditor* grid : {&summary, &docSummary, &fileTime}) {
      for (int i = 0; i < grid->RowCount(); ++i) rows.emplace_back(grid, i);
    }
    return rows;
  }
  ValueListEditor summary{"s", nullptr, {}};
  ValueListEditor fileTime{"f", nullptr, {}};
  ValueListEditor docSummary{"d", nullptr, {}};
};

// The file's lines, read byte by byte: CR LF, a lone CR and a lone LF each
// end one; a last line without an end counts; a NUL ends the text.
std::vector<std::string> LinesOf(std::string_view contents) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (std::size_t i = 0; i < contents.size() && contents[i] != '\0'; ++i) {
    const char c = contents[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (c == '\r' && i + 1 < contents.size() && contents[i + 1] == '\n') ++i;
    } else {
      line += c;
      open = true;
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

// Loads and says whether the list-index error was raised, naming the
// `lines` the file has; any other error is a fault and ends the run.
bool LoadRaises(const std::string& path, Page& page, std::size_t lines) {
  try {
    LoadDefaultsFile(path, page.Grids());
    return false;
  } catch (const Exception& error) {
    FUZZ_CHECK(error.Message().ends_with(" (" + std::to_string(lines) + ")"));
    return true;
  }
}

}  // namespace
}  // namespace tavrin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrin;
  const std::string_view contents(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = LinesOf(contents);

  Page page;
  const auto rows = page.FileOrder();
  FUZZ_CHECK(rows.size() == kLines);
  // A text no line can hold, to tell a row the load left alone.
  const std::string untouched = "untouched\n";
  std::vector<std::string> keys;
  for (auto [grid, row] : rows) {
    grid->SetValueAt(row, untouched);
    keys.push_back(grid->Key(row));
  }

  fuzz::MemoryFile file(contents);
  FUZZ_CHECK(LoadRaises(file.Path(), page, lines.size()) == (lines.size() < kLines));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto [grid, row] = rows[i];
    FUZZ_CHECK(grid->Key(row) == keys[i]);
    FUZZ_CHECK(grid->Value(row) == (i < lines.size() ? lines[i] : untouched));
  }
  FUZZ_CHECK(page.FileOrder().size() == kLines);
  if (lines.size() < kLines) return 0;

  // Whatever a load put in the grids, a save keeps for the next load.
  ScriptedDialogs dialogs("fuzz");
  dialogs.SetStandingAnswer(true);
  const std::string saved = fuzz::ScratchFolder() + "/defaults.dat";
  SaveDefaults(saved, page.Grids(), dialogs);
  FUZZ_CHECK(dialogs.ShownBoxes().size() == 1);  // the question, and no refusal
  Page again;
  FUZZ_CHECK(!LoadRaises(saved, again, kLines));
  const auto reloaded = again.FileOrder();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    FUZZ_CHECK(reloaded[i].first->Value(reloaded[i].second) ==
               rows[i].first->Value(rows[i].second));
  }
  return 0;
}
