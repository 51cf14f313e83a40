#pragma once
// The one seam between the engine and the operating system. Every call the
// engine makes on a file system, on the document, its journal or their
// folder, goes through the installed SystemCalls, so a test can make the Nth
// call fail, or stop writing where a crash would.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/storage/Status.h"

namespace tavrin::storage {

// Each call behaves as the system call it is named after: -1 with errno set on
// failure. The base class makes the real calls; a test derives from it and
// overrides what it wants to break.
class SystemCalls {
 public:
  virtual ~SystemCalls() = default;
  // `mode` counts only when `flags` may create the file.
  virtual int Open(const char* path, int flags, mode_t mode);
  // fcntl(F_OFD_SETLK): an open-file-description lock that never waits.
  virtual int SetLock(int fd, struct flock& lock);
  virtual ssize_t ReadAt(int fd, void* buffer, std::size_t count, off_t offset);
  virtual ssize_t WriteAt(int fd, const void* buffer, std::size_t count, off_t offset);
  virtual int Sync(int fd);
  virtual int Truncate(int fd, off_t length);
  // statx(2) of the open file: its type, permission bits, owner, number of
  // names, device and inode, size and times.
  virtual int Stat(int fd, struct statx& info);
  virtual int Close(int fd);
  // futimens(2): last access, then last write.
  virtual int SetTimes(int fd, const struct timespec times[2]);
  virtual int Unlink(const char* path);
  // 0 and the absolute path, with no symbolic link in it, of the file `path`
  // names, or -1. Given the file's open descriptor `fd`, the system's own
  // name for it is read in one call; otherwise, or where the system does not
  // offer that, each part of `path` is resolved as realpath(3) does. A file
  // with no name in any folder gives -1.
  virtual int RealPath(int fd, const char* path, std::string& resolved);
  // 0 and the id the kernel drew for this boot of the machine
  // (/proc/sys/kernel/random/boot_id), or -1. A journal written before a
  // power cut is read after a new one.
  virtual int BootId(std::string& id);
};

// The calls currently in force: the real ones unless a test installed others.
SystemCalls& ActiveSystemCalls();

// Puts `replacement` in force for the life of this object. Only tests put
// one in, while no other thread runs, so a process-wide switch is enough.
class ScopedSystemCalls {
 public:
  explicit ScopedSystemCalls(SystemCalls& replacement);
  ~ScopedSystemCalls();
  ScopedSystemCalls(const ScopedSystemCalls&) = delete;
  ScopedSystemCalls& operator=(const ScopedSystemCalls&) = delete;

 private:
  SystemCalls* previous_;
};

// Takes the write lock over the whole file that marks a document as in use.
// Open-file-description locks conflict even between two opens in one process,
// so a second open of a held document fails with STG_E_SHAREVIOLATION. The
// file-time layer takes the same lock before it touches a document.
Status LockForExclusiveUse(int fd);

// An open file, closed on destruction: a document, read-write and locked, or
// its journal.
class File {
 public:
  // Opens a document. Open codes: STG_E_FILENOTFOUND (nothing is created),
  // STG_E_PATHNOTFOUND, STG_E_ACCESSDENIED (read-only, a folder, no
  // permission), STG_E_SHAREVIOLATION (held by another open).
  static Status Open(const std::string& path, std::unique_ptr<File>& out);
  // Makes a new file that only its owner may read and write, for writing.
  // STG_E_FILEALREADYEXISTS when the name is taken (nothing is opened),
  // STG_E_ACCESSDENIED when the folder may not be written, STG_E_MEDIUMFULL.
  static Status Create(const std::string& path, std::unique_ptr<File>& out);
  // Opens an existing file for reading only, never through a symbolic link.
  // STG_E_FILENOTFOUND when there is none.
  static Status OpenToRead(const std::string& path, std::unique_ptr<File>& out);

  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // For a document, the path with every symbolic link resolved, so that
  // whatever name it was opened by, its journal is found beside it.
  const std::string& path() const { return path_; }
  std::uint64_t size() const { return size_; }
  // What the file was when it was opened, under its lock (times included).
  const struct statx& status() const { return status_; }
  int descriptor() const { return fd_; }

  // Reads up to `count` bytes at `offset`; `got` is short only at the end of
  // the file. A file of at most kReadWholeUpTo bytes is read whole, in one
  // call, at its first read; of a larger file the first kHeadBytes are.
  // Later reads are answered from that copy where it holds them, until
  // something is written.
  Status ReadAt(std::uint64_t offset, char* buffer, std::size_t count, std::size_t& got) const;

  // One call for a small document costs less than the several small reads of
  // its header, tables, directory and streams.
  static constexpr std::uint64_t kReadWholeUpTo = 32 << 10;
  // A larger one's header sector is read with what follows it, where
  // writers often put the first FAT, directory and mini FAT sectors: a read
  // of 8 KiB costs hardly more than one of 512 bytes.
  static constexpr std::uint64_t kHeadBytes = 8 << 10;
  // Writes all of `bytes` or fails: STG_E_MEDIUMFULL when the disk is full,
  // STG_E_WRITEFAULT for any other failure.
  Status WriteAt(std::uint64_t offset, std::string_view bytes);
  Status Sync();
  Status Truncate(std::uint64_t length);

 private:
  File(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  Status ReadFromFile(std::uint64_t offset, char* buffer, std::size_t count,
                      std::size_t& got) const;
  void Forget() const {
    copy_.reset();
    copyLength_ = 0;
    copied_ = true;
  }

  int fd_;
  std::string path_;
  std::uint64_t size_ = 0;
  struct statx status_ {};
  // The whole file as first read when it is small, else its first
  // kHeadBytes; `copied_` once the copy was made or given up on.
  mutable std::unique_ptr<char[]> copy_;
  mutable std::size_t copyLength_ = 0;
  mutable bool copied_ = false;
};

// The folder that holds `path`: "." for a bare name, "/" for a name at the
// root.
std::string FolderOf(std::string_view path);

// Removes the file `path`: STG_E_FILENOTFOUND when it is not there.
Status RemoveFile(const std::string& path);

// Flushes the folder's own entries, so that a file made or removed in it
// stays made or removed after a power cut.
Status SyncFolder(const std::string& folder);

}  // namespace tavrin::storage
