#pragma once
// A stand-in for the engine's operating-system seam that records every call
// and can break any one of them: fail it with an errno, make a read or write
// do only half its work, or stop dead as a crash would (no call from then on
// changes any file, and the call that hit it throws). Its fsync checks the
// descriptor and returns without waiting for the disk.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/File.h"

namespace tavrin::fixture {

struct SimulatedCrash : std::runtime_error {
  SimulatedCrash() : std::runtime_error("simulated crash") {}
};

class FaultySystemCalls : public storage::SystemCalls {
 public:
  enum class Call {
    kOpen,
    kSetLock,
    kReadAt,
    kWriteAt,
    kSync,
    kTruncate,
    kStat,
    kClose,
    kUnlink,
    kRealPath,
    kBootId
  };
  enum class Fault {
    kError,  // the call fails with the errno given
    // A read or write does half of what was asked. With an errno, the call
    // after it fails with that errno: a disk that filled up midway.
    kShort,
    // The process stops: the call is not made and throws SimulatedCrash,
    // and every later call that would change a file pretends to succeed and
    // does nothing. A Close, often made by a destructor, returns instead of
    // throwing.
    kCrash,
  };
  // A call as made, with the path of the file or folder it was made on.
  struct Made {
    Call call;
    std::string file;
  };

  FaultySystemCalls() = default;
  FaultySystemCalls(const FaultySystemCalls&) = delete;
  FaultySystemCalls& operator=(const FaultySystemCalls&) = delete;

  // Which call breaks, and how: the `n`th (1-based) among those that are
  // `call` (any call, when not given) made on a path that ends in `file`
  // (any, when empty), and with `lasting` every such call after it too, as a
  // disk that went bad stays bad.
  struct Breakage {
    std::size_t n = 0;
    Fault fault = Fault::kError;
    int error = 0;
    std::optional<Call> call = std::nullopt;
    std::string file = {};
    bool lasting = false;
  };
  void Break(Breakage breakage) {
    target_ = std::move(breakage);
    matching_ = 0;
  }

  // The crash, now, between two calls.
  void CrashNow() {
    dead_ = true;
    OnCrash();
  }

  const std::vector<Made>& made() const { return made_; }
  std::size_t Count(Call call, std::string_view file = {}) const;
  std::size_t reads() const { return Count(Call::kReadAt); }
  std::uint64_t bytesRead() const { return bytesRead_; }
  std::size_t writesAndSyncs() const { return Count(Call::kWriteAt) + Count(Call::kSync); }
  bool crashed() const { return dead_; }

  int Open(const char* path, int flags, mode_t mode) override;
  int SetLock(int fd, struct flock& lock) override;
  ssize_t ReadAt(int fd, void* buffer, std::size_t count, off_t offset) override;
  ssize_t WriteAt(int fd, const void* buffer, std::size_t count, off_t offset) override;
  int Sync(int fd) override;
  int Truncate(int fd, off_t length) override;
  int Stat(int fd, struct statx& info) override;
  int Close(int fd) override;
  int Unlink(const char* path) override;
  int RealPath(int fd, const char* path, std::string& resolved) override;
  int BootId(std::string& id) override;

 protected:
  // Runs once, when the crash hits, before the call throws.
  virtual void OnCrash() {}

 private:
  enum class Verdict { kProceed, kFail, kShorten, kDead };
  // Records the call and says what becomes of it; errno is set for kFail.
  Verdict Enter(Call call, std::string file);

  std::optional<Breakage> target_;
  std::size_t matching_ = 0;
  int pendingError_ = 0;
  bool dead_ = false;
  std::vector<Made> made_;
  std::uint64_t bytesRead_ = 0;
};

// The path an open descriptor refers to, as the system names it.
std::string PathOfDescriptor(int fd);

// Starts a change to the Summary Information of the document at `path` and
// stops it as a crash would, at its second write to the document: the
// journal is left sealed and the document half changed.
void LeaveAChangeCutShort(const std::string& path);

}  // namespace tavrin::fixture
