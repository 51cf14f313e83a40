#pragma once
// A form for tests of the writes and the update command, with the few steps
// a user takes before pressing the change button: select rows, type values.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "grids/RowCatalogue.h"
#include "platform/CodePage.h"
#include "platform/ScriptedDialogs.h"
#include "platform/storage/CompoundFile.h"
#include "support/ExternalReaders.h"
#include "support/ScriptedHost.h"
#include "support/TestDocument.h"

namespace tavrin::testing {

inline const std::u16string kSummaryStream = u"\x0005SummaryInformation";
inline const std::u16string kDocSummaryStream =
    u"\x0005"
    u"DocumentSummaryInformation";
inline const std::string kSummaryStreamName = "\x05SummaryInformation";
inline const std::string kDocSummaryStreamName =
    "\x05"
    "DocumentSummaryInformation";

// A stream of a compound file as our engine reads it; empty when missing.
inline std::string StreamOf(const std::string& path, const std::u16string& name) {
  std::unique_ptr<storage::CompoundFile> file;
  if (FAILED(storage::CompoundFile::Open(path, file))) return {};
  std::string bytes;
  if (auto entry = file->FindRootStream(name)) file->ReadStream(*entry, bytes);
  return bytes;
}

// What python3-olefile finds in the two sets: "set propid" -> value.
using OleProperties = std::map<std::string, std::string>;
inline std::map<std::string, OleProperties> OlefileProperties(
    const std::vector<std::string>& paths) {
  std::vector<std::string> argv{"/usr/bin/python3", TAVRIN_TEST_SUPPORT_DIR "/olefile_props.py"};
  argv.insert(argv.end(), paths.begin(), paths.end());
  std::map<std::string, OleProperties> out;
  std::istringstream lines(fixture::RunProcess(argv).output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string path, set, id, value;
    std::getline(fields, path, '\t');
    std::getline(fields, set, '\t');
    std::getline(fields, id, '\t');
    std::getline(fields, value);
    out[path][set + " " + id] = value;
  }
  return out;
}

class UpdateForm {
 public:
  UpdateForm() {
    form.FormCreate();
    // Start from nothing selected, whatever the form's defaults are.
    for (CheckListBox* list : {&form.CheckListBox1, &form.CheckListBox2, &form.CheckListBox3}) {
      for (int i = 0; i < list->Count(); ++i) list->SetChecked(i, false);
    }
  }

  CheckListBox& ListOf(RowSet set) {
    return set == RowSet::kSummary      ? form.CheckListBox1
           : set == RowSet::kDocSummary ? form.CheckListBox3
                                        : form.CheckListBox2;
  }
  ValueListEditor& GridOf(RowSet set) {
    return set == RowSet::kSummary      ? form.ValueListEditor1
           : set == RowSet::kDocSummary ? form.ValueListEditor5
                                        : form.ValueListEditor3;
  }
  // Selects the row and types `utf8` (converted to CP932) into it.
  void Put(RowSet set, int row, const std::string& utf8) {
    ListOf(set).SetChecked(row, true);
    GridOf(set).SetValueAt(row, codepage::Cp932(utf8));
  }
  void Select(RowSet set, int row) { ListOf(set).SetChecked(row, true); }

  // Presses the change button with `path` in the file name box, answering
  // the question with `answer`; an escaping error goes to the error report.
  void Update(const std::string& path, bool answer = true) {
    dialogs.Clear();
    dialogs.QueueAnswer(answer);
    form.Edit1.SetText(path);
    RunHandler(dialogs, [&] { form.Button2Click(); });
  }
  void Show(const std::string& path) {
    dialogs.Clear();
    form.Edit1.SetText(path);
    form.Button1Click();
  }

  // The texts of the boxes shown, the question included.
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto& shown : dialogs.ShownBoxes()) texts.push_back(shown.text);
    return texts;
  }
  // The same without the question.
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& shown : dialogs.ShownBoxes()) {
      if (shown.kind != ScriptedDialogs::Kind::kConfirm) texts.push_back(shown.text);
    }
    return texts;
  }

  ScriptedDialogs dialogs{"tavrin"};
  ScriptedHost host;
  TForm1 form{dialogs, host, "/opt/tavrin/tavrin"};
};

}  // namespace tavrin::testing
