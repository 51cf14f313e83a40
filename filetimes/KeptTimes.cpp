#include "filetimes/KeptTimes.h"

#include "grids/RowCatalogue.h"
#include "platform/FileTimes.h"
#include "platform/HResultText.h"

namespace tavrin {
namespace {

bool Same(const struct statx_timestamp& a, const struct statx_timestamp& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

KeptTimes KeptTimes::Take(const std::string& path) {
  KeptTimes kept;
  TimedFile file;
  if (SUCCEEDED(TimedFile::Open(path, TimedFile::Access::kRead, file))) kept.taken_ = file.Status();
  return kept;
}

void KeptTimes::PutBack(const std::string& path, const CheckListBox& selection,
                        Dialogs& dialogs) const {
  if (!taken_) return;
  bool access = false;
  bool write = false;
  {
    // Closed before the open for writing: its lock would keep that one out.
    TimedFile file;
    if (FAILED(TimedFile::Open(path, TimedFile::Access::kRead, file))) return;
    const struct statx& now = file.Status();
    access =
        !selection.Checked(filetime_row::kLastAccess) && !Same(now.stx_atime, taken_->stx_atime);
    write = !selection.Checked(filetime_row::kLastWrite) && !Same(now.stx_mtime, taken_->stx_mtime);
  }
  if (!access && !write) return;
  // Setting times takes a file opened for writing.
  TimedFile file;
  HRESULT hr = TimedFile::Open(path, TimedFile::Access::kReadWrite, file);
  if (SUCCEEDED(hr)) hr = file.PutBackTimes(*taken_, access, write);
  if (FAILED(hr)) dialogs.Message("Error SetFileTime\r\n" + HResultText(hr));
}

}  // namespace tavrin
