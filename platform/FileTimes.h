#pragma once
// The three times of any file, as FILETIME values in UTC: creation (birth),
// last access and last write. A file is opened for its times with the same
// exclusive-use rule as a document: an open-file-description lock over the
// whole file, so neither can touch a file the other holds.
//
// Linux offers no call that sets a birth time. Two file systems take it as an
// extended attribute holding the 8-byte little-endian FILETIME: NTFS mounted
// through ntfs-3g ("system.ntfs_crtime") and CIFS ("user.cifs.creationtime").
// Elsewhere the creation time can be read but never changed.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "platform/HResult.h"
#include "platform/WinTypes.h"

namespace tavrin {

struct FileTimeSet {
  FILETIME creation;  // 0 where the file system keeps no birth time
  FILETIME lastAccess;
  FILETIME lastWrite;
};

// What became of a creation time that a write asked for.
enum class CreationTimeResult {
  kNotAsked,     // it was 0: left as it is
  kSet,          // set through the file system's attribute
  kNotSettable,  // this file system offers no way to set it; left as it is
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

  // The times as they were when the file was opened (its lock taken).
  HRESULT GetTimes(FileTimeSet& times) const;

  // Sets every time of `times` that is not 0; a 0 leaves its time exactly as
  // it is. A creation time this file system cannot take is reported in
  // `creation` and does not stop the other two. The times are read back: a
  // file system quietly puts a time outside its range at the nearest end of
  // it (ext4 keeps 1901 to 2446), and a time that comes back further from the
  // one asked than the coarsest file system rounds (FAT: two seconds for the
  // last write, the day for the last access) fails with E_INVALIDARG. On any
  // failure (that one, not the owner, a read-only medium ...) no time has
  // changed: the times already set are put back.
  HRESULT SetTimes(const FileTimeSet& times, CreationTimeResult& creation);

  // The file's status as read at Open, its times to the nanosecond.
  const struct statx& Status() const { return status_; }
  // Sets the last-access and last-write times, where asked, to those of
  // `earlier` (this file's status read before), to the nanosecond.
  HRESULT PutBackTimes(const struct statx& earlier, bool access, bool write);

 private:
  explicit TimedFile(int fd) : fd_(fd) {}
  void Close();

  int fd_ = -1;
  struct statx status_ {};  // read at Open
};

// The times of a file held open as `fd`, from the statx(2) status read under
// its lock: what TimedFile::GetTimes gives, for a file opened by other means.
FileTimeSet TimesOf(int fd, const struct statx& status);

// The HRESULT of a failed system call's errno.
HRESULT HResultFromErrno(int error);

// The calls by which the file-time layer reads and sets times, so that a test
// can fail one or stand in for a file system this machine has not mounted.
// Each behaves as the system call it is named after: -1 with errno set on
// failure.
class FileTimeCalls {
 public:
  virtual ~FileTimeCalls() = default;
  // fstatfs's f_type.
  virtual int FileSystemType(int fd, std::int64_t& type);
  virtual ssize_t GetAttribute(int fd, const char* name, void* value, std::size_t size);
  virtual int SetAttribute(int fd, const char* name, const void* value, std::size_t size);
  // futimens: last access, then last write; UTIME_OMIT leaves one as it is.
  virtual int SetAccessAndWriteTimes(int fd, const struct timespec times[2]);
  // statx(2) of the open file: its type, permission bits and times.
  virtual int Stat(int fd, struct statx& info);
};

// Puts `replacement` in force for the life of this object.
class ScopedFileTimeCalls {
 public:
  explicit ScopedFileTimeCalls(FileTimeCalls& replacement);
  ~ScopedFileTimeCalls();
  ScopedFileTimeCalls(const ScopedFileTimeCalls&) = delete;
  ScopedFileTimeCalls& operator=(const ScopedFileTimeCalls&) = delete;

 private:
  FileTimeCalls* previous_;
};

// The magic numbers of the file systems that take a creation time.
inline constexpr std::int64_t kFuseMagic = 0x65735546;
inline constexpr std::int64_t kCifsMagic = 0xFF534D42;
inline constexpr std::int64_t kSmb2Magic = 0xFE534D42;
inline constexpr const char* kNtfsCreationAttribute = "system.ntfs_crtime";
inline constexpr const char* kCifsCreationAttribute = "user.cifs.creationtime";

}  // namespace tavrin
