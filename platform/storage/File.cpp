#include "platform/storage/File.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "platform/LockConflicts.h"

namespace tavrin::storage {

int SystemCalls::Open(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}

int SystemCalls::SetLock(int fd, struct flock& lock) {
  return ::fcntl(fd, F_OFD_SETLK, &lock);
}

ssize_t SystemCalls::ReadAt(int fd, void* buffer, std::size_t count, off_t offset) {
  return ::pread(fd, buffer, count, offset);
}

ssize_t SystemCalls::WriteAt(int fd, const void* buffer, std::size_t count, off_t offset) {
  return ::pwrite(fd, buffer, count, offset);
}

int SystemCalls::Sync(int fd) {
  return ::fsync(fd);
}

int SystemCalls::Truncate(int fd, off_t length) {
  return ::ftruncate(fd, length);
}

int SystemCalls::Stat(int fd, struct statx& info) {
  return ::statx(fd, "", AT_EMPTY_PATH,
                 STATX_TYPE | STATX_MODE | STATX_UID | STATX_NLINK | STATX_INO | STATX_SIZE |
                     STATX_ATIME | STATX_MTIME | STATX_BTIME,
                 &info);
}

int SystemCalls::Close(int fd) {
  return ::close(fd);
}

int SystemCalls::SetTimes(int fd, const struct timespec times[2]) {
  return ::futimens(fd, times);
}

int SystemCalls::Unlink(const char* path) {
  return ::unlink(path);
}

int SystemCalls::RealPath(int fd, const char* path, std::string& resolved) {
  if (fd >= 0) {
    // The kernel keeps the name it opened the file by, links resolved: one
    // call, where resolving `path` would take one per folder on the way.
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
    if (length > 0 && static_cast<std::size_t>(length) < target.size() && target[0] == '/') {
      target.resize(static_cast<std::size_t>(length));
      constexpr std::string_view kGone = " (deleted)";
      if (!target.ends_with(kGone)) {
        resolved = std::move(target);
        return 0;
      }
      // A name that really ends so is told apart from a file that has none
      // by whether that name leads to this very file.
      struct stat named {};
      struct stat open {};
      if (::stat(target.c_str(), &named) == 0 && ::fstat(fd, &open) == 0 &&
          named.st_dev == open.st_dev && named.st_ino == open.st_ino) {
        resolved = std::move(target);
        return 0;
      }
      errno = ENOENT;
      return -1;
    }
  }
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path, nullptr), &std::free);
  if (!real) return -1;
  resolved = real.get();
  return 0;
}

int SystemCalls::BootId(std::string& id) {
  const int fd = ::open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return -1;
  char text[64];
  const ssize_t length = ::read(fd, text, sizeof text);
  const int error = errno;
  ::close(fd);
  if (length <= 0) {
    errno = length < 0 ? error : EIO;
    return -1;
  }
  id.assign(text, static_cast<std::size_t>(length));
  while (!id.empty() && id.back() == '\n') id.pop_back();
  return 0;
}

namespace {

SystemCalls*& Installed() {
  static SystemCalls real;
  static SystemCalls* installed = &real;
  return installed;
}

std::string ErrnoText(int error) {
  return std::strerror(error);
}

// True when the folder that would hold `path` exists, so that a missing file
// can be told from a missing folder.
bool ParentFolderExists(const std::string& path) {
  const std::string parent = FolderOf(path);
  const int fd = ActiveSystemCalls().Open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  ActiveSystemCalls().Close(fd);
  return true;
}

Status OpenFailure(const std::string& path, int error) {
  const std::string where = "cannot open \"" + path + "\": " + ErrnoText(error);
  switch (error) {
    case ENOENT:
      return {ParentFolderExists(path) ? STG_E_FILENOTFOUND : STG_E_PATHNOTFOUND, where};
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return {STG_E_PATHNOTFOUND, where};
    case EMFILE:
    case ENFILE:
      return {STG_E_TOOMANYOPENFILES, where};
    case ENOMEM:
      return {STG_E_INSUFFICIENTMEMORY, where};
    case ETXTBSY:
      return {STG_E_SHAREVIOLATION, where};
    case EIO:
      return {STG_E_READFAULT, where};
    default:
      // EACCES, EPERM, EROFS, EISDIR and whatever else keeps us from reading
      // and writing the file.
      return {STG_E_ACCESSDENIED, where};
  }
}

Status CreateFailure(const std::string& path, int error) {
  const std::string where = "cannot create \"" + path + "\": " + ErrnoText(error);
  switch (error) {
    case EEXIST:
      return {STG_E_FILEALREADYEXISTS, where};
    case ENOSPC:
    case EDQUOT:
      return {STG_E_MEDIUMFULL, where};
    default:
      return OpenFailure(path, error);
  }
}

Status WriteFailure(int error, std::uint64_t offset) {
  const std::string where = "write at offset " + std::to_string(offset) + " failed: ";
  if (error == ENOSPC || error == EDQUOT || error == EFBIG) {
    return {STG_E_MEDIUMFULL, where + ErrnoText(error)};
  }
  return {STG_E_WRITEFAULT, where + ErrnoText(error)};
}

bool FitsOffset(std::uint64_t offset, std::size_t count) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  return offset <= kMax && count <= kMax - offset;
}

}  // namespace

