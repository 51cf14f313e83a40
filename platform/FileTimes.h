#pragma once
// The three times of any file, as FILETIME values in UTC: creation (birth),
// last access and last write. A file is opened for its times with the same
// exclusive-use rule as a document: an open-file-description lock over the
// whole file, so neither can touch a file the other holds.

#include <string>

#include "platform/HResult.h"
#include "platform/WinTypes.h"

namespace tavrin {

struct FileTimeSet {
  FILETIME creation;  // 0 where the file system keeps no birth time
  FILETIME lastAccess;
  FILETIME lastWrite;
};

// An open file whose times can be read and set; closed on destruction.
class TimedFile {
 public:
  enum class Access { kRead, kReadWrite };

  // Failures as HRESULT_FROM_WIN32 of the matching error: file or path not
  // found, access denied (also for a folder, and for writing a file nobody
  // may write), sharing violation (held by another open).
  static HRESULT Open(const std::string& path, Access access, TimedFile& out);

  TimedFile() = default;
  ~TimedFile();
  TimedFile(TimedFile&& other) noexcept;
  TimedFile& operator=(TimedFile&& other) noexcept;

  HRESULT GetTimes(FileTimeSet& times) const;

 private:
  explicit TimedFile(int fd) : fd_(fd) {}
  void Close();

  int fd_ = -1;
};

// The HRESULT of a failed system call's errno.
HRESULT HResultFromErrno(int error);

}  // namespace tavrin
