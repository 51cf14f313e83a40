#include "platform/FileTimes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>
#include <utility>

#include "platform/LockConflicts.h"

namespace tavrin {
namespace {

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorWriteProtect = 19;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorInvalidName = 123;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorInvalidParameter = 87;

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDifference = 11644473600;
constexpr std::int64_t kTicksPerSecond = 10000000;

FILETIME FromTimestamp(std::int64_t seconds, std::uint32_t nanoseconds) {
  // A time before 1601 has no FILETIME; it shows as "not set" rather than
  // as some other date.
  if (seconds < -kEpochDifference) return {};
  auto ticks = static_cast<std::uint64_t>(seconds + kEpochDifference) *
                   static_cast<std::uint64_t>(kTicksPerSecond) +
               nanoseconds / 100;
  return FILETIME::FromTicks(ticks);
}

// 0 means "leave this time as it is".
struct timespec ToTimespec(FILETIME time) {
  struct timespec out {};
  if (time == FILETIME{}) {
    out.tv_nsec = UTIME_OMIT;
    return out;
  }
  const std::uint64_t ticks = time.Ticks();
  const auto perSecond = static_cast<std::uint64_t>(kTicksPerSecond);
  out.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(ticks / perSecond) - kEpochDifference);
  out.tv_nsec = static_cast<long>(ticks % perSecond * 100);
  return out;
}

struct timespec ToTimespec(const struct statx_timestamp& time) {
  struct timespec out {};
  out.tv_sec = static_cast<time_t>(time.tv_sec);
  out.tv_nsec = static_cast<long>(time.tv_nsec);
  return out;
}

using AttributeBytes = std::array<unsigned char, 8>;

AttributeBytes LittleEndian(FILETIME time) {
  AttributeBytes bytes{};
  const std::uint64_t ticks = time.Ticks();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<unsigned char>(ticks >> (8 * i));
  }
  return bytes;
}

FILETIME FromLittleEndian(const AttributeBytes& bytes) {
  std::uint64_t ticks = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) ticks = (ticks << 8) | bytes[i];
  return FILETIME::FromTicks(ticks);
}

FileTimeCalls*& ActiveCalls() {
  static FileTimeCalls real;
  static FileTimeCalls* active = &real;
  return active;
}

// How far a time read back may lie from the one set: the coarsest rounding
// of a file system Linux writes (FAT keeps the last write to two seconds and
// the last access as a date). A time outside the file system's range comes
// back years away.
constexpr std::uint64_t kLastWriteRounding = 2 * kTicksPerSecond;
constexpr std::uint64_t kLastAccessRounding = 24 * 3600 * kTicksPerSecond;

bool Near(FILETIME asked, FILETIME held, std::uint64_t rounding) {
  if (asked == FILETIME{}) return true;
  const std::uint64_t a = asked.Ticks();
  const std::uint64_t b = held.Ticks();
  return (a > b ? a - b : b - a) < rounding;
}

// True when the file now holds the last-access and last-write times of
// `asked` (those that are not 0), as far as its file system can.
bool HeldAsAsked(int fd, const FileTimeSet& asked) {
  struct statx info {};
  if (ActiveCalls()->Stat(fd, info) != 0) return false;
  return Near(asked.lastWrite, FromTimestamp(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec),
              kLastWriteRounding) &&
         Near(asked.lastAccess, FromTimestamp(info.stx_atime.tv_sec, info.stx_atime.tv_nsec),
              kLastAccessRounding);
}

// The attribute through which this file's file system keeps its creation
// time, with what it holds now. Only the file systems known to mean it by
// that name are asked: anywhere else, setting a "user." attribute would
// quietly add one to the file and change no time at all.
struct CreationAttribute {
  const char* name;
  AttributeBytes original;
};

std::optional<CreationAttribute> FindCreationAttribute(int fd) {
  FileTimeCalls& calls = *ActiveCalls();
  std::int64_t type = 0;
  if (calls.FileSystemType(fd, type) != 0) return std::nullopt;
  const char* name = nullptr;
  if (type == kFuseMagic) {
    name = kNtfsCreationAttribute;
  } else if (type == kCifsMagic || type == kSmb2Magic) {
    name = kCifsCreationAttribute;
  } else {
    return std::nullopt;
  }
  // A FUSE file system other than ntfs-3g does not answer to the name.
  CreationAttribute attribute{name, {}};
  if (calls.GetAttribute(fd, name, attribute.original.data(), attribute.original.size()) !=
      static_cast<ssize_t>(attribute.original.size())) {
    return std::nullopt;
  }
  return attribute;
}

}  // namespace

int FileTimeCalls::FileSystemType(int fd, std::int64_t& type) {
  struct statfs info {};
  if (::fstatfs(fd, &info) != 0) return -1;
  type = static_cast<std::int64_t>(info.f_type);
  return 0;
}

ssize_t FileTimeCalls::GetAttribute(int fd, const char* name, void* value, std::size_t size) {
  return ::fgetxattr(fd, name, value, size);
}

int FileTimeCalls::SetAttribute(int fd, const char* name, const void* value, std::size_t size) {
  return ::fsetxattr(fd, name, value, size, 0);
}

int FileTimeCalls::SetAccessAndWriteTimes(int fd, const struct timespec times[2]) {
  return ::futimens(fd, times);
}

int FileTimeCalls::Stat(int fd, struct statx& info) {
  return ::statx(fd, "", AT_EMPTY_PATH,
                 STATX_TYPE | STATX_MODE | STATX_BTIME | STATX_ATIME | STATX_MTIME, &info);
}

ScopedFileTimeCalls::ScopedFileTimeCalls(FileTimeCalls& replacement)
    : previous_(std::exchange(ActiveCalls(), &replacement)) {}