SystemCalls& ActiveSystemCalls() {
  return *Installed();
}

ScopedSystemCalls::ScopedSystemCalls(SystemCalls& replacement) : previous_(Installed()) {
  Installed() = &replacement;
}

ScopedSystemCalls::~ScopedSystemCalls() {
  Installed() = previous_;
}

Status LockForExclusiveUse(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end of the file, however long it grows
  if (ActiveSystemCalls().SetLock(fd, lock) == 0) return {};
  const int error = errno;
  if (error == EAGAIN || error == EACCES) {
    NoteLockConflict();
    return {STG_E_SHAREVIOLATION, "the file is in use by another open"};
  }
  return {STG_E_LOCKVIOLATION, "cannot lock the file: " + ErrnoText(error)};
}

namespace {

// The status of the open file `fd`, which must be a regular file: a folder
// or a device is no document, nor a journal.
Status RegularFileStatus(SystemCalls& os, int fd, const std::string& path, struct statx& info) {
  if (os.Stat(fd, info) != 0) {
    return {STG_E_ACCESSDENIED, "cannot examine the file: " + ErrnoText(errno)};
  }
  if (!S_ISREG(info.stx_mode)) {
    return {STG_E_ACCESSDENIED, "\"" + path + "\" is not a regular file"};
  }
  return {};
}

}  // namespace

Status File::Open(const std::string& path, std::unique_ptr<File>& out) {
  out.reset();
  SystemCalls& os = ActiveSystemCalls();
  // The journal goes beside the file itself. Folders on the way may be links
  // (the journal's name leads to the same folder through them); only a link
  // as the last name needs the file's real name, which costs a call more.
  int fd = os.Open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0);
  const bool linked = fd < 0 && errno == ELOOP;
  if (linked) fd = os.Open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY, 0);
  if (fd < 0) return OpenFailure(path, errno);
  // From here the descriptor belongs to the File, which closes it on every path.
  std::unique_ptr<File> file(new File(fd, path));

  // The status is read under the lock, so that the times it gives are the
  // ones the file has while this object holds it; a refusal for what the
  // file is still comes before one for who holds it.
  const Status locked = LockForExclusiveUse(fd);
  struct statx& info = file->status_;
  if (Status regular = RegularFileStatus(os, fd, path, info); !regular.ok()) return regular;
  // A file nobody may write is read-only to its owner's intent; the
  // administrator's power to write it anyway is not a reason to.
  if ((info.stx_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    return {STG_E_ACCESSDENIED, "\"" + path + "\" is read-only"};
  }
  if (!locked.ok()) return locked;
  // A file with no name in any folder (an anonymous or deleted one) keeps
  // the name it was opened by; no journal can be made beside that, so it
  // can be read but never changed.
  if (linked && os.RealPath(fd, path.c_str(), file->path_) != 0) file->path_ = path;

  file->size_ = info.stx_size;
  out = std::move(file);
  return {};
}

Status File::Create(const std::string& path, std::unique_ptr<File>& out) {
  out.reset();
  const int fd = ActiveSystemCalls().Open(
      path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, S_IRUSR | S_IWUSR);
  if (fd < 0) return CreateFailure(path, errno);
  out.reset(new File(fd, path));
  // Nothing is ever read back through this object; there is no copy to make.
  out->copied_ = true;
  return {};
}

Status File::OpenToRead(const std::string& path, std::unique_ptr<File>& out) {
  out.reset();
  SystemCalls& os = ActiveSystemCalls();
  // A named pipe in a journal's place must not hold the open up: it is
  // refused below as no regular file. A regular file reads as ever.
  const int fd =
      os.Open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0);
  if (fd < 0 && errno == ENOENT) {
    // The usual answer, which needs no look at the folder.
    return {STG_E_FILENOTFOUND, "there is no \"" + path + "\""};
  }
  if (fd < 0) return OpenFailure(path, errno);
  std::unique_ptr<File> file(new File(fd, path));
  struct statx& info = file->status_;
  if (Status regular = RegularFileStatus(os, fd, path, info); !regular.ok()) return regular;
  file->size_ = info.stx_size;
  out = std::move(file);
  return {};
}

