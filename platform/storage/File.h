#pragma once
// The one seam between the engine and the operating system. Every call the
// engine makes on a file system goes through the installed SystemCalls, so a
// test can make the Nth call fail, or stop writing where a crash would.

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
  virtual int Open(const char* path, int flags);
  // fcntl(F_OFD_SETLK): an open-file-description lock that never waits.
  virtual int SetLock(int fd, struct flock& lock);
  virtual ssize_t ReadAt(int fd, void* buffer, std::size_t count, off_t offset);
  virtual ssize_t WriteAt(int fd, const void* buffer, std::size_t count, off_t offset);
  virtual int Sync(int fd);
  virtual int Truncate(int fd, off_t length);
  virtual int Stat(int fd, struct stat& info);
  virtual int Close(int fd);
};

// The calls currently in force: the real ones unless a test installed others.
SystemCalls& ActiveSystemCalls();

// Puts `replacement` in force for the life of this object. The program has one
// thread, so a process-wide switch is enough.
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

// An open document file, read-write and locked, closed on destruction.
class File {
 public:
  // Open codes: STG_E_FILENOTFOUND (nothing is created), STG_E_PATHNOTFOUND,
  // STG_E_ACCESSDENIED (read-only, a folder, no permission),
  // STG_E_SHAREVIOLATION (held by another open).
  static Status Open(const std::string& path, std::unique_ptr<File>& out);

  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  std::uint64_t size() const { return size_; }
  int descriptor() const { return fd_; }

  // Reads up to `count` bytes at `offset`; `got` is short only at the end of
  // the file. A file of at most kReadWholeUpTo bytes is read whole, in one
  // call, at its first read, and later reads are answered from that copy
  // until something is written.
  Status ReadAt(std::uint64_t offset, char* buffer, std::size_t count, std::size_t& got) const;

  // One call for a small document costs less than the several small reads of
  // its header, tables, directory and streams.
  static constexpr std::uint64_t kReadWholeUpTo = 32 << 10;
  // Writes all of `bytes` or fails: STG_E_MEDIUMFULL when the disk is full,
  // STG_E_WRITEFAULT for any other failure.
  Status WriteAt(std::uint64_t offset, std::string_view bytes);
  Status Sync();
  Status Truncate(std::uint64_t length);

 private:
  File(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  Status ReadFromFile(std::uint64_t offset, char* buffer, std::size_t count,
                      std::size_t& got) const;
  void Forget() const {
    copy_.clear();
    copied_ = true;
  }

  int fd_;
  std::uint64_t size_;
  // The whole file as first read, when it is small; `copied_` once the copy
  // was made or given up on.
  mutable std::string copy_;
  mutable bool copied_ = false;
};

}  // namespace tavrin::storage
