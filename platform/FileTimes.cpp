#include "platform/FileTimes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tavrin {
namespace {

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorWriteProtect = 19;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorInvalidName = 123;
constexpr std::uint32_t kErrorGenFailure = 31;

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

}  // namespace

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
  int fd = ::open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return HResultFromErrno(errno);
  TimedFile file(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0) return HResultFromErrno(errno);
  // A folder is no file, and a file nobody may write is read-only to its
  // owner's intent, even for the superuser.
  if (S_ISDIR(info.st_mode)) return HResultFromErrno(EISDIR);
  if (write && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return HResultFromErrno(EACCES);
  struct flock lock {};
  lock.l_type = write ? F_WRLCK : F_RDLCK;
  lock.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    return HResultFromErrno(errno == EACCES ? EAGAIN : errno);
  }
  out = std::move(file);
  return S_OK;
}

TimedFile::~TimedFile() {
  Close();
}

TimedFile::TimedFile(TimedFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TimedFile& TimedFile::operator=(TimedFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void TimedFile::Close() {
  // Closing also drops the lock. Not retried on EINTR: the descriptor is
  // gone either way on Linux.
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

HRESULT TimedFile::GetTimes(FileTimeSet& times) const {
  struct statx info {};
  if (::statx(fd_, "", AT_EMPTY_PATH, STATX_BTIME | STATX_ATIME | STATX_MTIME, &info) != 0) {
    return HResultFromErrno(errno);
  }
  times.creation = (info.stx_mask & STATX_BTIME)
                       ? FromTimestamp(info.stx_btime.tv_sec, info.stx_btime.tv_nsec)
                       : FILETIME{};
  times.lastAccess = FromTimestamp(info.stx_atime.tv_sec, info.stx_atime.tv_nsec);
  times.lastWrite = FromTimestamp(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
  return S_OK;
}

}  // namespace tavrin
