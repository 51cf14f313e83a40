#include "filetimes/FileDate.h"

#include <optional>

#include "grids/RowCatalogue.h"
#include "platform/CodePage.h"
#include "platform/FileTimes.h"
#include "platform/HResultText.h"
#include "platform/WritePolicy.h"
#include "platform/storage/Com.h"
#include "platform/storage/File.h"
#include "propsets/RowReport.h"
#include "propsets/TextConventions.h"

namespace tavrin {
namespace {

void ShowRows(ValueListEditor& grid, const std::string& creation, const std::string& lastWrite,
              const std::string& lastAccess) {
  const auto& keys = FileTimeItemNames();
  grid.SetValues(keys[filetime_row::kCreation], creation);
  grid.SetValues(keys[filetime_row::kLastWrite], lastWrite);
  grid.SetValues(keys[filetime_row::kLastAccess], lastAccess);
}

std::string FailureMessage(const char* call, HRESULT hr) {
  return std::string("Error ") + call + "\r\n" + HResultText(hr);
}

void Fail(ValueListEditor& grid, Dialogs& dialogs, const char* call, HRESULT hr) {
  ShowRows(grid, {}, {}, {});
  dialogs.Message(FailureMessage(call, hr));
}

struct SetOutcome {
  std::optional<std::string> failure;
  bool creationNotSettable = false;
};

SetOutcome SetTimes(const std::string& path, const ValueListEditor& grid,
                    const CheckListBox& selection) {
  TimedFile file;
  if (HRESULT hr = TimedFile::Open(path, TimedFile::Access::kReadWrite, file); FAILED(hr)) {
    return {FailureMessage("CreateFile", hr)};
  }
  FileTimeSet current;
  if (HRESULT hr = file.GetTimes(current); FAILED(hr)) {
    return {FailureMessage("GetFileTime", hr)};
  }
  // 0 leaves a time as it is, to the nanosecond. So does a checked row that
  // shows this file's time as it is now: the grid shows whole seconds, and
  // converting its text back would round the time a file system keeps to
  // the nanosecond.
  FileTimeSet asked{};
  const auto& keys = FileTimeItemNames();
  FILETIME* targets[] = {&asked.creation, &asked.lastWrite, &asked.lastAccess};
  const FILETIME now[] = {current.creation, current.lastWrite, current.lastAccess};
  RowReport* report = ActiveRowReport();
  bool anyAsked = false;
  for (int row : {filetime_row::kCreation, filetime_row::kLastWrite, filetime_row::kLastAccess}) {
    if (!selection.Checked(row)) continue;
    std::string text = grid.Values(keys[static_cast<std::size_t>(row)]);
    std::string shown = FileTimeToText(now[row]);
    if (text != shown) *targets[row] = TextToFileTime(text);
    const bool asks = *targets[row] != FILETIME{};
    anyAsked = anyAsked || asks;
    if (report) {
      report->Add({RowSet::kFileTime, row, std::move(shown), std::move(text),
                   asks ? RowFate::kStored : RowFate::kSame});
    }
  }
  if (anyAsked) {
    if (HRESULT hr = MayWrite(path); hr == S_FALSE) {
      return {};
    } else if (FAILED(hr)) {
      return {FailureMessage("SetFileTime", hr)};
    }
  }
  CreationTimeResult creation = CreationTimeResult::kNotAsked;
  if (HRESULT hr = file.SetTimes(asked, creation); FAILED(hr)) {
    return {FailureMessage("SetFileTime", hr)};
  }
  return {std::nullopt, creation == CreationTimeResult::kNotSettable};
}

HRESULT ReadTimes(const std::string& path, FileTimeSet& times, const char*& failedCall) {
  // When the property sets are read next, the document is opened once for
  // all three reads: its times come from the open the storage engine goes on
  // to use.
  if (const storage::File* document = OpenStorageAhead(path.c_str())) {
    times = TimesOf(document->descriptor(), document->status());
    return S_OK;
  }
  TimedFile file;
  failedCall = "CreateFile";
  if (HRESULT hr = TimedFile::Open(path, TimedFile::Access::kRead, file); FAILED(hr)) return hr;
  failedCall = "GetFileTime";
  return file.GetTimes(times);
}

}  // namespace

void GetFileDate(const std::string& path, ValueListEditor& grid, Dialogs& dialogs) {
  FileTimeSet times;
  const char* failedCall = "";
  if (HRESULT hr = ReadTimes(path, times, failedCall); FAILED(hr)) {
    Fail(grid, dialogs, failedCall, hr);
    return;
  }
  ShowRows(grid, FileTimeToText(times.creation), FileTimeToText(times.lastWrite),
           FileTimeToText(times.lastAccess));
}

const std::string& CreationTimeNotSettableMessage() {
  static const std::string message =
      codepage::Cp932("このファイルシステムでは作成日時を変更できません");
  return message;
}

void SetFileDate(const std::string& path, const ValueListEditor& grid,
                 const CheckListBox& selection, Dialogs& dialogs, OnceEachCommand& once) {
  // The file is closed before any message waits for the user.
  const SetOutcome outcome = SetTimes(path, grid, selection);
  if (outcome.failure) {
    if (RowReport* report = ActiveRowReport()) report->SetFailed(RowSet::kFileTime);
    dialogs.Message(*outcome.failure);
    return;
  }
  if (outcome.creationNotSettable && !once.creationTimeNotSettableShown) {
    once.creationTimeNotSettableShown = true;
    dialogs.Message(CreationTimeNotSettableMessage());
  }
}

}  // namespace tavrin
