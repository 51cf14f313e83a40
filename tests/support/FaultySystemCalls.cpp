#include "support/FaultySystemCalls.h"

#include <cerrno>

namespace tavrin::fixture {

std::optional<FaultySystemCalls::Fault> FaultySystemCalls::Hit() {
  ++writesAndSyncs_;
  if (writesAndSyncs_ == breakAt_) return fault_;
  return std::nullopt;
}

ssize_t FaultySystemCalls::ReadAt(int fd, void* buffer, std::size_t count, off_t offset) {
  ++reads_;
  const ssize_t n = SystemCalls::ReadAt(fd, buffer, count, offset);
  if (n > 0) bytesRead_ += static_cast<std::uint64_t>(n);
  return n;
}

ssize_t FaultySystemCalls::WriteAt(int fd, const void* buffer, std::size_t count, off_t offset) {
  const std::optional<Fault> fault = Hit();
  if (dead_) return static_cast<ssize_t>(count);
  if (fault == Fault::kCrash) {
    dead_ = true;
    throw SimulatedCrash();
  }
  if (fault == Fault::kError) {
    errno = error_;
    return -1;
  }
  if (fault == Fault::kShortWrite && count > 1) count /= 2;
  const ssize_t n = SystemCalls::WriteAt(fd, buffer, count, offset);
  if (n > 0) {
    bytesWritten_ += static_cast<std::uint64_t>(n);
    written_.emplace_back(static_cast<std::uint64_t>(offset), static_cast<std::size_t>(n));
  }
  return n;
}

int FaultySystemCalls::Sync(int fd) {
  const std::optional<Fault> fault = Hit();
  if (dead_) return 0;
  if (fault == Fault::kCrash) {
    dead_ = true;
    throw SimulatedCrash();
  }
  if (fault == Fault::kError) {
    errno = error_;
    return -1;
  }
  return SystemCalls::Sync(fd);
}

}  // namespace tavrin::fixture
