#include "filetimes/FileDate.h"

#include "grids/RowCatalogue.h"
#include "platform/FileTimes.h"
#include "platform/HResultText.h"
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

void Fail(ValueListEditor& grid, Dialogs& dialogs, const char* call, HRESULT hr) {
  ShowRows(grid, {}, {}, {});
  dialogs.Message(std::string("Error ") + call + "\r\n" + HResultText(hr));
}

}  // namespace

void GetFileDate(const std::string& path, ValueListEditor& grid, Dialogs& dialogs) {
  TimedFile file;
  if (HRESULT hr = TimedFile::Open(path, TimedFile::Access::kRead, file); FAILED(hr)) {
    Fail(grid, dialogs, "CreateFile", hr);
    return;
  }
  FileTimeSet times;
  if (HRESULT hr = file.GetTimes(times); FAILED(hr)) {
    Fail(grid, dialogs, "GetFileTime", hr);
    return;
  }
  ShowRows(grid, FileTimeToText(times.creation), FileTimeToText(times.lastWrite),
           FileTimeToText(times.lastAccess));
}

}  // namespace tavrin
