#include "grids/DefaultsPage.h"

#include <vector>

#include "grids/RowCatalogue.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/WholeFile.h"
#include "propsets/TextConventions.h"

namespace tavrin {
namespace {

using codepage::Cp932;

constexpr std::size_t kDefaultsLines = 36;

// The rows of the defaults file, in line order.
struct FileRow {
  ValueListEditor& grid;
  const std::string& key;
};

std::vector<FileRow> FileRows(PageGrids page) {
  std::vector<FileRow> rows;
  for (const std::string& key : SummaryItemNames()) rows.push_back({page.summary, key});
  for (const std::string& key : DocSummaryItemNames()) rows.push_back({page.docSummary, key});
  for (const std::string& key : FileTimeItemNames()) rows.push_back({page.fileTime, key});
  return rows;
}

// The grid and key of the row date-set box `i` chooses.
FileRow ChosenRow(std::size_t i, PageGrids page) {
  static constexpr int kSummaryRows[] = {summary_row::kLastPrinted, summary_row::kCreated,
                                         summary_row::kLastSaved};
  if (i < 3) return {page.summary, SummaryItemNames()[static_cast<std::size_t>(kSummaryRows[i])]};
  return {page.fileTime, FileTimeItemNames()[i - 3]};
}

std::string NowText() {
  auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(clock::Now().time_since_epoch())
                       .count() /
                   100 +
               116444736000000000LL;
  return FileTimeToText(FILETIME::FromTicks(static_cast<std::uint64_t>(ticks)));
}

// Lines as the defaults file is read: split at CR LF, a lone CR or a lone
// LF; a last line without its end still counts; a NUL byte ends the text.
std::vector<std::string> SplitLines(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t stop = text.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, stop - start));
    start = stop + (text.compare(stop, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

}  // namespace

void CopySelectedRows(const CheckListBox& list, const ValueListEditor& from, ValueListEditor& to) {
  for (int i = 0; i < list.Count() && i < from.RowCount(); ++i) {
    if (list.Checked(i)) to.SetValues(from.Key(i), from.Values(from.Key(i)));
  }
}

void ClearPage(PageGrids page) {
  for (ValueListEditor* grid : {&page.summary, &page.fileTime, &page.docSummary}) {
    for (int i = 0; i < grid->RowCount(); ++i) grid->SetValueAt(i, {});
  }
}

void SetChosenDatesToNow(const DateSetBoxes& boxes, PageGrids page) {
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (!boxes[i]->Checked()) continue;
    FileRow row = ChosenRow(i, page);
    row.grid.SetValues(row.key, NowText());
  }
}

void SetChosenDatesToZero(const DateSetBoxes& boxes, PageGrids page) {
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (!boxes[i]->Checked()) continue;
    FileRow row = ChosenRow(i, page);
    row.grid.SetValues(row.key, "0000/00/00 00:00:00");
  }
}

void SaveDefaults(const std::string& path, PageGrids defaults, Dialogs& dialogs) {
  if (!dialogs.Confirm(Cp932("規定値を保存しますか？"))) return;
  std::string contents;
  for (const FileRow& row : FileRows(defaults)) {
    std::string value = row.grid.Values(row.key);
    if (value.find_first_of("\r\n") != std::string::npos) {
      dialogs.Message(Cp932("「") + row.key +
                      Cp932("」の値に改行が含まれているため、規定値を保存できません。"
                            "改行を取り除いてから保存してください"));
      return;
    }
    contents += value + "\r\n";
  }
  if (!ReplaceWholeFile(path, contents)) {
    throw Exception(Cp932("ファイル ") + codepage::PathForMessage(path) +
                    Cp932(" を作成できません"));
  }
}

void LoadDefaults(const std::string& path, PageGrids defaults, Dialogs& dialogs) {
  if (dialogs.Confirm(Cp932("規定値を読込みますか？"))) LoadDefaultsFile(path, defaults);
}

void LoadDefaultsFile(const std::string& path, PageGrids defaults) {
  std::optional<std::string> contents = ReadWholeFile(path);
  if (!contents)
    throw Exception(Cp932("ファイル ") + codepage::PathForMessage(path) + Cp932(" は開けません"));
  std::vector<std::string> lines = SplitLines(*contents);
  std::vector<FileRow> rows = FileRows(defaults);
  for (std::size_t i = 0; i < kDefaultsLines; ++i) {
    if (i >= lines.size()) {
      throw Exception(Cp932("リストのインデックスが範囲を超えています (") +
                      std::to_string(lines.size()) + ")");
    }
    rows[i].grid.SetValues(rows[i].key, lines[i]);
  }
}

}  // namespace tavrin
