#include "support/FaultySystemCalls.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <utility>

#include "platform/storage/CompoundFile.h"

namespace tavrin::fixture {
namespace {

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

std::string PathOfDescriptor(int fd) {
  char buffer[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::size_t FaultySystemCalls::Count(Call call, std::string_view file) const {
  return static_cast<std::size_t>(std::count_if(made_.begin(), made_.end(), [&](const Made& m) {
    return m.call == call && EndsWith(m.file, file);
  }));
}

FaultySystemCalls::Verdict FaultySystemCalls::Enter(Call call, std::string file) {
  const bool matches =
      target_ && (!target_->call || *target_->call == call) && EndsWith(file, target_->file);
  made_.push_back({call, std::move(file)});
  if (dead_) return Verdict::kDead;
  if (pendingError_ != 0) {
    errno = std::exchange(pendingError_, 0);
    return Verdict::kFail;
  }
  if (!matches) return Verdict::kProceed;
  ++matching_;
  if (matching_ < target_->n || (matching_ > target_->n && !target_->lasting)) {
    return Verdict::kProceed;
  }
  switch (target_->fault) {
    case Fault::kError:
      errno = target_->error;
      return Verdict::kFail;
    case Fault::kShort:
      if (call != Call::kReadAt && call != Call::kWriteAt) return Verdict::kProceed;
      pendingError_ = target_->error;
      return Verdict::kShorten;
    case Fault::kCrash:
      dead_ = true;
      OnCrash();
      if (call == Call::kClose) return Verdict::kDead;
      throw SimulatedCrash();
  }
  return Verdict::kProceed;
}

int FaultySystemCalls::Open(const char* path, int flags, mode_t mode) {
  switch (Enter(Call::kOpen, path)) {
    case Verdict::kFail:
      return -1;
    case Verdict::kDead:
      // Nothing new is opened, let alone made, after the crash.
      errno = EIO;
      return -1;
    default:
      return SystemCalls::Open(path, flags, mode);
  }
}

int FaultySystemCalls::SetLock(int fd, struct flock& lock) {
  if (Enter(Call::kSetLock, PathOfDescriptor(fd)) == Verdict::kFail) return -1;
  return SystemCalls::SetLock(fd, lock);
}

ssize_t FaultySystemCalls::ReadAt(int fd, void* buffer, std::size_t count, off_t offset) {
  const Verdict verdict = Enter(Call::kReadAt, PathOfDescriptor(fd));
  if (verdict == Verdict::kFail) return -1;
  if (verdict == Verdict::kShorten && count > 1) count /= 2;
  const ssize_t n = SystemCalls::ReadAt(fd, buffer, count, offset);
  if (n > 0) bytesRead_ += static_cast<std::uint64_t>(n);
  return n;
}

ssize_t FaultySystemCalls::WriteAt(int fd, const void* buffer, std::size_t count, off_t offset) {
  const Verdict verdict = Enter(Call::kWriteAt, PathOfDescriptor(fd));
  if (verdict == Verdict::kDead) return static_cast<ssize_t>(count);
  if (verdict == Verdict::kFail) return -1;
  if (verdict == Verdict::kShorten && count > 1) count /= 2;
  return SystemCalls::WriteAt(fd, buffer, count, offset);
}

int FaultySystemCalls::Sync(int fd) {
  const Verdict verdict = Enter(Call::kSync, PathOfDescriptor(fd));
  if (verdict == Verdict::kDead) return 0;
  if (verdict == Verdict::kFail) return -1;
  // A test's files need not reach the disk, and waiting for them would make
  // a loop over thousands of faults slow; what counts is that the call is
  // made, on a descriptor that is open.
  return ::fcntl(fd, F_GETFD) < 0 ? -1 : 0;
}

int FaultySystemCalls::Truncate(int fd, off_t length) {
  const Verdict verdict = Enter(Call::kTruncate, PathOfDescriptor(fd));
  if (verdict == Verdict::kDead) return 0;
  if (verdict == Verdict::kFail) return -1;
  return SystemCalls::Truncate(fd, length);
}

int FaultySystemCalls::Stat(int fd, struct statx& info) {
  if (Enter(Call::kStat, PathOfDescriptor(fd)) == Verdict::kFail) return -1;
  return SystemCalls::Stat(fd, info);
}

int FaultySystemCalls::Close(int fd) {
  // Closed even after the crash: a dead process's descriptors close too.
  const bool failed = Enter(Call::kClose, PathOfDescriptor(fd)) == Verdict::kFail;
  const int error = errno;
  const int closed = SystemCalls::Close(fd);
  if (!failed) return closed;
  errno = error;
  return -1;
}

int FaultySystemCalls::Unlink(const char* path) {
  const Verdict verdict = Enter(Call::kUnlink, path);
  if (verdict == Verdict::kDead) return 0;
  if (verdict == Verdict::kFail) return -1;
  return SystemCalls::Unlink(path);
}

int FaultySystemCalls::RealPath(int fd, const char* path, std::string& resolved) {
  if (Enter(Call::kRealPath, path) == Verdict::kFail) return -1;
  return SystemCalls::RealPath(fd, path, resolved);
}

int FaultySystemCalls::BootId(std::string& id) {
  if (Enter(Call::kBootId, "/proc/sys/kernel/random/boot_id") == Verdict::kFail) return -1;
  return SystemCalls::BootId(id);
}

void LeaveAChangeCutShort(const std::string& path) {
  std::unique_ptr<storage::CompoundFile> file;
  if (FAILED(storage::CompoundFile::Open(path, file)))
    throw std::runtime_error("cannot open " + path);
  FaultySystemCalls crash;
  crash.Break({.n = 2,
               .fault = FaultySystemCalls::Fault::kCrash,
               .call = FaultySystemCalls::Call::kWriteAt,
               .file = "/" + std::filesystem::path(path).filename().string()});
  storage::ScopedSystemCalls scoped(crash);
  try {
    file->ReplaceStream(*file->FindRootStream(u"\x0005SummaryInformation"), std::string(6000, 'x'));
  } catch (const SimulatedCrash&) {
    return;
  }
  throw std::runtime_error("the change to " + path + " was not cut short");
}

}  // namespace tavrin::fixture