File::~File() {
  // Never retry close: on Linux the descriptor is gone even when it fails.
  ActiveSystemCalls().Close(fd_);
}

Status File::ReadAt(std::uint64_t offset, char* buffer, std::size_t count, std::size_t& got) const {
  if (!copied_) {
    copied_ = true;
    const std::uint64_t length = size_ <= kReadWholeUpTo ? size_ : kHeadBytes;
    if (length > 0) {
      // Filled by the read, so not cleared first.
      copy_ = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(length));
      // A file that shrank since it was opened is read as it now is.
      if (!ReadFromFile(0, copy_.get(), static_cast<std::size_t>(length), copyLength_).ok()) {
        copyLength_ = 0;
      }
    }
  }
  // The copy answers only what lies wholly inside it, or runs to the end
  // of a file it holds whole; anything else goes to the file.
  if (copyLength_ > 0 && offset <= copyLength_ &&
      (count <= copyLength_ - offset || copyLength_ == size_)) {
    got = static_cast<std::size_t>(std::min<std::uint64_t>(count, copyLength_ - offset));
    std::memcpy(buffer, copy_.get() + offset, got);
    return {};
  }
  return ReadFromFile(offset, buffer, count, got);
}

Status File::ReadFromFile(std::uint64_t offset, char* buffer, std::size_t count,
                          std::size_t& got) const {
  got = 0;
  if (!FitsOffset(offset, count)) return {STG_E_READFAULT, "read past the largest file offset"};
  while (got < count) {
    const ssize_t n = ActiveSystemCalls().ReadAt(fd_, buffer + got, count - got,
                                                 static_cast<off_t>(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return {STG_E_READFAULT,
              "read at offset " + std::to_string(offset + got) + " failed: " + ErrnoText(errno)};
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return {};
}

Status File::WriteAt(std::uint64_t offset, std::string_view bytes) {
  Forget();
  if (!FitsOffset(offset, bytes.size())) return WriteFailure(EFBIG, offset);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ActiveSystemCalls().WriteAt(fd_, bytes.data() + done, bytes.size() - done,
                                                  static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return WriteFailure(errno, offset + done);
    }
    // A write that makes no progress will not make any on retry either.
    if (n == 0) return WriteFailure(ENOSPC, offset + done);
    done += static_cast<std::size_t>(n);
    // Counted as it goes: a write that fails midway may already have made
    // the file longer, and a rollback must know to cut it back.
    if (offset + done > size_) size_ = offset + done;
  }
  return {};
}

Status File::Sync() {
  if (ActiveSystemCalls().Sync(fd_) == 0) return {};
  const int error = errno;
  if (error == ENOSPC || error == EDQUOT) {
    return {STG_E_MEDIUMFULL, "flushing the file failed: " + ErrnoText(error)};
  }
  return {STG_E_WRITEFAULT, "flushing the file failed: " + ErrnoText(error)};
}

Status File::Truncate(std::uint64_t length) {
  Forget();
  if (!FitsOffset(length, 0)) return WriteFailure(EFBIG, length);
  if (ActiveSystemCalls().Truncate(fd_, static_cast<off_t>(length)) != 0) {
    return WriteFailure(errno, length);
  }
  size_ = length;
  return {};
}

std::string FolderOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return ".";
  // "/x" lives in "/", which is the one case where the slash is kept.
  return std::string(path.substr(0, std::max<std::size_t>(slash, 1)));
}

Status RemoveFile(const std::string& path) {
  if (ActiveSystemCalls().Unlink(path.c_str()) == 0) return {};
  const int error = errno;
  const std::string where = "cannot remove \"" + path + "\": " + ErrnoText(error);
  if (error == ENOENT) return {STG_E_FILENOTFOUND, where};
  if (error == EIO) return {STG_E_WRITEFAULT, where};
  return {STG_E_ACCESSDENIED, where};
}

Status SyncFolder(const std::string& folder) {
  SystemCalls& os = ActiveSystemCalls();
  const int fd = os.Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return OpenFailure(folder, errno);
  const int synced = os.Sync(fd);
  const int error = errno;
  os.Close(fd);
  // Some file systems cannot flush a folder and say so; there is nothing
  // more to do on those.
  if (synced == 0 || error == EINVAL) return {};
  return {STG_E_WRITEFAULT, "flushing the folder \"" + folder + "\" failed: " + ErrnoText(error)};
}

}  // namespace tavrin::storage