ScopedFileTimeCalls::~ScopedFileTimeCalls() {
  ActiveCalls() = previous_;
}

HRESULT HResultFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return HRESULT_FROM_WIN32(kErrorFileNotFound);
    case ENOTDIR:
      return HRESULT_FROM_WIN32(kErrorPathNotFound);
    case EACCES:
    case EPERM:
    case EISDIR:
      return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case EROFS:
      return HRESULT_FROM_WIN32(kErrorWriteProtect);
    case EAGAIN:
    case EBUSY:
    case ETXTBSY:
      return HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
    case ENOMEM:
      return HRESULT_FROM_WIN32(kErrorNotEnoughMemory);
    case ENAMETOOLONG:
      return HRESULT_FROM_WIN32(kErrorInvalidName);
    default:
      return HRESULT_FROM_WIN32(kErrorGenFailure);
  }
}

HRESULT TimedFile::Open(const std::string& path, Access access, TimedFile& out) {
  const bool write = access == Access::kReadWrite;
  // Nothing is read or written through the descriptor, only its times; not
  // waiting keeps a named pipe with no writer from holding the open forever.
  int fd = ::open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return HResultFromErrno(errno);
  TimedFile file(fd);
  struct flock lock {};
  lock.l_type = write ? F_WRLCK : F_RDLCK;
  lock.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    const int error = errno == EACCES ? EAGAIN : errno;
    if (error == EAGAIN) NoteLockConflict();
    return HResultFromErrno(error);
  }
  // One call under the lock gives the type, the permission bits and the
  // times; the times are kept for GetTimes, so showing a file takes no
  // second call.
  struct statx& info = file.status_;
  if (ActiveCalls()->Stat(fd, info) != 0) return HResultFromErrno(errno);
  // A folder is no file, and a file nobody may write is read-only to its
  // owner's intent, even for the superuser.
  if (S_ISDIR(info.stx_mode)) return HResultFromErrno(EISDIR);
  if (write && (info.stx_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    return HResultFromErrno(EACCES);
  out = std::move(file);
  return S_OK;
}

TimedFile::~TimedFile() {
  Close();
}

TimedFile::TimedFile(TimedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), status_(other.status_) {}

TimedFile& TimedFile::operator=(TimedFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    status_ = other.status_;
  }
  return *this;
}

void TimedFile::Close() {
  // Closing also drops the lock. Not retried on EINTR: the descriptor is
  // gone either way on Linux.
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

HRESULT TimedFile::GetTimes(FileTimeSet& times) const {
  times = TimesOf(fd_, status_);
  return S_OK;
}

FileTimeSet TimesOf(int fd, const struct statx& info) {
  FileTimeSet times;
  times.creation = (info.stx_mask & STATX_BTIME)
                       ? FromTimestamp(info.stx_btime.tv_sec, info.stx_btime.tv_nsec)
                       : FILETIME{};
  times.lastAccess = FromTimestamp(info.stx_atime.tv_sec, info.stx_atime.tv_nsec);
  times.lastWrite = FromTimestamp(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
  if ((info.stx_mask & STATX_BTIME) == 0) {
    // The kernel may not pass a FUSE or CIFS birth time on; the attribute
    // that sets it also shows it.
    if (auto attribute = FindCreationAttribute(fd)) {
      times.creation = FromLittleEndian(attribute->original);
    }
  }
  return times;
}

HRESULT TimedFile::SetTimes(const FileTimeSet& times, CreationTimeResult& creation) {
  FileTimeCalls& calls = *ActiveCalls();
  creation = CreationTimeResult::kNotAsked;
  std::optional<CreationAttribute> attribute;
  if (times.creation != FILETIME{}) {
    attribute = FindCreationAttribute(fd_);
    if (!attribute) {
      creation = CreationTimeResult::kNotSettable;
    } else {
      const AttributeBytes wanted = LittleEndian(times.creation);
      if (calls.SetAttribute(fd_, attribute->name, wanted.data(), wanted.size()) != 0) {
        return HResultFromErrno(errno);
      }
      creation = CreationTimeResult::kSet;
    }
  }
  const struct timespec accessAndWrite[2] = {ToTimespec(times.lastAccess),
                                             ToTimespec(times.lastWrite)};
  HRESULT failure = S_OK;
  if (calls.SetAccessAndWriteTimes(fd_, accessAndWrite) != 0) {
    failure = HResultFromErrno(errno);
  } else if (!HeldAsAsked(fd_, times)) {
    failure = HRESULT_FROM_WIN32(kErrorInvalidParameter);
    // All or nothing: the two times go back to what they were, to the
    // nanosecond.
    const struct timespec original[2] = {ToTimespec(status_.stx_atime),
                                         ToTimespec(status_.stx_mtime)};
    calls.SetAccessAndWriteTimes(fd_, original);
  }
  if (FAILED(failure) && creation == CreationTimeResult::kSet) {
    // All or nothing: the creation time goes back to the bytes it had.
    calls.SetAttribute(fd_, attribute->name, attribute->original.data(),
                       attribute->original.size());
  }
  if (FAILED(failure)) creation = CreationTimeResult::kNotAsked;
  return failure;
}

HRESULT TimedFile::PutBackTimes(const struct statx& earlier, bool access, bool write) {
  struct timespec times[2] = {ToTimespec(earlier.stx_atime), ToTimespec(earlier.stx_mtime)};
  if (!access) times[0].tv_nsec = UTIME_OMIT;
  if (!write) times[1].tv_nsec = UTIME_OMIT;
  if (ActiveCalls()->SetAccessAndWriteTimes(fd_, times) != 0) return HResultFromErrno(errno);
  return S_OK;
}

}  // namespace tavrin
